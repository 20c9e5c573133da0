// The arithmetic of one MCU on its way to the entropy coder: colour conversion, forward DCT and
// quantization, written so that the compiler can vectorize it. Every step gives exactly the integers of
// the plain formulas (colour tables, divisions): frames decode exactly these values.
#pragma once

#include <array>
#include <cstdint>

namespace fotolume::codec {

// Quantization divides |c| + d / 2 by d; the forward DCT of 8-bit samples keeps that sum below this.
inline constexpr std::uint32_t kQuantInputLimit = 1u << 15;

// floor(a / d) as (a * reciprocal) >> shift in 32 bits, exact for every a below kQuantInputLimit. With
// shift = 15 + ceil(log2 d) and reciprocal = ceil(2^shift / d) = (2^shift + e) / d, e < d, the shifted
// product is a / d + a e / (d 2^shift), and a e < 2^shift: it exceeds a / d by less than 1 / d, while
// a / d lies at least 1 / d below the next integer. The product stays below 2^31 + 2^15.
struct QuantStep {
    std::uint32_t reciprocal = 1;
    std::uint32_t shift = 0;
};

constexpr QuantStep MakeQuantStep(std::uint16_t divisor) {
    const std::uint32_t d = divisor ? divisor : 1;
    std::uint32_t shift = 15;
    while ((std::uint32_t{1} << (shift - 15)) < d) ++shift;
    return {static_cast<std::uint32_t>(((std::uint64_t{1} << shift) + d - 1) / d), shift};
}

constexpr std::uint32_t DivideByStep(std::uint32_t a, QuantStep step) { return (a * step.reciprocal) >> step.shift; }

// One quantization table in the form the vector loop reads, natural order.
struct QuantTable {
    alignas(32) std::array<std::uint32_t, 64> half{};  // d / 2: rounds half away from zero
    alignas(32) std::array<std::uint32_t, 64> reciprocal{};
    alignas(32) std::array<std::uint32_t, 64> shift{};
};

void PrepareQuantTable(QuantTable& table, const std::array<std::uint16_t, 64>& divisors);

// A quantized block: coefficients in natural order and the zigzag positions of the non-zero ones.
struct CoefBlock {
    // Left unset until written: the encoder keeps a few per MCU on the stack.
    alignas(32) std::array<std::int32_t, 64> coef;
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

}  // namespace fotolume::codec
