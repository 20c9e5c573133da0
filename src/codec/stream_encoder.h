// CQuillJpegEncoder: baseline Huffman JPEG encoder writing frame picture streams or JFIF files.
//
// Frame mode writes the compact stream that the frame's firmware decodes: a 16-byte header instead of
// markers, an MCU offset table, marker-less tables and byte-aligned MCUs without stuffing. Every table,
// shift and rounding below is part of that format: frames decode exactly these bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "codec/encoder_transform.h"

namespace fotolume::codec {

struct tag_HUFFMAN_TABLE {
    std::array<std::uint32_t, 256> code{};  // code per symbol value
    std::array<std::uint8_t, 256> size{};   // code length per symbol value, 0 = no code
    std::array<std::uint8_t, 17> bits{};    // [0] = 0, [1..16] = codes of that length
    std::array<std::uint8_t, 256> val{};    // symbols in table order
};

class CQuillJpegEncoder {
public:
    // Builds the colour, quantization and Huffman tables for this quality (0 counts as 1, above 100 as 100).
    explicit CQuillJpegEncoder(std::uint16_t quality);

    // Clear (the default): frame picture stream. Set: JFIF file.
    void SetJfif(bool jfif) { m_bJfif = jfif; }
    bool IsJfif() const { return m_bJfif; }

    // Encodes 24-bit blue-green-red rows, bottom row first, each padded to a multiple of 4 bytes, into
    // output. Mode 0..15: sampling in bits 0..1 (H1V1, H2V1, H1V2, H2V2); in frame mode bit 2 leaves out
    // the tables and bit 3 the MCU offset table. Returns false, with size 0, when an argument is out of
    // range (size 1..65535, mode 0..15, input shorter than the picture) or when the stream does not fit
    // the output; nothing is written past output.
    bool CompressImage(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, int width,
                       int height, std::size_t& size, int mode);

    // An output size that every picture of this size and mode fits into.
    static std::size_t MaxStreamSize(int width, int height, int mode, bool jfif);

    std::uint16_t Quality() const { return m_quality; }
    std::uint16_t ScaleFactor() const { return m_scaleFactor; }
    // Scaled quantization tables, natural order, as written into the stream.
    const std::array<std::uint8_t, 64>& LuminanceTable() const { return m_lumTable; }
    const std::array<std::uint8_t, 64>& ChrominanceTable() const { return m_chromTable; }

private:
    void InitEncoder();
    void InitQuantTable();
    void InitHuffmanTable();
    static void ScaleTable(std::array<std::uint8_t, 64>& table, const std::array<std::uint8_t, 64>& base,
                           int scaleFactor);
    static void ComputeHuffmanTable(tag_HUFFMAN_TABLE& table, std::span<const std::uint8_t, 17> bits,
                                    std::span<const std::uint8_t> values);

    // Stream header and tables (encoder_header.cpp).
    bool WriteJpegHeader();
    void write_app0();
    void write_sof();
    void write_sos();
    void WriteQuantSegment();
    void WriteHuffmanSegment();

    // One MCU (stream_encoder.cpp, encoder_tile.cpp, encoder_transform.cpp).
    // Points rows[0..MCU height) at the MCU's pixel rows, top first: straight into the input, or into
    // tile (rows 48 bytes apart) where the MCU reaches past an edge.
    void GatherTile(const std::uint8_t* input, std::size_t stride, int mcuX, int mcuY, std::uint8_t* tile,
                    const std::uint8_t** rows) const;
    bool CompressOneTile(const std::uint8_t* const* rows);

    // Entropy coding (encoder_entropy.cpp): the blocks of one MCU, in stream order.
    bool HuffmanEncode(const CoefBlock* blocks);
    template <bool Jfif>
    bool EncodeBlocks(const CoefBlock* blocks);
    void FinishByte();

    void PutByte(std::uint8_t b) {
        if (m_out < m_outEnd) *m_out++ = b;
        else m_overflow = true;
    }

    std::uint16_t m_quality = 0;
    std::uint16_t m_scaleFactor = 0;
    // Divisors of the forward DCT's output, natural order.
    std::array<std::uint16_t, 64> m_lumDivisors{};
    std::array<std::uint16_t, 64> m_chromDivisors{};
    QuantTable m_lumQuant;
    QuantTable m_chromQuant;
    std::array<std::uint8_t, 64> m_lumTable{};
    std::array<std::uint8_t, 64> m_chromTable{};
    // Luminance DC, luminance AC, chrominance DC, chrominance AC.
    std::array<tag_HUFFMAN_TABLE, 4> m_huffman{};
    // The same codes packed for the coder: code << 8 | length, 0 = no code.
    std::array<std::array<std::uint32_t, 256>, 4> m_packed{};
    std::uint16_t m_width = 0;
    std::uint16_t m_height = 0;
    std::array<std::int32_t, 3> m_dcPredictors{};  // Y, Cb, Cr
    // Pending bits: the low 64 - m_freeBits bits of m_bitBuffer, oldest first.
    int m_freeBits = 64;
    std::uint64_t m_bitBuffer = 0;
    int m_sampling = 0;
    int m_mode = 0;
    int m_lumBlocks = 1;
    int m_mcuHeight = 8;
    int m_mcuWidth = 8;
    int m_mcuColumns = 0;
    int m_mcuRows = 0;
    std::uint8_t* m_offsetEntry = nullptr;  // next MCU offset table entry, frame mode
    std::uint8_t* m_out = nullptr;          // next output byte
    std::uint8_t* m_outEnd = nullptr;
    bool m_overflow = false;
    bool m_bJfif = false;
};

}  // namespace fotolume::codec
