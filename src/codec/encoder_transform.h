// The arithmetic of one MCU on its way to the entropy coder: colour conversion, forward DCT and
// quantization, written so that the compiler can vectorize it. Every step gives exactly the integers of
// the plain formulas (colour tables, divisions): frames decode exactly these values.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace fotolume::codec {

// IJG fixed-point YCbCr with 16 fraction bits, centred on 0: Y = (19595 R + 38470 G + 7471 B + 32768)
// >> 16, Cb = (-11059 R - 21709 G + 32768 B + 8421375) >> 16, Cr = (32768 R - 27439 G - 5329 B + 8421375)
// >> 16, each less 128. Each constant is split as 256 h + l, and the sum as 256 H + L: then
// floor((256 H + L) / 2^16) = (H + (L >> 8)) >> 8, where H, L and H + (L >> 8) all fit in 16 bits, so
// vector code works on 16 pixels at once with the same results.
constexpr std::int32_t SampleY(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    const auto high = static_cast<std::uint16_t>(76 * r + 150 * g + 29 * b);  // at most 65025
    const auto low = static_cast<std::uint16_t>(139 * r + 70 * g + 47 * b);   // the 32768 is the 128 below
    return (static_cast<std::uint16_t>(high + 128 + (low >> 8)) >> 8) - 128;
}
// -11059 = 256 (-43) - 51 and -21709 = 256 (-84) - 205; 8421375 = 2^23 + 32767 is the centring and
// the rounding. Both parts lie within -32513..32767.
constexpr std::int32_t SampleCb(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    const auto high = static_cast<std::int16_t>(128 * b - 43 * r - 84 * g);
    const auto low = static_cast<std::int16_t>(32767 - 51 * r - 205 * g);
    return static_cast<std::int16_t>(high + (low >> 8)) >> 8;
}
// -27439 = 256 (-107) - 47 and -5329 = 256 (-20) - 209.
constexpr std::int32_t SampleCr(std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    const auto high = static_cast<std::int16_t>(128 * r - 107 * g - 20 * b);
    const auto low = static_cast<std::int16_t>(32767 - 47 * g - 209 * b);
    return static_cast<std::int16_t>(high + (low >> 8)) >> 8;
}

// Quantization divides |c| + d / 2 by d; the forward DCT of 8-bit samples keeps that sum below this.
inline constexpr std::uint32_t kQuantInputLimit = 1u << 15;

// floor(a / d) by multiplication, exact for every a below kQuantInputLimit, in two forms: processors that
// shift each vector lane by its own count take the 32-bit one, others the 64-bit one.
// With a shift s and reciprocal m = ceil(2^s / d) = (2^s + e) / d, e < d, (a m) >> s is the floor of
// a / d + a e / (d 2^s). When a e < 2^s that exceeds a / d by less than 1 / d, while a / d lies at least
// 1 / d below the next integer. 32 bits: s = 15 + ceil(log2 d), and a m stays below 2^31 + 2^15.
// 64 bits: s = 31, and a e < 2^15 d <= 2^31.
struct QuantStep {
    std::uint32_t reciprocal = 1;
    std::uint32_t shift = 0;
    std::uint32_t wideReciprocal = 1;
};

constexpr QuantStep MakeQuantStep(std::uint16_t divisor) {
    const std::uint32_t d = divisor ? divisor : 1;
    std::uint32_t shift = 15;
    while ((std::uint32_t{1} << (shift - 15)) < d) ++shift;
    return {static_cast<std::uint32_t>(((std::uint64_t{1} << shift) + d - 1) / d), shift,
            static_cast<std::uint32_t>(((std::uint64_t{1} << 31) + d - 1) / d)};
}

constexpr std::uint32_t DivideByStep(std::uint32_t a, QuantStep step) { return (a * step.reciprocal) >> step.shift; }
constexpr std::uint32_t DivideWideByStep(std::uint32_t a, QuantStep step) {
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(a) * step.wideReciprocal) >> 31);
}

// One quantization table in the form the vector loop reads, natural order.
struct QuantTable {
    alignas(32) std::array<std::uint32_t, 64> half{};  // d / 2: rounds half away from zero
    alignas(32) std::array<std::uint32_t, 64> reciprocal{};
    alignas(32) std::array<std::uint32_t, 64> shift{};
    alignas(32) std::array<std::uint32_t, 64> wideReciprocal{};
};

void PrepareQuantTable(QuantTable& table, const std::array<std::uint16_t, 64>& divisors);

// A quantized block: coefficients in natural order, each also as the entropy coder writes it, and the
// zigzag positions of the non-zero ones. Left unset until written: the encoder keeps a few per MCU on
// the stack.
struct CoefBlock {
    alignas(32) std::array<std::int32_t, 64> coef;
    // Size category s (bits of |v|) << 16 | the s low bits of v, or of v - 1 when v is negative.
    alignas(32) std::array<std::uint32_t, 64> sizedBits;
    std::uint64_t nonZero;  // bit k: the coefficient at zigzag position k is not 0
};

inline constexpr int kMaxMcuBlocks = 6;

// Converts, transforms and quantizes one MCU. rows: the MCU's pixel rows (blue, green, red), top first,
// as many as the MCU is tall and each as wide; sampling 0..3 = H1V1, H2V1, H1V2, H2V2. Blocks come out in
// stream order: frame streams Cb, Cr, then the luminance blocks; JFIF files the luminance blocks, then
// Cb, Cr. Luminance blocks run left to right, then top to bottom. Chroma takes the top-left pixel of
// each subsampling group, without averaging.
void TransformMcu(const std::uint8_t* const* rows, int sampling, bool jfif, const QuantTable& lum,
                  const QuantTable& chrom, CoefBlock* blocks);

// The builds of TransformMcu this processor can run: "plain" always; on x86-64 "sse4.2" and "avx2" where
// the processor has them. TransformMcu uses the last; all give the same blocks.
using TransformMcuFunction = void (*)(const std::uint8_t* const* rows, int sampling, bool jfif,
                                      const QuantTable& lum, const QuantTable& chrom, CoefBlock* blocks);
struct TransformMcuBuild {
    const char* name;
    TransformMcuFunction function;
};
std::vector<TransformMcuBuild> TransformMcuBuilds();

}  // namespace fotolume::codec
