// Forward DCT: the AAN factorisation of IJG's fast integer DCT with 8 fraction bits, then quantization by
// divisors that also remove the AAN output scaling.
#include "codec_tables.h"
#include "quill_jpeg_encoder.h"

namespace fotolume::codec {

namespace {

// Products drop their fraction without rounding; the frame streams depend on exactly these values.
inline std::int32_t M98(std::int32_t x) { return (x * 98) >> 8; }
inline std::int32_t M139(std::int32_t x) { return (x * 139) >> 8; }
inline std::int32_t M181(std::int32_t x) { return (x * 181) >> 8; }
inline std::int32_t M334(std::int32_t x) { return (x * 334) >> 8; }

// One 1-D pass over 8 values spaced `step` apart.
inline void Pass(std::int32_t* p, int step) {
    const std::int32_t d0 = p[0], d1 = p[step], d2 = p[2 * step], d3 = p[3 * step];
    const std::int32_t d4 = p[4 * step], d5 = p[5 * step], d6 = p[6 * step], d7 = p[7 * step];
    const std::int32_t tmp0 = d0 + d7, tmp7 = d0 - d7;
    const std::int32_t tmp1 = d1 + d6, tmp6 = d1 - d6;
    const std::int32_t tmp2 = d2 + d5, tmp5 = d2 - d5;
    const std::int32_t tmp3 = d3 + d4, tmp4 = d3 - d4;

    // Even part.
    std::int32_t tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3;
    std::int32_t tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
    p[0] = tmp10 + tmp11;
    p[4 * step] = tmp10 - tmp11;
    const std::int32_t z1 = M181(tmp12 + tmp13);
    p[2 * step] = tmp13 + z1;
    p[6 * step] = tmp13 - z1;

    // Odd part.
    tmp10 = tmp4 + tmp5;
    tmp11 = tmp5 + tmp6;
    tmp12 = tmp6 + tmp7;
    const std::int32_t z5 = M98(tmp10 - tmp12);
    const std::int32_t z2 = M139(tmp10) + z5;
    const std::int32_t z4 = M334(tmp12) + z5;
    const std::int32_t z3 = M181(tmp11);
    const std::int32_t z11 = tmp7 + z3, z13 = tmp7 - z3;
    p[5 * step] = z13 + z2;
    p[3 * step] = z13 - z2;
    p[1 * step] = z11 + z4;
    p[7 * step] = z11 - z4;
}

}  // namespace

void CQuillJpegEncoder::ForwardDct(std::int32_t* data) {
    for (int row = 0; row < 8; ++row) Pass(data + 8 * row, 1);
    for (int col = 0; col < 8; ++col) Pass(data + col, 8);
}

// Rounds half away from zero: (|c| + d/2) / d with the sign of c. The division is a multiplication by
// m = ceil(2^31 / d): with m d = 2^31 + e (e < d), (n m) >> 31 is the exact quotient whenever n e < 2^31,
// which holds for every n below 2^15. Here n stays below 15000: 8-bit samples give at most 12871 out of
// the forward DCT (and no more than about 22000 by a triangle bound), and d / 2 is at most 1962.
namespace {
// Built for AVX2 and for the baseline; the same integers either way.
__attribute__((target_clones("avx2", "default")))
void QuantizeLanes(const std::int32_t* data, const std::uint32_t* half, const std::uint32_t* reciprocal,
                   std::int32_t* q) {
    for (int n = 0; n < 64; ++n) {
        const std::int32_t c = data[n];
        const auto a = static_cast<std::uint32_t>(c < 0 ? -c : c) + half[n];
        const auto v = static_cast<std::int32_t>((static_cast<std::uint64_t>(a) * reciprocal[n]) >> 31);
        q[n] = c < 0 ? -v : v;
    }
}
}  // namespace

std::uint64_t CQuillJpegEncoder::Quantize(const std::int32_t* data, const Divisors& divisors, std::int32_t* zigzag) {
    std::int32_t q[64];
    QuantizeLanes(data, divisors.half.data(), divisors.reciprocal.data(), q);
    std::uint64_t nonZero = 0;
    for (int k = 0; k < 64; ++k) {
        const std::int32_t v = q[jpeg_natural_order[k]];
        zigzag[k] = v;
        nonZero |= static_cast<std::uint64_t>(v != 0) << k;
    }
    return nonZero;
}

}  // namespace fotolume::codec
