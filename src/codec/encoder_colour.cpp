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
    const std::int32_t* ry = m_colorTables[0].data();
    const std::int32_t* gy = m_colorTables[1].data();
    const std::int32_t* by = m_colorTables[2].data();
    const std::int32_t* rcb = m_colorTables[3].data();
    const std::int32_t* gcb = m_colorTables[4].data();
    const std::int32_t* bcb = m_colorTables[5].data();
    const std::int32_t* rcr = m_colorTables[6].data();
    const std::int32_t* gcr = m_colorTables[7].data();
    const std::int32_t* bcr = m_colorTables[8].data();

    Block* yBlocks = m_bJfif ? blocks : blocks + 2;
    std::int32_t* cb = (m_bJfif ? blocks[m_lumBlocks] : blocks[0]).data();
    std::int32_t* cr = (m_bJfif ? blocks[m_lumBlocks + 1] : blocks[1]).data();
    // Locals: the block stores could otherwise alias these members.
    const int mcuWidth = m_mcuWidth;
    const int mcuHeight = m_mcuHeight;
    const bool wide = mcuWidth == 16;
    const int hStep = wide ? 2 : 1;
    const int vShift = mcuHeight == 16 ? 1 : 0;

    for (int r = 0; r < mcuHeight; ++r) {
        const std::uint8_t* p = rows[r];
        const int rowBlock = wide ? (r >> 3) * 2 : (r >> 3);
        const int rowPos = (r & 7) * 8;
        for (int half = 0; half < mcuWidth / 8; ++half) {
            std::int32_t* y = yBlocks[rowBlock + half].data() + rowPos;
            const std::uint8_t* q = p + 24 * half;
            for (int c = 0; c < 8; ++c, q += 3) y[c] = ((ry[q[2]] + gy[q[1]] + by[q[0]]) >> 16) - 128;
        }
        if (r & vShift) continue;  // odd row of a vertically subsampled MCU
        std::int32_t* cbRow = cb + 8 * (r >> vShift);
        std::int32_t* crRow = cr + 8 * (r >> vShift);
        for (int i = 0; i < 8; ++i, p += 3 * hStep) {
            const int b = p[0], g = p[1], red = p[2];
            cbRow[i] = ((rcb[red] + gcb[g] + bcb[b]) >> 16) - 128;
            crRow[i] = ((rcr[red] + gcr[g] + bcr[b]) >> 16) - 128;
        }
    }
}

}  // namespace fotolume::codec
