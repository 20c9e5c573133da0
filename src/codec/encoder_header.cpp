// Stream headers: the 16-byte frame stream header with its MCU offset table, or the JFIF markers; and the
// quantization and Huffman segments that both carry (without markers in a frame stream).
#include "codec/byte_order.h"
#include "codec/codec_tables.h"
#include "codec/stream_encoder.h"

namespace fotolume::codec {

void CQuillJpegEncoder::WriteQuantSegment() {
    PutByte(0x00);
    PutByte(0x84);
    PutByte(0x00);
    for (int k = 0; k < 64; ++k) PutByte(m_lumTable[jpeg_natural_order[k]]);
    PutByte(0x01);
    for (int k = 0; k < 64; ++k) PutByte(m_chromTable[jpeg_natural_order[k]]);
}

void CQuillJpegEncoder::WriteHuffmanSegment() {
    PutByte(0x01);
    PutByte(0xA2);
    static constexpr std::uint8_t kClassNumber[4] = {0x00, 0x10, 0x01, 0x11};
    static constexpr int kSymbolCount[4] = {12, 162, 12, 162};
    for (int t = 0; t < 4; ++t) {
        PutByte(kClassNumber[t]);
        for (int i = 1; i <= 16; ++i) PutByte(m_huffman[t].bits[i]);
        for (int i = 0; i < kSymbolCount[t]; ++i) PutByte(m_huffman[t].val[i]);
    }
}

void CQuillJpegEncoder::write_app0() {
    static constexpr std::uint8_t kApp0[] = {0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00,
                                             0x01, 0x01, 0x01, 0x01, 0x2C, 0x01, 0x2C, 0x00, 0x00};
    for (std::uint8_t b : kApp0) PutByte(b);
}

void CQuillJpegEncoder::write_sof() {
    const std::uint8_t sof[] = {0xFF, 0xC0, 0x00, 0x11, 0x08,
                                static_cast<std::uint8_t>(m_height >> 8), static_cast<std::uint8_t>(m_height),
                                static_cast<std::uint8_t>(m_width >> 8), static_cast<std::uint8_t>(m_width),
                                0x03, 0x01, nHV[m_sampling], 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01};
    for (std::uint8_t b : sof) PutByte(b);
}

void CQuillJpegEncoder::write_sos() {
    static constexpr std::uint8_t kSos[] = {0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00,
                                            0x02, 0x11, 0x03, 0x11, 0x00, 0x3F, 0x00};
    for (std::uint8_t b : kSos) PutByte(b);
}

bool CQuillJpegEncoder::WriteJpegHeader() {
    if (m_bJfif) {
        PutByte(0xFF);
        PutByte(0xD8);
        write_app0();
        PutByte(0xFF);
        PutByte(0xDB);
        WriteQuantSegment();
        PutByte(0xFF);
        PutByte(0xC4);
        WriteHuffmanSegment();
        write_sof();
        write_sos();
        return !m_overflow;
    }

    std::uint8_t header[kHeaderSize] = {0, 0, 0, 0, 0, 0, 1, 1, 0, 1, 1, 0, 1, 1, 0, 0};
    write_u16be(header, m_width);
    write_u16be(header + 2, m_height);
    header[4] = static_cast<std::uint8_t>(m_mode);
    if (m_mode & kModeNoTables) write_u16be(header + 5, m_scaleFactor);
    for (std::uint8_t b : header) PutByte(b);

    if (!(m_mode & kModeNoOffsets)) {
        // Entries are filled in as the MCUs are written.
        std::size_t tableSize = static_cast<std::size_t>(m_mcuColumns) * m_mcuRows * kOffsetEntrySize;
        if (m_overflow || static_cast<std::size_t>(m_outEnd - m_out) < tableSize) {
            m_overflow = true;
            return false;
        }
        m_offsetEntry = m_out;
        m_out += tableSize;
    }
    if (!(m_mode & kModeNoTables)) {
        WriteQuantSegment();
        WriteHuffmanSegment();
    }
    return !m_overflow;
}

}  // namespace fotolume::codec
