// Entropy coding of the encoder: baseline Huffman coding of an MCU's blocks and the bit writer.
#include <bit>

#include "codec/codec_tables.h"
#include "codec/stream_encoder.h"

namespace fotolume::codec {

namespace {

// Writes a whole 64-bit word at once where the output has room and, in a JFIF file, no byte of it
// needs a stuffed 0x00; otherwise byte by byte.
template <bool Jfif>
inline void WriteWord(std::uint64_t word, std::uint8_t*& out, std::uint8_t* end, bool& overflow) {
    const std::uint64_t inverted = ~word;
    const bool hasFF = ((inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull) != 0;
    if (end - out >= 8 && !(Jfif && hasFF)) {
        for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(word >> (56 - 8 * i));
        out += 8;
        return;
    }
    for (int shift = 56; shift >= 0; shift -= 8) {
        const auto b = static_cast<std::uint8_t>(word >> shift);
        for (int n = 0; n < (Jfif && b == 0xFF ? 2 : 1); ++n) {
            if (out < end) *out++ = n == 0 ? b : 0x00;
            else overflow = true;
        }
    }
}

// The coder's state in locals while one MCU is coded.
template <bool Jfif>
struct BitWriter {
    std::uint64_t buffer;  // pending bits: the low 64 - free bits, oldest first
    int free;              // 1..64
    std::uint8_t* out;
    std::uint8_t* end;
    bool overflow;

    // Appends size bits (at most 32) of code, most significant first.
    void Put(std::uint32_t code, int size) {
        free -= size;
        if (free >= 0) {
            buffer = (buffer << size) | code;
            return;
        }
        // The buffer is full: its 64 oldest bits go out and the rest of code stays pending.
        WriteWord<Jfif>((buffer << (size + free)) | (code >> -free), out, end, overflow);
        buffer = code;
        free += 64;
    }
};

// Number of bits of |v|, and the low bits that follow a size code (v - 1 when negative).
inline int BitSize(std::int32_t v) { return std::bit_width(static_cast<std::uint32_t>(v < 0 ? -v : v)); }
inline std::uint32_t ValueBits(std::int32_t v, int size) {
    const std::uint32_t x = static_cast<std::uint32_t>(v < 0 ? v - 1 : v);
    return x & ((1u << size) - 1u);
}

// Codes one block with the packed tables (code << 8 | length, 0 = no code). False when a value has no
// code; the bits written so far then stay written.
template <bool Jfif>
bool CodeBlock(BitWriter<Jfif>& w, const CoefBlock& block, std::int32_t& predictor, const std::uint32_t* dc,
               const std::uint32_t* ac) {
    const std::int32_t diff = block.coef[0] - predictor;
    predictor = block.coef[0];
    const int s = BitSize(diff);
    if (dc[s] == 0) return false;
    w.Put(((dc[s] >> 8) << s) | ValueBits(diff, s), static_cast<int>(dc[s] & 0xFF) + s);

    // Runs of zeros lie between the set bits of the mask; size and value bits come ready.
    std::uint64_t pending = block.nonZero & ~std::uint64_t{1};
    int last = 0;
    while (pending != 0) {
        const int k = std::countr_zero(pending);
        pending &= pending - 1;
        int run = k - last - 1;
        last = k;
        while (run > 15) [[unlikely]] {
            if (ac[0xF0] == 0) return false;
            w.Put(ac[0xF0] >> 8, static_cast<int>(ac[0xF0] & 0xFF));
            run -= 16;
        }
        const std::uint32_t sized = block.sizedBits[jpeg_natural_order[k]];
        const int size = static_cast<int>(sized >> 16);
        const std::uint32_t code = ac[run * 16 + size];
        if (code == 0) [[unlikely]] return false;
        w.Put(((code >> 8) << size) | (sized & 0xFFFF), static_cast<int>(code & 0xFF) + size);
    }
    if (last < 63) {  // end of block
        if (ac[0x00] == 0) return false;
        w.Put(ac[0x00] >> 8, static_cast<int>(ac[0x00] & 0xFF));
    }
    return true;
}

}  // namespace

// Writes the pending whole bytes, then completes the last bits with 1-bits to a whole byte.
void CQuillJpegEncoder::FinishByte() {
    const int pending = 64 - m_freeBits;
    for (int left = pending - 8; left >= 0; left -= 8) {
        const auto b = static_cast<std::uint8_t>(m_bitBuffer >> left);
        PutByte(b);
        if (b == 0xFF && m_bJfif) PutByte(0x00);
    }
    if (const int rest = pending % 8; rest > 0) {
        const auto b = static_cast<std::uint8_t>((m_bitBuffer << (8 - rest)) | (0xFFu >> rest));
        PutByte(b);
        if (b == 0xFF && m_bJfif) PutByte(0x00);
    }
    m_freeBits = 64;
    m_bitBuffer = 0;
}

template <bool Jfif>
bool CQuillJpegEncoder::EncodeBlocks(const CoefBlock* blocks) {
    BitWriter<Jfif> w{m_bitBuffer, m_freeBits, m_out, m_outEnd, m_overflow};
    const int count = m_lumBlocks + 2;
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        // Frame streams: Cb, Cr, then luminance; JFIF files: luminance, then Cb, Cr.
        const int component = Jfif ? (i < m_lumBlocks ? 0 : i - m_lumBlocks + 1) : (i < 2 ? i + 1 : 0);
        const int table = component == 0 ? 0 : 2;
        ok = CodeBlock(w, blocks[i], m_dcPredictors[component], m_packed[table].data(), m_packed[table + 1].data());
    }
    m_bitBuffer = w.buffer;
    m_freeBits = w.free;
    m_out = w.out;
    m_overflow = w.overflow;
    return ok;
}

bool CQuillJpegEncoder::HuffmanEncode(const CoefBlock* blocks) {
    return m_bJfif ? EncodeBlocks<true>(blocks) : EncodeBlocks<false>(blocks);
}

}  // namespace fotolume::codec
