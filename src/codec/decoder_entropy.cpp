// Entropy decoding of frame picture streams: the bit reader, the MINCODE/VALPTR code search of
// ITU T.81 Annex F.2.2.3 (with a 10-bit look-up in front of it) and the coefficients of one block.
//
// Bytes are taken as they stand: frame streams have no 0xFF 0x00 stuffing and no markers. Past the end
// of the stream the reader sees 1-bits; using any of them marks the picture damaged.
#include <algorithm>

#include "codec/codec_tables.h"
#include "codec/stream_decoder.h"

namespace fotolume::codec {

namespace {

// Code length for window w in one slot: the smallest length whose following MINCODE lies above w.
int SearchLength(const std::array<std::uint16_t, 16>& mincode, unsigned w) {
    for (int i = 1; i < 16; ++i) {
        if (mincode[i] != 0 && w < mincode[i]) return i;
    }
    return 16;
}

unsigned SymbolIndex(const std::array<std::uint16_t, 16>& mincode, const std::array<std::uint8_t, 16>& valptr,
                     unsigned w, int length) {
    const auto delta = static_cast<std::uint16_t>(w - mincode[length - 1]);
    return valptr[length - 1] + (static_cast<unsigned>(delta) >> (16 - length));
}

}  // namespace

void JPGEncode::StartBits() {
    m_bitData = 0;
    m_bitCount = 0;
    Refill();
}

__attribute__((always_inline)) inline void JPGEncode::Refill() {
    const std::uint8_t* data = m_input.data();
    const std::size_t size = m_input.size();
    if (m_pos + 8 <= size) {
        // Whole bytes that fit below the buffered bits; the partial byte read along is read again
        // with the same bits next time.
        std::uint64_t word = 0;
        for (int i = 0; i < 8; ++i) word = (word << 8) | data[m_pos + i];
        m_bitData |= word >> m_bitCount;
        const int bytes = (63 - m_bitCount) >> 3;
        m_pos += static_cast<std::size_t>(bytes);
        m_bitCount += bytes * 8;
        return;
    }
    while (m_bitCount <= 56) {
        const std::uint64_t b = m_pos < size ? data[m_pos] : 0xFF;
        ++m_pos;
        m_bitData |= b << (56 - m_bitCount);
        m_bitCount += 8;
    }
}

void JPGEncode::AlignInData(int bits) {
    while (bits > 0) {
        if (m_bitCount < 32) Refill();
        const int t = std::min(bits, 16);
        m_bitData <<= t;
        m_bitCount -= t;
        bits -= t;
    }
}

// Every MCU starts on a byte boundary.
void JPGEncode::AlignToByte() {
    const int skip = m_bitCount & 7;
    if (skip != 0) AlignInData(skip);
}

bool JPGEncode::DataExhausted() const { return m_pos * 8 - static_cast<std::size_t>(m_bitCount) > m_input.size() * 8; }

// For a table whose code values stay below 2^16, the MINCODE search finds exactly the canonical codes
// (ITU T.81 Annex C): each code of up to 10 bits owns the prefixes that start with it. Longer codes and
// prefixes without a code are left to the search.
void JPGEncode::FillLookupCanonical(int slot) {
    auto& table = m_lookup[slot];
    table.fill(Lookup{0, 0, 0});
    unsigned code = 0;
    int index = 0;
    for (int length = 1; length <= kLookupBits; ++length, code <<= 1) {
        for (int n = 0; n < m_codeCounts[slot][length - 1]; ++n, ++code, ++index) {
            const int symbol = m_tableDHT[slot][index];
            const int size = symbol & 15;
            const int free = kLookupBits - length;
            const unsigned first = code << free;
            for (unsigned rest = 0; rest < (1u << free); ++rest) {
                Lookup entry{static_cast<std::uint8_t>(length | kCodeOnly), static_cast<std::uint8_t>(symbol), 0};
                if (length + size <= kLookupBits) {
                    int value = 0;
                    if (size != 0) {
                        const int v = static_cast<int>(rest >> (free - size)) & ((1 << size) - 1);
                        value = (v >> (size - 1)) ? v : v - ((1 << size) - 1);
                    }
                    entry = {static_cast<std::uint8_t>(length + size), static_cast<std::uint8_t>(symbol),
                             static_cast<std::int16_t>(value)};
                }
                table[first | rest] = entry;
            }
        }
    }
}

// The code length found by the search never decreases as the window grows, so one sweep over the
// prefixes in order finds it at both ends of each prefix's range; where they agree and the code and its
// value bits fit in the prefix, the whole symbol is decoded by the table.
void JPGEncode::BuildLookup(int slot) {
    if (!m_codesWrap[slot]) {
        FillLookupCanonical(slot);
        return;
    }
    const auto& mincode = m_mincode[slot];
    const auto& valptr = m_valptr[slot];
    constexpr int kFree = 16 - kLookupBits;
    int i = 1;
    auto lengthAt = [&](unsigned w) {
        while (i < 16 && !(mincode[i] != 0 && w < mincode[i])) ++i;
        return i;
    };
    for (unsigned prefix = 0; prefix < (1u << kLookupBits); ++prefix) {
        const unsigned lo = prefix << kFree;
        const int length = lengthAt(lo);
        const int lengthHi = lengthAt(lo | ((1u << kFree) - 1));
        Lookup entry{0, 0, 0};
        if (length <= kLookupBits && lengthHi == length) {
            const unsigned index = SymbolIndex(mincode, valptr, lo, length);
            if (index < static_cast<unsigned>(m_symbolCount[slot])) {
                const int symbol = m_tableDHT[slot][index];
                const int size = symbol & 15;
                if (length + size > kLookupBits) {
                    entry = {static_cast<std::uint8_t>(length | kCodeOnly), static_cast<std::uint8_t>(symbol), 0};
                } else {
                    int value = 0;
                    if (size != 0) {
                        const int v = static_cast<int>(prefix >> (kLookupBits - length - size)) & ((1 << size) - 1);
                        value = (v >> (size - 1)) ? v : v - ((1 << size) - 1);
                    }
                    entry = {static_cast<std::uint8_t>(length + size), static_cast<std::uint8_t>(symbol),
                             static_cast<std::int16_t>(value)};
                }
            }
        }
        m_lookup[slot][prefix] = entry;
    }
}

// Decodes one symbol and the value bits of its size category through the MINCODE search; the
// look-up table covers the common codes.
bool JPGEncode::DecodeSymbol(int slot, int& symbol, int& value) {
    if (m_bitCount < 32) Refill();
    const auto w = static_cast<unsigned>(m_bitData >> 48);
    const int length = SearchLength(m_mincode[slot], w);
    const unsigned index = SymbolIndex(m_mincode[slot], m_valptr[slot], w, length);
    if (index >= static_cast<unsigned>(m_symbolCount[slot])) return false;  // no symbol has this code
    m_bitData <<= length;
    m_bitCount -= length;
    symbol = m_tableDHT[slot][index];
    const int size = symbol & 15;
    value = 0;
    if (size != 0) {
        // At least 16 bits remain after the code; size is at most 15.
        const auto v = static_cast<int>(m_bitData >> (64 - size));
        m_bitData <<= size;
        m_bitCount -= size;
        value = (v >> (size - 1)) ? v : v - ((1 << size) - 1);
    }
    return true;
}

// One block: the DC difference against the component's predictor, then run/size coded AC terms in
// zigzag order. Coefficients come out in natural order.
bool JPGEncode::HuffmanDecode(int dcTable, int acTable, int component, BlockShape& shape) {
    // m_coef is all 0 here: the inverse DCT step clears what it used.
    std::int16_t* coef = m_coef.data();
    int acBits = 0;
    int stored = 0;  // OR of the natural positions stored (values of 0 included: they only cost a shortcut)
    int slot = dcTable;
    // The bit buffer is held in locals while symbols come from the table.
    std::uint64_t bits = m_bitData;
    int count = m_bitCount;
    auto next = [&](int& symbol, int& value) {
        if (count < 32) {
            m_bitData = bits;
            m_bitCount = count;
            Refill();
            bits = m_bitData;
            count = m_bitCount;
        }
        const Lookup entry = m_lookup[slot][bits >> (64 - kLookupBits)];
        if (entry.length & kCodeOnly) {
            const int length = entry.length & ~kCodeOnly;
            bits <<= length;
            symbol = entry.symbol;
            const int size = symbol & 15;  // 1..15: at least 16 bits remain after the code
            const auto v = static_cast<int>(bits >> (64 - size));
            bits <<= size;
            count -= length + size;
            value = (v >> (size - 1)) ? v : v - ((1 << size) - 1);
            return true;
        }
        if (entry.length != 0) {
            bits <<= entry.length;
            count -= entry.length;
            symbol = entry.symbol;
            value = entry.value;
            return true;
        }
        m_bitData = bits;
        m_bitCount = count;
        const bool ok = DecodeSymbol(slot, symbol, value);
        bits = m_bitData;
        count = m_bitCount;
        return ok;
    };

    int symbol = 0, value = 0;
    if (!next(symbol, value)) {
        return false;
    }
    m_preData[component] = static_cast<std::int16_t>(m_preData[component] + value);
    coef[0] = m_preData[component];
    slot = acTable + 2;
    for (int k = 1;;) {
        if (!next(symbol, value)) {
            return false;
        }
        const int run = symbol >> 4;
        const int size = symbol & 15;
        if (size == 0) {
            if (run == 0) break;  // end of block
            if (run == 15) {
                k += 16;
                if (k > 63) break;
                continue;
            }
        }
        if (k + run > 63) {
            // A run past the block's end puts the value on the last position.
            coef[63] = static_cast<std::int16_t>(value);
            acBits |= value;
            stored |= 63;
            break;
        }
        const int at = zigzag_table[k + run];
        coef[at] = static_cast<std::int16_t>(value);
        acBits |= value;
        stored |= at;
        k += run + 1;
        if (k > 63) break;
    }
    m_bitData = bits;
    m_bitCount = count;
    shape = acBits == 0 ? BlockShape::kDcOnly : stored < 8 ? BlockShape::kFirstRowOnly : BlockShape::kGeneral;
    return true;
}

}  // namespace fotolume::codec
