// Tile gathering, colour conversion and chroma subsampling of the encoder.
#include <cstring>

#include "quill_jpeg_encoder.h"

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

// Splits a tile into luminance blocks and subsampled chroma blocks, each sample centred on 0. Chroma is
// taken from the top-left pixel of each subsampling group, without averaging.
void CQuillJpegEncoder::BGRToYCbCrEx(const std::uint8_t* const* rows, Block* blocks) const {
    const auto& ry = m_colorTables[0];
    const auto& gy = m_colorTables[1];
    const auto& by = m_colorTables[2];
    const auto& rcb = m_colorTables[3];
    const auto& gcb = m_colorTables[4];
    const auto& bcb = m_colorTables[5];
    const auto& rcr = m_colorTables[6];
    const auto& gcr = m_colorTables[7];
    const auto& bcr = m_colorTables[8];

    Block* yBlocks = m_bJfif ? blocks : blocks + 2;
    Block& cb = m_bJfif ? blocks[m_lumBlocks] : blocks[0];
    Block& cr = m_bJfif ? blocks[m_lumBlocks + 1] : blocks[1];
    const bool wide = m_mcuWidth == 16;
    const int hShift = wide ? 1 : 0;
    const int vShift = m_mcuHeight == 16 ? 1 : 0;

    for (int r = 0; r < m_mcuHeight; ++r) {
        const std::uint8_t* p = rows[r];
        const int rowBlock = wide ? (r >> 3) * 2 : (r >> 3);
        const int rowPos = (r & 7) * 8;
        for (int c = 0; c < m_mcuWidth; ++c, p += 3) {
            const int b = p[0], g = p[1], red = p[2];
            yBlocks[rowBlock + (c >> 3)][rowPos + (c & 7)] = ((ry[red] + gy[g] + by[b]) >> 16) - 128;
        }
        if (r & vShift) continue;  // odd row of a vertically subsampled MCU
        p = rows[r];
        const int chromaRow = 8 * (r >> vShift);
        for (int c = 0; c < m_mcuWidth; c += 1 + hShift, p += 3 * (1 + hShift)) {
            const int b = p[0], g = p[1], red = p[2];
            const int i = chromaRow + (c >> hShift);
            cb[i] = ((rcb[red] + gcb[g] + bcb[b]) >> 16) - 128;
            cr[i] = ((rcr[red] + gcr[g] + bcr[b]) >> 16) - 128;
        }
    }
}

}  // namespace fotolume::codec
