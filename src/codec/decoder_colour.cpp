// MCU loops of the decoder and YCbCr to blue-green-red conversion with 10-bit constants.
#include <algorithm>

#include "codec_tables.h"
#include "jpg_encode.h"

namespace fotolume::codec {

namespace {

struct ColourTables {
    std::int32_t crToR[256];
    std::int32_t cbToB[256];
    std::int32_t cbToG[256];
    std::int32_t crToG[256];
};

constexpr ColourTables MakeColourTables() {
    ColourTables t{};
    for (int i = 0; i < 256; ++i) {
        t.crToR[i] = 1436 * (i - 128) + 512;
        t.cbToB[i] = 1815 * (i - 128) + 512;
        t.cbToG[i] = -352 * (i - 128) + 512;
        t.crToG[i] = -731 * (i - 128);
    }
    return t;
}

constexpr ColourTables kColour = MakeColourTables();

inline std::uint8_t Clamp(std::int32_t v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

inline void StorePixel(std::uint8_t* p, int y, int cb, int cr) {
    const std::int32_t base = 1024 * y;
    p[0] = Clamp((base + kColour.cbToB[cb]) >> 10);
    p[1] = Clamp((base + kColour.cbToG[cb] + kColour.crToG[cr]) >> 10);
    p[2] = Clamp((base + kColour.crToR[cr]) >> 10);
}

}  // namespace

const char* JPGEncode::SamplingName() const { return kSamplingNames[m_header[4] & 3]; }

void JPGEncode::Decode() {
    if (m_onSampling) m_onSampling(SamplingName());
    // Only the two samplings of the frames are decoded; other modes leave the picture black.
    if (m_header[4] == 0) DecodeH1V1();
    else if (m_header[4] == 3) DecodeH2V2();
}

// Decodes one block of a component (0 = Y, 1 = Cb, 2 = Cr) and turns it into samples. False, with the
// picture marked damaged, when the data is corrupt or runs out.
bool JPGEncode::DecodeComponentBlock(int component, std::uint8_t* samples) {
    std::int16_t coef[64];
    const int quant = m_header[5 + component];
    const int dc = m_header[8 + component];
    const int ac = m_header[11 + component];
    if (!HuffmanDecode(dc, ac, component, coef) || DataExhausted()) {
        m_damaged = true;
        return false;
    }
    tinyjpeg_idct_int(coef, m_tableDQT[quant].data(), samples, 8);
    return true;
}

void JPGEncode::DecodeH1V1() {
    for (int mcuY = 0; mcuY < m_mcuNumY; ++mcuY) {
        for (int mcuX = 0; mcuX < m_mcuNumX; ++mcuX) {
            if (!DecodeComponentBlock(1, m_cbData.data()) || !DecodeComponentBlock(2, m_crData.data()) ||
                !DecodeComponentBlock(0, m_yData.data()))
                return;
            DecodeBlock1x1(mcuX, mcuY);
            AlignToByte();
        }
    }
}

void JPGEncode::DecodeH2V2() {
    static constexpr int kDx[4] = {0, 1, 0, 1};
    static constexpr int kDy[4] = {0, 0, 1, 1};
    static constexpr int kChromaOffset[4] = {0, 4, 32, 36};
    for (int mcuY = 0; mcuY < m_mcuNumY; ++mcuY) {
        for (int mcuX = 0; mcuX < m_mcuNumX; ++mcuX) {
            if (!DecodeComponentBlock(1, m_cbData.data()) || !DecodeComponentBlock(2, m_crData.data())) return;
            for (int i = 0; i < 4; ++i) {
                if (!DecodeComponentBlock(0, m_yData.data())) return;
                DecodeBlock2x2(kChromaOffset[i], 2 * mcuX + kDx[i], 2 * mcuY + kDy[i]);
            }
            AlignToByte();
        }
    }
}

// Pixels at or beyond the height or the rounded width are skipped.
void JPGEncode::DecodeBlock1x1(int blockX, int blockY) {
    const int x0 = blockX * 8, y0 = blockY * 8;
    const int rows = std::min(8, m_height - y0);
    const int cols = std::min(8, m_roundedWidth - x0);
    for (int r = 0; r < rows; ++r) {
        std::uint8_t* p = m_videoBuff.data() + 3 * (static_cast<std::size_t>(y0 + r) * m_roundedWidth + x0);
        for (int c = 0; c < cols; ++c, p += 3) StorePixel(p, m_yData[r * 8 + c], m_cbData[r * 8 + c], m_crData[r * 8 + c]);
    }
}

// Each chroma sample of the quadrant covers 2 x 2 luminance pixels, without interpolation.
void JPGEncode::DecodeBlock2x2(int chromaOffset, int blockX, int blockY) {
    const int x0 = blockX * 8, y0 = blockY * 8;
    const int rows = std::min(8, m_height - y0);
    const int cols = std::min(8, m_roundedWidth - x0);
    for (int r = 0; r < rows; ++r) {
        std::uint8_t* p = m_videoBuff.data() + 3 * (static_cast<std::size_t>(y0 + r) * m_roundedWidth + x0);
        const int chromaRow = chromaOffset + 8 * (r >> 1);
        for (int c = 0; c < cols; ++c, p += 3) {
            const int i = chromaRow + (c >> 1);
            StorePixel(p, m_yData[r * 8 + c], m_cbData[i], m_crData[i]);
        }
    }
}

}  // namespace fotolume::codec
