// The encoder's vectorized MCU arithmetic against the plain formulas it replaces: colour conversion for
// every colour, the reciprocal division over its whole input range, the DCT's output range, and whole
// MCUs of every sampling through every build the processor runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "codec/codec_tables.h"
#include "codec/encoder_transform.h"
#include "tests/support/pictures.h"

namespace fotolume::codec::test {
namespace {

// IJG's fixed-point YCbCr as a straight sum, less 128.
std::int32_t PlainY(int b, int g, int r) { return ((19595 * r + 38470 * g + 7471 * b + 32768) >> 16) - 128; }
std::int32_t PlainCb(int b, int g, int r) { return ((-11059 * r - 21709 * g + 32768 * b + 8421375) >> 16) - 128; }
std::int32_t PlainCr(int b, int g, int r) { return ((32768 * r - 27439 * g - 5329 * b + 8421375) >> 16) - 128; }

// A range of integers, for bounding the DCT over every possible input at once. The truncating
// products are monotonic, so the bounds of their inputs bound their outputs.
struct Range {
    std::int64_t lo = 0, hi = 0;
};
Range operator+(Range a, Range b) { return {a.lo + b.lo, a.hi + b.hi}; }
Range operator-(Range a, Range b) { return {a.lo - b.hi, a.hi - b.lo}; }
Range Scale(Range x, int k) { return {(x.lo * k) >> 8, (x.hi * k) >> 8}; }
std::int32_t Scale(std::int32_t x, int k) { return (x * k) >> 8; }

// The fast integer DCT pass as first written: 8 values `step` apart, in place.
template <class T>
void PlainPass(T* p, int step) {
    const T d0 = p[0], d1 = p[step], d2 = p[2 * step], d3 = p[3 * step];
    const T d4 = p[4 * step], d5 = p[5 * step], d6 = p[6 * step], d7 = p[7 * step];
    const T tmp0 = d0 + d7, tmp7 = d0 - d7, tmp1 = d1 + d6, tmp6 = d1 - d6;
    const T tmp2 = d2 + d5, tmp5 = d2 - d5, tmp3 = d3 + d4, tmp4 = d3 - d4;
    T tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3, tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
    p[0] = tmp10 + tmp11;
    p[4 * step] = tmp10 - tmp11;
    const T z1 = Scale(tmp12 + tmp13, 181);
    p[2 * step] = tmp13 + z1;
    p[6 * step] = tmp13 - z1;
    tmp10 = tmp4 + tmp5;
    tmp11 = tmp5 + tmp6;
    tmp12 = tmp6 + tmp7;
    const T z5 = Scale(tmp10 - tmp12, 98);
    const T z2 = Scale(tmp10, 139) + z5;
    const T z4 = Scale(tmp12, 334) + z5;
    const T z3 = Scale(tmp11, 181);
    const T z11 = tmp7 + z3, z13 = tmp7 - z3;
    p[5 * step] = z13 + z2;
    p[3 * step] = z13 - z2;
    p[step] = z11 + z4;
    p[7 * step] = z11 - z4;
}

template <class T>
void PlainDct(T* block) {
    for (int row = 0; row < 8; ++row) PlainPass(block + 8 * row, 1);
    for (int col = 0; col < 8; ++col) PlainPass(block + col, 8);
}

// Colour conversion, DCT, division and zigzag mask of one MCU, block by block in stream order.
std::vector<CoefBlock> PlainMcu(const std::uint8_t* const* rows, int sampling, bool jfif,
                                const std::array<std::uint16_t, 64>& lum, const std::array<std::uint16_t, 64>& chrom) {
    const bool wide = sampling & 1, tall = sampling & 2;
    const int across = wide ? 2 : 1, down = tall ? 2 : 1;
    std::vector<std::array<std::int32_t, 64>> y(static_cast<std::size_t>(across * down));
    std::array<std::int32_t, 64> cb{}, cr{};
    for (int r = 0; r < 8 * down; ++r) {
        for (int c = 0; c < 8 * across; ++c) {
            const std::uint8_t* p = rows[r] + 3 * c;
            y[static_cast<std::size_t>((r / 8) * across + c / 8)][(r % 8) * 8 + c % 8] = PlainY(p[0], p[1], p[2]);
            if (r % down == 0 && c % across == 0) {
                cb[(r / down) * 8 + c / across] = PlainCb(p[0], p[1], p[2]);
                cr[(r / down) * 8 + c / across] = PlainCr(p[0], p[1], p[2]);
            }
        }
    }
    std::vector<std::pair<std::array<std::int32_t, 64>, const std::array<std::uint16_t, 64>*>> order;
    if (!jfif) order = {{cb, &chrom}, {cr, &chrom}};
    for (const auto& block : y) order.push_back({block, &lum});
    if (jfif) order.insert(order.end(), {{cb, &chrom}, {cr, &chrom}});

    std::vector<CoefBlock> out(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        auto& [samples, divisors] = order[i];
        PlainDct(samples.data());
        out[i].nonZero = 0;
        for (int n = 0; n < 64; ++n) {
            const int d = (*divisors)[n];
            const int v = (std::abs(samples[n]) + d / 2) / d;
            const int coef = samples[n] < 0 ? -v : v;
            out[i].coef[n] = coef;
            int size = 0;
            while ((1 << size) <= v) ++size;
            const auto bits = static_cast<std::uint32_t>(coef < 0 ? coef - 1 : coef) & ((1u << size) - 1);
            out[i].sizedBits[n] = static_cast<std::uint32_t>(size) << 16 | bits;
        }
        for (int k = 0; k < 64; ++k)
            if (out[i].coef[jpeg_natural_order[k]] != 0) out[i].nonZero |= std::uint64_t{1} << k;
    }
    return out;
}

TEST(EncoderTransform, ColourSamplesMatchTheFixedPointSumsForEveryColour) {
    int mismatches = 0;
    for (int b = 0; b < 256; ++b) {
        for (int g = 0; g < 256; ++g) {
            for (int r = 0; r < 256; ++r) {
                const auto B = static_cast<std::uint8_t>(b), G = static_cast<std::uint8_t>(g),
                           R = static_cast<std::uint8_t>(r);
                if (SampleY(B, G, R) != PlainY(b, g, r) || SampleCb(B, G, R) != PlainCb(b, g, r) ||
                    SampleCr(B, G, R) != PlainCr(b, g, r)) {
                    if (++mismatches < 5) ADD_FAILURE() << "colour " << b << "," << g << "," << r;
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(EncoderTransform, ReciprocalDivisionIsExactOverTheWholeInputRange) {
    // Every divisor the encoder can make: table entries up to 255 times the largest AAN scale.
    const int largest = (255 * *std::max_element(aanscales.begin(), aanscales.end()) + 1024) >> 11;
    ASSERT_LE(largest, 4096);
    for (std::uint32_t d = 1; d <= 4096; ++d) {
        const QuantStep step = MakeQuantStep(static_cast<std::uint16_t>(d));
        std::uint32_t quotient = 0, remainder = 0;  // of a / d, stepped along with a
        for (std::uint32_t a = 0; a < kQuantInputLimit; ++a) {
            if (DivideByStep(a, step) != quotient || DivideWideByStep(a, step) != quotient) {
                FAIL() << a << " / " << d << " gives " << DivideByStep(a, step) << " and "
                       << DivideWideByStep(a, step);
            }
            if (++remainder == d) {
                remainder = 0;
                ++quotient;
            }
        }
    }
    // Divisors beyond the encoder's, where the 32-bit product comes closest to overflowing.
    for (std::uint32_t d : {4097u, 32767u, 32768u, 32769u, 65535u}) {
        const QuantStep step = MakeQuantStep(static_cast<std::uint16_t>(d));
        for (std::uint32_t a = 0; a < kQuantInputLimit; ++a) {
            ASSERT_EQ(DivideByStep(a, step), a / d) << a << " / " << d;
            ASSERT_EQ(DivideWideByStep(a, step), a / d) << a << " / " << d;
        }
    }
    EXPECT_EQ(DivideByStep(12345, MakeQuantStep(0)), 12345u);  // 0 divides as 1
    EXPECT_EQ(DivideWideByStep(12345, MakeQuantStep(0)), 12345u);
}

TEST(EncoderTransform, DctOfAnyBlockStaysWithinTheQuantizerRange) {
    std::array<Range, 64> block;
    block.fill(Range{-128, 127});
    PlainDct(block.data());
    std::int64_t largest = 0;
    for (const Range& r : block) largest = std::max({largest, -r.lo, r.hi});
    EXPECT_GT(largest, 8192);  // the DC term alone reaches 64 x 128
    EXPECT_LT(largest + 4096 / 2, static_cast<std::int64_t>(kQuantInputLimit));
}

// Pictures of 16 x 16 pixels, 48 bytes a row: noise, and patterns that drive coefficients to their
// extremes.
std::vector<std::vector<std::uint8_t>> TestTiles() {
    std::vector<std::vector<std::uint8_t>> tiles;
    for (std::uint32_t t = 0; t < 300; ++t) tiles.push_back(testsupport::PictureBytes(16 * 48, t));
    for (int pattern = 0; pattern < 8; ++pattern) {
        std::vector<std::uint8_t> tile(16 * 48);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 48; ++x) {
                const int px = x / 3;
                const bool on = pattern == 0 ? true
                                : pattern == 1 ? false
                                : pattern == 2 ? ((px + y) & 1)
                                : pattern == 3 ? (px & 1)
                                : pattern == 4 ? (y & 1)
                                : pattern == 5 ? ((px ^ y) & 4)
                                : pattern == 6 ? (x % 3 == pattern % 3)
                                               : ((px / 2 + y / 2) & 1);
                tile[static_cast<std::size_t>(y * 48 + x)] = on ? 255 : 0;
            }
        tiles.push_back(tile);
    }
    return tiles;
}

TEST(EncoderTransform, EveryBuildGivesThePlainArithmeticsBlocks) {
    std::array<std::uint16_t, 64> ones, quality90, quality1, wild;
    ones.fill(1);
    std::uint32_t s = 7;
    for (int k = 0; k < 64; ++k) {
        const int scaled90 = (std_luminance_quant_tbl[k] * 20 + 50) / 100;  // quality 90 scales by 20%
        quality90[k] = static_cast<std::uint16_t>((scaled90 * aanscales[k] + 1024) >> 11);
        quality1[k] = static_cast<std::uint16_t>((255 * aanscales[k] + 1024) >> 11);
        s = s * 1664525u + 1013904223u;
        wild[k] = static_cast<std::uint16_t>(1 + (s >> 8) % 4096);
    }
    const std::vector<std::array<std::uint16_t, 64>> tables = {ones, quality90, quality1, wild};
    const auto tiles = TestTiles();
    const auto builds = TransformMcuBuilds();
    ASSERT_FALSE(builds.empty());
    EXPECT_STREQ(builds.front().name, "plain");
    for (const TransformMcuBuild& build : builds) {
        for (std::size_t t = 0; t < tables.size(); ++t) {
            QuantTable lum, chrom;
            PrepareQuantTable(lum, tables[t]);
            PrepareQuantTable(chrom, tables[(t + 1) % tables.size()]);
            for (int sampling = 0; sampling < 4; ++sampling) {
                for (bool jfif : {false, true}) {
                    int failures = 0;
                    for (const auto& tile : tiles) {
                        const std::uint8_t* rows[16];
                        for (int r = 0; r < 16; ++r) rows[r] = tile.data() + 48 * r;
                        CoefBlock blocks[kMaxMcuBlocks];
                        build.function(rows, sampling, jfif, lum, chrom, blocks);
                        const auto expected =
                            PlainMcu(rows, sampling, jfif, tables[t], tables[(t + 1) % tables.size()]);
                        for (std::size_t i = 0; i < expected.size(); ++i) {
                            if (blocks[i].coef != expected[i].coef || blocks[i].sizedBits != expected[i].sizedBits ||
                                blocks[i].nonZero != expected[i].nonZero)
                                ++failures;
                        }
                    }
                    EXPECT_EQ(failures, 0) << build.name << " tables " << t << " sampling " << sampling
                                           << (jfif ? " JFIF" : " frame");
                }
            }
        }
    }
}

}  // namespace
}  // namespace fotolume::codec::test
