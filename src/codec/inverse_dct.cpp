// Inverse DCT of the decoder: the AAN factorisation of IJG's floating-point inverse DCT in integers with
// 6 fraction bits. Frames show what this produces, so its roundings are kept exactly.
//
// Each pass runs its butterflies on eight lanes at once (columns, then rows), which the compiler turns
// into vector code; the results are those of the one-column-at-a-time formulation.
#include <algorithm>

#include "codec/inverse_dct.h"

namespace fotolume::codec {

namespace {

using Lanes = std::int32_t[8];

// Dequantized terms are limited to 20 bits. Streams from the encoder stay far below (about 2^14); the
// limit keeps every product of the butterflies inside 32 bits whatever a damaged stream holds.
constexpr std::int32_t kDequantLimit = (1 << 20) - 1;

// (x K + 32) >> 6 with a flooring shift.
template <int K>
inline void Mul(const Lanes x, Lanes out) {
    for (int i = 0; i < 8; ++i) out[i] = (x[i] * K + 32) >> 6;
}

// The butterflies over eight lanes: in[k] holds input k of every lane; out[k] output k.
inline void Butterflies(const Lanes* in, Lanes* out) {
    Lanes tmp10, tmp11, tmp13, tmp12, d, tmp0, tmp1, tmp2, tmp3;
    for (int i = 0; i < 8; ++i) {
        tmp10[i] = in[0][i] + in[4][i];
        tmp11[i] = in[0][i] - in[4][i];
        tmp13[i] = in[2][i] + in[6][i];
        d[i] = in[2][i] - in[6][i];
    }
    Mul<91>(d, tmp12);
    for (int i = 0; i < 8; ++i) {
        tmp12[i] -= tmp13[i];
        tmp0[i] = tmp10[i] + tmp13[i];
        tmp3[i] = tmp10[i] - tmp13[i];
        tmp1[i] = tmp11[i] + tmp12[i];
        tmp2[i] = tmp11[i] - tmp12[i];
    }

    Lanes z10, z12, z11m13, z10p12, tmp7, otmp11, z5, m69, m167;
    for (int i = 0; i < 8; ++i) {
        const std::int32_t z13 = in[5][i] + in[3][i];
        z10[i] = in[5][i] - in[3][i];
        const std::int32_t z11 = in[1][i] + in[7][i];
        z12[i] = in[1][i] - in[7][i];
        tmp7[i] = z11 + z13;
        z11m13[i] = z11 - z13;
        z10p12[i] = z10[i] + z12[i];
    }
    Mul<91>(z11m13, otmp11);
    Mul<118>(z10p12, z5);
    Mul<69>(z12, m69);
    Mul<167>(z10, m167);
    for (int i = 0; i < 8; ++i) {
        const std::int32_t otmp10 = m69[i] - z5[i];
        const std::int32_t otmp12 = z5[i] - m167[i];
        const std::int32_t tmp6 = otmp12 - tmp7[i];
        const std::int32_t tmp5 = otmp11[i] - tmp6;
        const std::int32_t tmp4 = otmp10 + tmp5;
        out[0][i] = tmp0[i] + tmp7[i];
        out[7][i] = tmp0[i] - tmp7[i];
        out[1][i] = tmp1[i] + tmp6;
        out[6][i] = tmp1[i] - tmp6;
        out[2][i] = tmp2[i] + tmp5;
        out[5][i] = tmp2[i] - tmp5;
        out[4][i] = tmp3[i] + tmp4;
        out[3][i] = tmp3[i] - tmp4;
    }
}

// Built for AVX2 and for the baseline where the loader can pick one for this machine (x86-64 Linux);
// elsewhere for the baseline alone. Integer code: both give the same bytes.
#if defined(__x86_64__) && defined(__linux__) && (defined(__GNUC__) || defined(__clang__))
__attribute__((target_clones("avx2", "default")))
#endif
void IdctLanes(const std::int16_t* coef, const std::uint16_t* table, std::uint8_t* out, int stride) {
    // Columns: lane = column. Dequantization truncates toward zero: (c q + 32) / 64.
    Lanes in[8], res[8];
    for (int row = 0; row < 8; ++row) {
        for (int col = 0; col < 8; ++col) {
            const std::int32_t v = coef[row * 8 + col] * static_cast<std::int32_t>(table[row * 8 + col]) + 32;
            in[row][col] = std::clamp(v / 64, -kDequantLimit, kDequantLimit);
        }
    }
    Butterflies(in, res);

    // The workspace holds 16-bit values, as the frames' decoder does; transposed so that lane = row.
    for (int k = 0; k < 8; ++k)
        for (int col = 0; col < 8; ++col) in[col][k] = static_cast<std::int16_t>(res[k][col]);
    Butterflies(in, res);

    // Descaled by 8 and shifted to 0..255; res[k][row] is output column k of that row.
    std::uint8_t samples[8][8];
    for (int k = 0; k < 8; ++k)
        for (int row = 0; row < 8; ++row)
            samples[k][row] = static_cast<std::uint8_t>(std::clamp(((res[k][row] + 4) >> 3) + 128, 0, 255));
    for (int row = 0; row < 8; ++row)
        for (int k = 0; k < 8; ++k) out[row * stride + k] = samples[k][row];
}

}  // namespace

void tinyjpeg_idct_int(const std::int16_t* coef, const std::uint16_t* table, std::uint8_t* out, int stride) {
    IdctLanes(coef, table, out, stride);
}

// With terms in the first row only, every column is flat: all workspace rows equal the dequantized first
// row, and so do all output rows.
void tinyjpeg_idct_row0(const std::int16_t* coef, const std::uint16_t* table, std::uint8_t* out, int stride) {
    std::int32_t in[8];
    for (int k = 0; k < 8; ++k) {
        const std::int32_t v = std::clamp((coef[k] * static_cast<std::int32_t>(table[k]) + 32) / 64, -kDequantLimit, kDequantLimit);
        in[k] = static_cast<std::int16_t>(v);
    }
    Lanes lanes[8], res[8];
    for (int k = 0; k < 8; ++k) {
        for (int i = 0; i < 8; ++i) lanes[k][i] = 0;
        lanes[k][0] = in[k];
    }
    Butterflies(lanes, res);
    std::uint8_t row[8];
    for (int k = 0; k < 8; ++k) row[k] = static_cast<std::uint8_t>(std::clamp(((res[k][0] + 4) >> 3) + 128, 0, 255));
    for (int r = 0; r < 8; ++r)
        for (int k = 0; k < 8; ++k) out[r * stride + k] = row[k];
}

// Without AC terms every butterfly passes the DC term through unchanged.
void tinyjpeg_idct_dc(std::int16_t dc, std::uint16_t q, std::uint8_t* out, int stride) {
    const std::int32_t v = std::clamp((dc * static_cast<std::int32_t>(q) + 32) / 64, -kDequantLimit, kDequantLimit);
    const std::int32_t w = static_cast<std::int16_t>(v);
    const auto sample = static_cast<std::uint8_t>(std::clamp(((w + 4) >> 3) + 128, 0, 255));
    for (int row = 0; row < 8; ++row)
        for (int k = 0; k < 8; ++k) out[row * stride + k] = sample;
}

}  // namespace fotolume::codec
