// Feeds arbitrary files to the BMP reader at a panel size taken from the input, then encodes the pixels;
// the same bytes go through the check of where a picture file ends.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/bmp_file.h"
#include "codec/input_file.h"
#include "codec/stream_encoder.h"
#include "tests/support/temp_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fotolume::codec;
    const PictureFileCheck check = CheckPictureFileEnd(std::span<const std::uint8_t>(data, size));
    if (check.end != PictureFileEnd::Unknown && check.format[0] == '\0') __builtin_trap();
    static const fotolume::testsupport::TempFolder folder;
    static const std::string file = (folder / "input.bmp").string();
    fotolume::testsupport::WriteBytes(file, {data, data + size});

    const int width = 1 + static_cast<int>(size % 67);
    const int height = 1 + static_cast<int>((size / 67) % 53);
    std::vector<std::uint8_t> pixels;
    if (LoadPicFromDir(file, pixels, width, height) != 1) return 0;
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
