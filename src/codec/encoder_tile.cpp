// Tile gathering of the encoder: the pixel rows of one MCU, with the picture's edges repeated.
#include <cstring>

#include "codec/stream_encoder.h"

namespace fotolume::codec {

namespace {
constexpr int kTileRowBytes = 48;  // tile rows are 16 pixels apart
}

// An MCU inside the picture is read where it lies. Otherwise its pixels are copied: past the right edge
// the last pixel repeats; past the bottom edge the last row inside the picture repeats.
void CQuillJpegEncoder::GatherTile(const std::uint8_t* input, std::size_t stride, int mcuX, int mcuY,
                                   std::uint8_t* tile, const std::uint8_t** rows) const {
    const int x0 = mcuX * m_mcuWidth;
    const int y0 = mcuY * m_mcuHeight;
    auto inputRow = [&](int y) { return input + static_cast<std::size_t>(m_height - 1 - y) * stride + x0 * 3; };
    if (x0 + m_mcuWidth <= m_width && y0 + m_mcuHeight <= m_height) {
        for (int r = 0; r < m_mcuHeight; ++r) rows[r] = inputRow(y0 + r);
        return;
    }
    const int cols = m_width - x0 < m_mcuWidth ? m_width - x0 : m_mcuWidth;
    for (int r = 0; r < m_mcuHeight; ++r) {
        std::uint8_t* dst = tile + r * kTileRowBytes;
        rows[r] = dst;
        const int y = y0 + r;
        if (y >= m_height) {
            std::memcpy(dst, dst - kTileRowBytes, static_cast<std::size_t>(m_mcuWidth) * 3);
            continue;
        }
        std::memcpy(dst, inputRow(y), static_cast<std::size_t>(cols) * 3);
        for (int c = cols; c < m_mcuWidth; ++c) {
            dst[c * 3] = dst[(cols - 1) * 3];
            dst[c * 3 + 1] = dst[(cols - 1) * 3 + 1];
            dst[c * 3 + 2] = dst[(cols - 1) * 3 + 2];
        }
    }
}

}  // namespace fotolume::codec
