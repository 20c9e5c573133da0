// JPGEncode: decoder of frame picture streams (the encoder's frame mode) into 24-bit BMP files.
//
// It reads no markers and decodes samplings H1V1 and H2V2; other modes give a black picture. All decoder
// state lives in the object: one object decodes one stream at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace fotolume::codec {

class JPGEncode {
public:
    // Decodes the stream in inputPath and writes the BMP to outputPath. The expected size is the panel's;
    // 0 accepts any size. False when the input cannot be read or its header or tables are refused; true
    // otherwise, also when the BMP could not be created (then no BMP exists).
    bool DecodeMyPicture(const std::string& inputPath, const std::string& outputPath, int expectedWidth,
                         int expectedHeight);

    // Decodes a stream held in memory into VideoBuff(); same results as DecodeMyPicture.
    bool DecodeStream(std::span<const std::uint8_t> stream, int expectedWidth, int expectedHeight);

    // Writes buffer (top row first, bufferWidth pixels of bytesPerPixel per row) as a bottom-up BMP
    // whose width is TrueWidth(). 1 when written, 0 when the file could not be created.
    int BmpSave(const std::string& outputPath, const std::uint8_t* buffer, int bufferWidth, int height,
                int bytesPerPixel);

    // Decoded picture: blue, green, red; top row first; RoundedWidth() pixels per row.
    const std::vector<std::uint8_t>& VideoBuff() const { return m_videoBuff; }
    int TrueWidth() const { return m_trueWidth; }
    int RoundedWidth() const { return m_roundedWidth; }
    int Height() const { return m_height; }
    int Mode() const { return m_header[4]; }
    const char* SamplingName() const;

    // Set when the entropy-coded data was corrupt or ran out: decoding stopped there and the rest of
    // the picture is black.
    bool Damaged() const { return m_damaged; }
    // Whether the last DecodeMyPicture wrote its BMP (it reports a decoded stream either way).
    bool BmpWritten() const { return m_bmpWritten; }

    // Resolution written into BMP files: 300 pixels per metre, or 0 as MacFotolume writes them.
    void SetPixelsPerMetre(int pixelsPerMetre) { m_pixelsPerMetre = pixelsPerMetre; }

    // Called with the sampling name ("H1V1", ...) as a decode starts.
    void SetSamplingObserver(std::function<void(const char*)> observer) { m_onSampling = std::move(observer); }

private:
    // Header and tables (decoder_header.cpp).
    bool ReadHeader();
    bool GetDQT();
    bool GetDHT();
    bool ReadByte(std::uint8_t& b);
    bool get_word(std::uint16_t& w);

    // Entropy decoding (decoder_entropy.cpp).
    void StartBits();
    void Refill();
    void AlignInData(int bits);
    void AlignToByte();
    bool DecodeSymbol(int slot, int& symbol, int& value);
    // What the block holds besides its DC term, for the inverse DCT's shortcuts.
    enum class BlockShape { kDcOnly, kFirstRowOnly, kGeneral };
    bool HuffmanDecode(int dcTable, int acTable, int component, BlockShape& shape);
    void BuildLookup(int slot);
    void FillLookupCanonical(int slot);
    bool DataExhausted() const;

    // MCU loops and colour conversion (decoder_colour.cpp).
    void Decode();
    void DecodeH1V1();
    void DecodeH2V2();
    bool DecodeComponentBlock(int component, std::uint8_t* samples);
    void DecodeBlock1x1(int blockX, int blockY);
    void DecodeBlock2x2(int chromaOffset, int blockX, int blockY);

    int m_trueWidth = 0;
    int m_expectedWidth = 0;
    int m_expectedHeight = 0;
    int m_roundedWidth = 0;
    int m_height = 0;

    // Width (rounded), height, mode, quantization Y Cb Cr, DC Y Cb Cr, AC Y Cb Cr, one spare word.
    std::array<std::uint8_t, 16> m_header{};
    int m_mcuNumX = 0;
    int m_mcuNumY = 0;
    std::array<std::array<std::uint16_t, 64>, 2> m_tableDQT{};
    // Slots: 0 = DC table 0, 1 = DC table 1, 2 = AC table 0, 3 = AC table 1.
    std::array<std::array<std::uint8_t, 162>, 4> m_tableDHT{};
    std::array<int, 4> m_symbolCount{};  // 0: slot never defined
    std::array<std::array<std::uint16_t, 16>, 4> m_mincode{};
    std::array<std::array<std::uint8_t, 16>, 4> m_valptr{};
    // Codes per length 1..16 of each slot, and whether the code values ran past 16 bits.
    std::array<std::array<std::uint8_t, 16>, 4> m_codeCounts{};
    std::array<bool, 4> m_codesWrap{};
    // Per slot and 10-bit window prefix: a code with its value bits when both fit in the prefix
    // (length = code and value bits), or a code alone (length = code bits + kCodeOnly) whose value
    // bits follow; 0 = decode through the MINCODE search.
    static constexpr std::uint8_t kCodeOnly = 0x80;
    static constexpr int kLookupBits = 10;
    struct Lookup {
        std::uint8_t length;
        std::uint8_t symbol;
        std::int16_t value;
    };
    std::array<std::array<Lookup, 1 << kLookupBits>, 4> m_lookup{};

    // Input and bit reader: m_bitData holds m_bitCount unread bits, left-aligned.
    std::span<const std::uint8_t> m_input;
    std::size_t m_pos = 0;
    std::uint64_t m_bitData = 0;
    int m_bitCount = 0;

    std::array<std::int16_t, 3> m_preData{};  // DC predictors Y, Cb, Cr
    // Coefficients of the block being decoded; all 0 between blocks.
    std::array<std::int16_t, 64> m_coef{};
    std::array<std::uint8_t, 64> m_yData{};
    std::array<std::uint8_t, 64> m_cbData{};
    std::array<std::uint8_t, 64> m_crData{};
    std::vector<std::uint8_t> m_videoBuff;
    bool m_damaged = false;
    bool m_bmpWritten = false;
    int m_pixelsPerMetre = 300;
    std::function<void(const char*)> m_onSampling;
};

}  // namespace fotolume::codec
