// Shared helpers of the codec tests: synthetic pictures, encoding in memory, quality measures and a
// stream builder for hand-made entropy data.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/stream_decoder.h"
#include "tests/support/temp_folder.h"

namespace fotolume::codec::test {

// Blue-green-red pixels, top row first, 3 x w bytes per row.
struct Picture {
    int w = 0;
    int h = 0;
    std::vector<std::uint8_t> bgr;
    std::uint8_t* At(int x, int y) { return bgr.data() + 3 * (static_cast<std::size_t>(y) * w + x); }
    const std::uint8_t* At(int x, int y) const { return bgr.data() + 3 * (static_cast<std::size_t>(y) * w + x); }
};

Picture MakePicture(int w, int h);
Picture SmoothPicture(int w, int h);  // gentle colour gradients and slow waves
Picture SharpPicture(int w, int h);   // hard-edged stripes, checks and a saturated pattern
Picture NoisePicture(int w, int h, std::uint32_t seed);
Picture FlatPicture(int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r);

// Encoder input: bottom row first, rows padded to 4 bytes.
std::vector<std::uint8_t> ToBmpRows(const Picture& p);

// Encodes with a buffer of MaxStreamSize; fails the test on an encoder error.
std::vector<std::uint8_t> Encode(const Picture& p, int quality, int mode, bool jfif = false);

// Decodes a frame stream; the picture cropped to its true width. Empty picture when refused.
Picture DecodeFrame(const std::vector<std::uint8_t>& stream, bool* damaged = nullptr);

double Psnr(const Picture& a, const Picture& b);
std::uint64_t Fnv1a(const std::vector<std::uint8_t>& bytes);

using testsupport::ReadBytes;
using testsupport::WriteBytes;
using ScratchDir = testsupport::TempFolder;

// Builds frame streams symbol by symbol with the Annex K tables.
class StreamBuilder {
public:
    // Header, MCU offset table of zero entries, quantization tables of all-ones, the Annex K Huffman tables.
    StreamBuilder(int width, int height, int mode);
    // table: 0 luminance DC, 1 luminance AC, 2 chrominance DC, 3 chrominance AC.
    void Symbol(int table, int symbol);
    void Bits(std::uint32_t value, int count);
    void Value(int value);  // the size category's bits of a coefficient
    void EndMcu();          // completes the byte with 1-bits
    std::vector<std::uint8_t>& Bytes() { return m_bytes; }
    std::size_t DataStart() const { return m_dataStart; }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_dataStart = 0;
    std::uint32_t m_bitBuffer = 0;
    int m_bitCount = 0;
    std::uint32_t m_code[4][256] = {};
    int m_length[4][256] = {};
};

}  // namespace fotolume::codec::test
