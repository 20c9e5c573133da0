// MCU loops of the decoder and YCbCr to blue-green-red conversion with 10-bit constants.
#include <algorithm>
#include <bit>
#include <cstring>

#include "codec/codec_tables.h"
#include "codec/inverse_dct.h"
#include "codec/stream_decoder.h"

namespace fotolume::codec {

namespace {

struct ColourTables {
    std::int32_t crToR[256];
    std::int32_t cbToB[256];
    std::int32_t cbToG[256];
    std::int32_t crToG[256];
    // Clamps (1024 Y + chroma terms + 512) >> 10, which lies in -227..480, to 0..255: index + 256.
    std::uint8_t clamp[768];
    // The same, placed as the blue, green and red bytes of a little-endian word.
    std::uint32_t blueWord[768];
    std::uint32_t greenWord[768];
    std::uint32_t redWord[768];
};

constexpr ColourTables MakeColourTables() {
    ColourTables t{};
    for (int i = 0; i < 256; ++i) {
        t.crToR[i] = 1436 * (i - 128) + 512;
        t.cbToB[i] = 1815 * (i - 128) + 512;
        t.cbToG[i] = -352 * (i - 128) + 512;
        t.crToG[i] = -731 * (i - 128);
    }
    for (int i = 0; i < 768; ++i) {
        t.clamp[i] = static_cast<std::uint8_t>(i < 256 ? 0 : i > 511 ? 255 : i - 256);
        t.blueWord[i] = t.clamp[i];
        t.greenWord[i] = static_cast<std::uint32_t>(t.clamp[i]) << 8;
        t.redWord[i] = static_cast<std::uint32_t>(t.clamp[i]) << 16;
    }
    return t;
}

constexpr ColourTables kColour = MakeColourTables();

// (1024 Y + t) >> 10 is Y + (t >> 10): the chroma terms are shifted once per chroma sample. The
// offsets carry the clamp table's +256.
struct ChromaTerms {
    int blue, green, red;
};

inline ChromaTerms TermsOf(int cb, int cr) {
    return {(kColour.cbToB[cb] >> 10) + 256, ((kColour.cbToG[cb] + kColour.crToG[cr]) >> 10) + 256,
            (kColour.crToR[cr] >> 10) + 256};
}

inline void StorePixel(std::uint8_t* p, int y, const ChromaTerms& t) {
    p[0] = kColour.clamp[y + t.blue];
    p[1] = kColour.clamp[y + t.green];
    p[2] = kColour.clamp[y + t.red];
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
    const int quant = m_header[5 + component];
    const int dc = m_header[8 + component];
    const int ac = m_header[11 + component];
    BlockShape shape = BlockShape::kGeneral;
    if (!HuffmanDecode(dc, ac, component, shape) || DataExhausted()) {
        m_damaged = true;
        return false;
    }
    // Each case clears the coefficients that it may have been given.
    switch (shape) {
        case BlockShape::kDcOnly:
            tinyjpeg_idct_dc(m_coef[0], m_tableDQT[quant][0], samples, 8);
            m_coef[0] = 0;
            break;
        case BlockShape::kFirstRowOnly:
            tinyjpeg_idct_row0(m_coef.data(), m_tableDQT[quant].data(), samples, 8);
            std::fill_n(m_coef.begin(), 8, std::int16_t{0});
            break;
        case BlockShape::kGeneral:
            tinyjpeg_idct_int(m_coef.data(), m_tableDQT[quant].data(), samples, 8);
            m_coef = {};
            break;
    }
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
        for (int c = 0; c < cols; ++c, p += 3)
            StorePixel(p, m_yData[r * 8 + c], TermsOf(m_cbData[r * 8 + c], m_crData[r * 8 + c]));
    }
}

// Each chroma sample of the quadrant covers 2 x 2 luminance pixels, without interpolation.
void JPGEncode::DecodeBlock2x2(int chromaOffset, int blockX, int blockY) {
    const int x0 = blockX * 8, y0 = blockY * 8;
    const int rows = std::min(8, m_height - y0);
    const int cols = std::min(8, m_roundedWidth - x0);
    if (rows <= 0 || cols <= 0) return;
    ChromaTerms terms[16];
    for (int i = 0; i < 16; ++i) {
        const int at = chromaOffset + 8 * (i >> 2) + (i & 3);
        terms[i] = TermsOf(m_cbData[at], m_crData[at]);
    }
    for (int r = 0; r < rows; ++r) {
        std::uint8_t* p = m_videoBuff.data() + 3 * (static_cast<std::size_t>(y0 + r) * m_roundedWidth + x0);
        const ChromaTerms* t = terms + 4 * (r >> 1);
        const std::uint8_t* y = m_yData.data() + r * 8;
        // Four-byte stores on little-endian hosts; each one's fourth byte is overwritten by the next pixel.
        int c = 0;
        for (; std::endian::native == std::endian::little && c < cols - 1; ++c, p += 3) {
            const ChromaTerms& tc = t[c >> 1];
            const std::uint32_t word = kColour.blueWord[y[c] + tc.blue] | kColour.greenWord[y[c] + tc.green] |
                                       kColour.redWord[y[c] + tc.red];
            std::memcpy(p, &word, 4);
        }
        for (; c < cols; ++c, p += 3) StorePixel(p, y[c], t[c >> 1]);
    }
}

}  // namespace fotolume::codec
