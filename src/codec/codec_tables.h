// Constant tables shared by the picture encoder and decoder.
// Quantization and Huffman tables are the typical tables of ITU T.81 Annex K.
#pragma once

#include <array>
#include <cstdint>

namespace fotolume::codec {

// Table K.1, natural order.
inline constexpr std::array<std::uint8_t, 64> std_luminance_quant_tbl = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};

// Table K.2, natural order.
inline constexpr std::array<std::uint8_t, 64> std_chrominance_quant_tbl = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
    24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// Tables K.3 to K.6. Count arrays: index 0 unused, then the number of codes of length 1..16.
inline constexpr std::array<std::uint8_t, 17> bitsYDC = {0, 0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
inline constexpr std::array<std::uint8_t, 12> valYDC = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
inline constexpr std::array<std::uint8_t, 17> bitsCbCrDC = {0, 0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
inline constexpr std::array<std::uint8_t, 12> valCbCrDC = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

inline constexpr std::array<std::uint8_t, 17> bitsYAC = {0, 0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
inline constexpr std::array<std::uint8_t, 162> valYAC = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07,
    0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0,
    0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28,
    0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49,
    0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69,
    0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89,
    0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7,
    0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5,
    0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2,
    0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8,
    0xf9, 0xfa};

inline constexpr std::array<std::uint8_t, 17> bitsCbCrAC = {0, 0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
inline constexpr std::array<std::uint8_t, 162> valCbCrAC = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71,
    0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0,
    0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26,
    0x27, 0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48,
    0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68,
    0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87,
    0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5,
    0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3,
    0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda,
    0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8,
    0xf9, 0xfa};

// AAN scale factors s(u) s(v) 2^14, s(0) = 1, s(k) = cos(k pi / 16) sqrt(2); natural order.
inline constexpr std::array<std::uint16_t, 64> aanscales = {
    16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520,  22725, 31521, 29692, 26722, 22725,
    17855, 12299, 6270,  21407, 29692, 27969, 25172, 21407, 16819, 11585, 5906,  19266, 26722,
    25172, 22654, 19266, 15137, 10426, 5315,  16384, 22725, 21407, 19266, 16384, 12873, 8867,
    4520,  12873, 17855, 16819, 15137, 12873, 10114, 6967,  3552,  8867,  12299, 11585, 10426,
    8867,  6967,  4799,  2446,  4520,  6270,  5906,  5315,  4520,  3552,  2446,  1247};

// Zigzag position to natural index (ITU T.81 Figure A.6); 16 extra entries keep a runaway index in range.
inline constexpr std::array<std::uint8_t, 80> jpeg_natural_order = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33,
    40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36,
    29, 22, 15, 23, 30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54,
    47, 55, 62, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

// The decoder's zigzag table: the same order without the padding.
inline constexpr const std::uint8_t* zigzag_table = jpeg_natural_order.data();

// Dequantization factors of the decoder: floor(64 s(u) s(v)), row-major.
inline constexpr std::array<std::uint8_t, 64> factor = {
    64, 88,  83,  75,  64, 50, 34, 17, 88, 123, 115, 104, 88, 69, 48, 24,
    83, 115, 109, 98,  83, 65, 45, 23, 75, 104, 98,  88,  75, 59, 40, 20,
    64, 88,  83,  75,  64, 50, 34, 17, 50, 69,  65,  59,  50, 39, 27, 13,
    34, 48,  45,  40,  34, 27, 18, 9,  17, 24,  23,  20,  17, 13, 9,  4};

// Per sampling (mode & 3): luminance blocks per MCU and the SOF0 sampling byte of Y.
inline constexpr std::array<int, 4> nY = {1, 2, 2, 4};
inline constexpr std::array<std::uint8_t, 4> nHV = {0x11, 0x21, 0x12, 0x22};

// Mode bits.
inline constexpr int kModeWide = 1;       // MCU 16 pixels wide
inline constexpr int kModeTall = 2;       // MCU 16 pixels tall
inline constexpr int kModeNoTables = 4;   // frame stream without quantization and Huffman segments
inline constexpr int kModeNoOffsets = 8;  // frame stream without MCU offset table

inline constexpr int kHeaderSize = 16;        // frame stream header
inline constexpr int kOffsetEntrySize = 8;    // one MCU offset table entry
inline constexpr int kQuantSegmentSize = 132; // marker-less quantization segment, length word included
inline constexpr int kHuffSegmentSize = 418;  // marker-less Huffman segment, length word included

// Sampling names, as the decoder reports them.
inline constexpr std::array<const char*, 4> kSamplingNames = {"H1V1", "H2V1", "H1V2", "H2V2"};

}  // namespace fotolume::codec
