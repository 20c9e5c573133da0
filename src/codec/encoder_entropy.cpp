// Entropy coding of the encoder: baseline Huffman coding of one block and the bit writer.
#include <bit>

#include "codec_tables.h"
#include "quill_jpeg_encoder.h"

namespace fotolume::codec {

namespace {

// Number of bits of |v|, and the low bits that follow a size code (v - 1 when negative).
inline int BitSize(std::int32_t v) { return std::bit_width(static_cast<std::uint32_t>(v < 0 ? -v : v)); }
inline std::uint32_t ValueBits(std::int32_t v, int size) {
    const std::uint32_t x = static_cast<std::uint32_t>(v < 0 ? v - 1 : v);
    return x & ((1u << size) - 1u);
}

}  // namespace

void CQuillJpegEncoder::FlushWholeBytes() {
    while (m_bitCount >= 8) {
        m_bitCount -= 8;
        const auto b = static_cast<std::uint8_t>(m_bitBuffer >> m_bitCount);
        PutByte(b);
        if (b == 0xFF && m_bJfif) PutByte(0x00);
    }
}

// Writes the oldest 32 pending bits: four bytes at once unless the buffer is nearly full or a JFIF
// byte needs stuffing.
void CQuillJpegEncoder::FlushWord() {
    const auto word = static_cast<std::uint32_t>(m_bitBuffer >> (m_bitCount - 32));
    const std::uint32_t inverted = ~word;
    const bool hasFF = ((inverted - 0x01010101u) & ~inverted & 0x80808080u) != 0;
    if (m_outEnd - m_out >= 4 && !(hasFF && m_bJfif)) {
        m_out[0] = static_cast<std::uint8_t>(word >> 24);
        m_out[1] = static_cast<std::uint8_t>(word >> 16);
        m_out[2] = static_cast<std::uint8_t>(word >> 8);
        m_out[3] = static_cast<std::uint8_t>(word);
        m_out += 4;
        m_bitCount -= 32;
        return;
    }
    const int keep = m_bitCount - 32;
    m_bitCount = 32;
    while (m_bitCount > 0) {
        m_bitCount -= 8;
        const auto b = static_cast<std::uint8_t>(word >> m_bitCount);
        PutByte(b);
        if (b == 0xFF && m_bJfif) PutByte(0x00);
    }
    m_bitCount = keep;
}

// Appends count bits (at most 27) of value, most significant first.
void CQuillJpegEncoder::EmitBits(std::uint32_t value, int count) {
    m_bitBuffer = (m_bitBuffer << count) | value;
    m_bitCount += count;
    if (m_bitCount >= 32) FlushWord();
}

// Completes the pending bits with 1-bits to a whole byte.
void CQuillJpegEncoder::FinishByte() {
    FlushWholeBytes();
    if (m_bitCount > 0) {
        const auto b = static_cast<std::uint8_t>((m_bitBuffer << (8 - m_bitCount)) | (0xFFu >> m_bitCount));
        PutByte(b);
        if (b == 0xFF && m_bJfif) PutByte(0x00);
    }
    m_bitCount = 0;
    m_bitBuffer = 0;
}

// Codes one quantized block. component: 0 = Y, 1 = Cb, 2 = Cr. The pending bits are held in locals while
// the block is coded.
bool CQuillJpegEncoder::HuffmanEncode(const CoefBlock& block, int component) {
    const std::int32_t* coef = block.coef.data();
    const std::uint32_t* dc = m_packed[component == 0 ? 0 : 2].data();
    const std::uint32_t* ac = m_packed[component == 0 ? 1 : 3].data();
    std::uint64_t buffer = m_bitBuffer;
    int count = m_bitCount;
    auto emit = [&](std::uint32_t value, int n) {
        buffer = (buffer << n) | value;
        count += n;
        if (count >= 32) {
            m_bitBuffer = buffer;
            m_bitCount = count;
            FlushWord();
            count = m_bitCount;
        }
    };
    auto leave = [&](bool ok) {
        m_bitBuffer = buffer;
        m_bitCount = count;
        return ok;
    };

    const std::int32_t diff = coef[0] - m_dcPredictors[component];
    m_dcPredictors[component] = coef[0];
    int s = BitSize(diff);
    if (s > 255 || dc[s] == 0) return leave(false);
    emit(((dc[s] >> 8) << s) | ValueBits(diff, s), static_cast<int>(dc[s] & 0xFF) + s);

    // Runs of zeros lie between the set bits of the mask.
    std::uint64_t pending = block.nonZero & ~std::uint64_t{1};
    int last = 0;
    while (pending != 0) {
        const int k = std::countr_zero(pending);
        pending &= pending - 1;
        int run = k - last - 1;
        last = k;
        while (run > 15) {
            if (ac[0xF0] == 0) return leave(false);
            emit(ac[0xF0] >> 8, static_cast<int>(ac[0xF0] & 0xFF));
            run -= 16;
        }
        const std::int32_t v = coef[jpeg_natural_order[k]];
        s = BitSize(v);
        const int symbol = run * 16 + s;
        if (s > 15 || ac[symbol] == 0) return leave(false);
        emit(((ac[symbol] >> 8) << s) | ValueBits(v, s), static_cast<int>(ac[symbol] & 0xFF) + s);
    }
    if (last < 63) {  // end of block
        if (ac[0x00] == 0) return leave(false);
        emit(ac[0x00] >> 8, static_cast<int>(ac[0x00] & 0xFF));
    }
    return leave(true);
}

}  // namespace fotolume::codec
