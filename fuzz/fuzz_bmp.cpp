// Feeds arbitrary files to the BMP reader at a panel size taken from the input, then encodes the pixels;
// the same bytes go through the check of where a picture file ends.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "codec/bmp_file.h"
#include "codec/input_file.h"
#include "codec/stream_encoder.h"

namespace {

const std::string& ScratchFile() {
    static const std::string path = [] {
        char name[] = "/tmp/fuzz_bmp-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd >= 0) ::close(fd);
        return std::string(name);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fotolume::codec;
    const PictureFileCheck check = CheckPictureFileEnd(std::span<const std::uint8_t>(data, size));
    if (check.end != PictureFileEnd::Unknown && check.format[0] == '\0') __builtin_trap();
    FILE* f = std::fopen(ScratchFile().c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    const int width = 1 + static_cast<int>(size % 67);
    const int height = 1 + static_cast<int>((size / 67) % 53);
    std::vector<std::uint8_t> pixels;
    if (LoadPicFromDir(ScratchFile(), pixels, width, height) != 1) return 0;
    if (pixels.size() != Bmp24Stride(width) * static_cast<std::size_t>(height)) __builtin_trap();

    const int mode = static_cast<int>(size % 16);
    const bool jfif = (size / 16) % 2 != 0;
    CQuillJpegEncoder encoder(static_cast<std::uint16_t>(size > 0 ? data[0] : 90));
    encoder.SetJfif(jfif);
    std::vector<std::uint8_t> out(CQuillJpegEncoder::MaxStreamSize(width, height, mode, jfif));
    std::size_t written = 0;
    if (!encoder.CompressImage(pixels, out, width, height, written, mode)) __builtin_trap();
    return 0;
}
