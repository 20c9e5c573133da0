// Encoder set-up: colour conversion tables, quality-scaled quantization tables and Huffman codes.
#include "codec/codec_tables.h"
#include "codec/stream_encoder.h"

namespace fotolume::codec {

CQuillJpegEncoder::CQuillJpegEncoder(std::uint16_t quality) : m_quality(quality) { InitEncoder(); }

void CQuillJpegEncoder::InitEncoder() {
    InitQuantTable();
    InitHuffmanTable();
}

void CQuillJpegEncoder::ScaleTable(std::array<std::uint8_t, 64>& table, const std::array<std::uint8_t, 64>& base,
                                   int scaleFactor) {
    for (int k = 0; k < 64; ++k) {
        int v = (base[k] * scaleFactor + 50) / 100;
        if (v <= 0) v = 1;
        if (v > 255) v = 255;
        table[k] = static_cast<std::uint8_t>(v);
    }
}

void CQuillJpegEncoder::InitQuantTable() {
    int q = m_quality;
    if (q == 0) q = 1;
    if (q > 100) q = 100;
    m_scaleFactor = static_cast<std::uint16_t>(q >= 50 ? 200 - 2 * q : 5000 / q);
    ScaleTable(m_lumTable, std_luminance_quant_tbl, m_scaleFactor);
    ScaleTable(m_chromTable, std_chrominance_quant_tbl, m_scaleFactor);
    // The forward DCT leaves its output scaled by the AAN factors; the divisors take them out.
    for (int k = 0; k < 64; ++k) {
        m_lumDivisors[k] = static_cast<std::uint16_t>((m_lumTable[k] * aanscales[k] + 1024) >> 11);
        m_chromDivisors[k] = static_cast<std::uint16_t>((m_chromTable[k] * aanscales[k] + 1024) >> 11);
    }
    PrepareQuantTable(m_lumQuant, m_lumDivisors);
    PrepareQuantTable(m_chromQuant, m_chromDivisors);
}

// Canonical codes from the counts (ITU T.81 Annex C, Figures C.1 to C.3), stored under each symbol value.
void CQuillJpegEncoder::ComputeHuffmanTable(tag_HUFFMAN_TABLE& table, std::span<const std::uint8_t, 17> bits,
                                            std::span<const std::uint8_t> values) {
    table = tag_HUFFMAN_TABLE{};
    for (int i = 0; i < 17; ++i) table.bits[i] = bits[i];
    for (std::size_t i = 0; i < values.size() && i < table.val.size(); ++i) table.val[i] = values[i];
    std::uint32_t code = 0;
    std::size_t k = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int n = 0; n < bits[length] && k < values.size(); ++n, ++k) {
            table.code[values[k]] = code;
            table.size[values[k]] = static_cast<std::uint8_t>(length);
            ++code;
        }
        code <<= 1;
    }
}

void CQuillJpegEncoder::InitHuffmanTable() {
    ComputeHuffmanTable(m_huffman[0], bitsYDC, valYDC);
    ComputeHuffmanTable(m_huffman[1], bitsYAC, valYAC);
    ComputeHuffmanTable(m_huffman[2], bitsCbCrDC, valCbCrDC);
    ComputeHuffmanTable(m_huffman[3], bitsCbCrAC, valCbCrAC);
    for (int t = 0; t < 4; ++t)
        for (int v = 0; v < 256; ++v)
            m_packed[t][v] = m_huffman[t].size[v] ? (m_huffman[t].code[v] << 8) | m_huffman[t].size[v] : 0;
}

}  // namespace fotolume::codec
