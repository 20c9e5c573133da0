// Decoder front: reading the stream file, the 16-byte header and the marker-less tables.
#include <new>

#include "codec/byte_order.h"
#include "codec/codec_tables.h"
#include "codec/input_file.h"
#include "codec/stream_decoder.h"

namespace fotolume::codec {

namespace {
// Far above any frame's flash; a larger file is not a picture stream.
constexpr std::uintmax_t kMaxStreamFile = 256u << 20;
// Decoded pictures are limited to this many pixels (a 16k x 8k picture).
constexpr std::size_t kMaxPixels = std::size_t{1} << 27;
}  // namespace

bool JPGEncode::DecodeMyPicture(const std::string& inputPath, const std::string& outputPath,
                                int expectedWidth, int expectedHeight) {
    std::vector<std::uint8_t> stream;
    try {
        if (!ReadInputFile(inputPath, kMaxStreamFile, stream)) return false;
    } catch (const std::bad_alloc&) {
        return false;
    }

    m_bmpWritten = false;
    if (!DecodeStream(stream, expectedWidth, expectedHeight)) return false;
    m_bmpWritten = BmpSave(outputPath, m_videoBuff.data(), m_roundedWidth, m_height, 3) != 0;
    m_videoBuff.clear();
    m_videoBuff.shrink_to_fit();
    return true;
}

bool JPGEncode::DecodeStream(std::span<const std::uint8_t> stream, int expectedWidth, int expectedHeight) {
    m_input = stream;
    m_pos = 0;
    m_expectedWidth = expectedWidth;
    m_expectedHeight = expectedHeight;
    m_damaged = false;
    // Tables of an earlier stream never leak into this one.
    m_tableDQT = {};
    m_tableDHT = {};
    m_symbolCount = {};
    m_mincode = {};
    m_valptr = {};
    m_lookup = {};
    m_coef = {};
    m_videoBuff.clear();
    m_trueWidth = m_roundedWidth = m_height = 0;

    const bool ok = ReadHeader();
    if (ok) Decode();
    else {
        m_videoBuff.clear();
        m_videoBuff.shrink_to_fit();
    }
    m_input = {};
    return ok;
}

bool JPGEncode::ReadByte(std::uint8_t& b) {
    if (m_pos >= m_input.size()) return false;
    b = m_input[m_pos++];
    return true;
}

bool JPGEncode::get_word(std::uint16_t& w) {
    if (m_input.size() - m_pos < 2 || m_pos > m_input.size()) return false;
    w = read_u16be(m_input.data() + m_pos);
    m_pos += 2;
    return true;
}

bool JPGEncode::ReadHeader() {
    std::uint16_t width = 0, height = 0;
    if (!get_word(width) || !get_word(height)) return false;
    // A picture of another panel size is not decoded.
    if (m_expectedWidth != 0 && m_expectedWidth != width) return false;
    if (m_expectedHeight != 0 && m_expectedHeight != height) return false;
    if (width == 0 || height == 0) return false;

    m_trueWidth = width;
    m_roundedWidth = (width + 7) & ~7;
    m_height = height;
    write_u16be(m_header.data(), static_cast<unsigned>(m_roundedWidth));
    write_u16be(m_header.data() + 2, height);
    for (int i = 4; i < 14; ++i) {
        if (!ReadByte(m_header[i])) return false;
    }
    std::uint16_t spare = 0;
    if (!get_word(spare)) return false;
    write_u16be(m_header.data() + 14, spare);
    // Table numbers index two quantization tables and two Huffman tables of each class.
    for (int i = 5; i < 14; ++i) {
        if (m_header[i] > 1) return false;
    }

    const int mode = m_header[4];
    const int mcuWidth = (mode & kModeWide) ? 16 : 8;
    const int mcuHeight = (mode & kModeTall) ? 16 : 8;
    m_mcuNumX = m_roundedWidth / mcuWidth + (m_roundedWidth % mcuWidth ? 1 : 0);
    m_mcuNumY = m_height / mcuHeight + (m_height % mcuHeight ? 1 : 0);

    // The MCU offset table is not needed for a decode from the start; it must lie inside the file.
    const std::size_t offsetTable = static_cast<std::size_t>(m_mcuNumX) * m_mcuNumY * kOffsetEntrySize;
    if (offsetTable > m_input.size() - m_pos) return false;
    m_pos += offsetTable;

    if (!GetDQT() || !GetDHT()) return false;

    const std::size_t pixels = static_cast<std::size_t>(m_roundedWidth) * m_height;
    if (pixels > kMaxPixels) return false;
    try {
        m_videoBuff.assign(pixels * 3, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_preData = {0, 0, 0};
    StartBits();
    return true;
}

// Quantization segment: tables 0 and 1, 64 quantizers each in zigzag order, stored as dequantization
// multipliers that carry the inverse DCT's AAN scaling.
bool JPGEncode::GetDQT() {
    std::uint16_t length = 0;
    if (!get_word(length)) return false;
    if (length > kQuantSegmentSize) return false;  // at most the two tables
    int consumed = 0;
    while (consumed + 2 < length) {
        std::uint8_t table = 0;
        if (!ReadByte(table) || table > 1) return false;
        if (m_input.size() - m_pos < 64) return false;
        for (int k = 0; k < 64; ++k) {
            const int n = zigzag_table[k];
            m_tableDQT[table][n] = static_cast<std::uint16_t>(factor[n] * m_input[m_pos + k]);
        }
        m_pos += 64;
        consumed += 65;
    }
    return true;
}

// Huffman segment: per table its class/number, 16 counts and the symbols; MINCODE and VALPTR as in
// ITU T.81 Annex F.2.2.3.
bool JPGEncode::GetDHT() {
    std::uint16_t length = 0;
    if (!get_word(length)) return false;
    int consumed = 0;
    while (consumed + 2 < length) {
        std::uint8_t classNumber = 0;
        if (!ReadByte(classNumber)) return false;
        int slot;
        switch (classNumber) {
            case 0x00: slot = 0; break;
            case 0x01: slot = 1; break;
            case 0x10: slot = 2; break;
            case 0x11: slot = 3; break;
            default: return false;
        }
        std::uint16_t code = 0;
        std::uint32_t codeSpace = 0;  // the same sum without the 16-bit wrap
        int count = 0;
        for (int i = 1; i <= 16; ++i) {
            std::uint8_t n = 0;
            if (!ReadByte(n)) return false;
            m_mincode[slot][i - 1] = code;
            m_valptr[slot][i - 1] = static_cast<std::uint8_t>(count);
            m_codeCounts[slot][i - 1] = n;
            count += n;
            code = static_cast<std::uint16_t>(code + (n << (16 - i)));
            codeSpace += static_cast<std::uint32_t>(n) << (16 - i);
        }
        m_codesWrap[slot] = codeSpace > 0xFFFF;
        const int maxCount = slot < 2 ? 16 : 162;
        if (count < 1 || count > maxCount) return false;
        if (m_input.size() - m_pos < static_cast<std::size_t>(count)) return false;
        for (int k = 0; k < count; ++k) m_tableDHT[slot][k] = m_input[m_pos + k];
        m_pos += count;
        m_symbolCount[slot] = count;
        BuildLookup(slot);
        consumed += 17 + count;
    }
    return true;
}

}  // namespace fotolume::codec
