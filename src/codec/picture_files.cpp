// File-level conversion: BMP to frame picture stream or JFIF file, and frame picture stream to BMP.
#include "codec/picture_files.h"

#include <cstdint>
#include <new>
#include <span>
#include <vector>

#include "codec/bmp_file.h"
#include "codec/stream_decoder.h"
#include "codec/stream_encoder.h"

namespace fotolume::codec {

std::size_t CKv318Encoder::EnCode(const std::string& source, const std::string& destination, int width,
                                  int height, int quality, int mode, bool jfif, bool* endedEarly) {
    if (quality < 0 || quality > 0xFFFF) return 0;
    // Sized for the worst case of every MCU, so no picture can overrun it.
    const std::size_t capacity = CQuillJpegEncoder::MaxStreamSize(width, height, mode, jfif);
    if (capacity == 0) return 0;
    try {
        std::vector<std::uint8_t> pixels;
        if (LoadPicFromDir(source, pixels, width, height, endedEarly) == 0) return 0;
        std::vector<std::uint8_t> output(capacity, 0);

        CQuillJpegEncoder encoder(static_cast<std::uint16_t>(quality));
        encoder.SetJfif(jfif);
        std::size_t size = 0;
        if (!encoder.CompressImage(pixels, output, width, height, size, mode)) return 0;
        if (!WriteFileReplacing(destination, std::span<const std::uint8_t>(output.data(), size))) return 0;
        return size;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

bool CKv318Encoder::DeCode(const std::string& source, const std::string& destination, int expectedWidth,
                           int expectedHeight, int pixelsPerMetre) {
    try {
        JPGEncode decoder;
        decoder.SetPixelsPerMetre(pixelsPerMetre);
        return decoder.DecodeMyPicture(source, destination, expectedWidth, expectedHeight);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace fotolume::codec
