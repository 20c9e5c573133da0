// Files the user names as pictures or streams. Only regular files are read, and opening never waits:
// a FIFO, a device or a folder is refused at once instead of holding the program.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace fotolume::codec {

// A descriptor open for reading, or -1 with problem set to one line ("not a regular file but a FIFO",
// "No such file or directory"). The caller closes it.
int OpenInputFile(const std::string& path, std::string* problem = nullptr);

// The whole file, when it is a regular file of at most maxBytes. False with problem set otherwise.
bool ReadInputFile(const std::string& path, std::uintmax_t maxBytes, std::vector<std::uint8_t>& bytes,
                   std::string* problem = nullptr);

// How a picture file ends, judged from its own structure: the last chunk of a PNG file, the end marker
// of a JPEG file, the pixel rows an uncompressed BMP file's header promises.
enum class PictureFileEnd {
    Complete,
    EndsEarly,  // the file stops inside the picture
    Unknown,    // another format, or a structure this check does not follow
};

struct PictureFileCheck {
    PictureFileEnd end = PictureFileEnd::Unknown;
    const char* format = "";  // "BMP", "JPEG", "PNG", or empty
};

PictureFileCheck CheckPictureFileEnd(std::span<const std::uint8_t> file);

}  // namespace fotolume::codec
