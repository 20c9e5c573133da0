// Inverse DCT of the decoder: the AAN factorisation of IJG's floating-point inverse DCT in integers with
// 6 fraction bits. Frames show what this produces, so its roundings are kept exactly.
#include <algorithm>

#include "jpg_encode.h"

namespace fotolume::codec {

namespace {

// (x K + 32) >> 6 with a flooring shift; the product is formed in 64 bits so that no input overflows.
template <int K>
inline std::int32_t Mul(std::int32_t x) {
    return static_cast<std::int32_t>((static_cast<std::int64_t>(x) * K + 32) >> 6);
}

// Dequantization truncates toward zero.
inline std::int32_t Dequantize(std::int16_t c, std::uint16_t q) { return (c * static_cast<std::int32_t>(q) + 32) / 64; }

struct Eight {
    std::int32_t v[8];
};

// The shared butterflies: in[0..7] to out[0..7] in natural order.
inline Eight Butterflies(const std::int32_t* in) {
    // Even part.
    const std::int32_t tmp10 = in[0] + in[4];
    const std::int32_t tmp11 = in[0] - in[4];
    const std::int32_t tmp13 = in[2] + in[6];
    const std::int32_t tmp12 = Mul<91>(in[2] - in[6]) - tmp13;
    const std::int32_t tmp0 = tmp10 + tmp13;
    const std::int32_t tmp3 = tmp10 - tmp13;
    const std::int32_t tmp1 = tmp11 + tmp12;
    const std::int32_t tmp2 = tmp11 - tmp12;

    // Odd part.
    const std::int32_t z13 = in[5] + in[3];
    const std::int32_t z10 = in[5] - in[3];
    const std::int32_t z11 = in[1] + in[7];
    const std::int32_t z12 = in[1] - in[7];
    const std::int32_t tmp7 = z11 + z13;
    const std::int32_t otmp11 = Mul<91>(z11 - z13);
    const std::int32_t z5 = Mul<118>(z10 + z12);
    const std::int32_t otmp10 = Mul<69>(z12) - z5;
    const std::int32_t otmp12 = z5 - Mul<167>(z10);
    const std::int32_t tmp6 = otmp12 - tmp7;
    const std::int32_t tmp5 = otmp11 - tmp6;
    const std::int32_t tmp4 = otmp10 + tmp5;

    return Eight{{tmp0 + tmp7, tmp1 + tmp6, tmp2 + tmp5, tmp3 - tmp4, tmp3 + tmp4, tmp2 - tmp5, tmp1 - tmp6,
                  tmp0 - tmp7}};
}

}  // namespace

void tinyjpeg_idct_int(const std::int16_t* coef, const std::uint16_t* table, std::uint8_t* out, int stride) {
    std::int16_t workspace[64];

    // Columns; a column without AC terms is flat.
    for (int col = 0; col < 8; ++col) {
        const std::int16_t* c = coef + col;
        const std::uint16_t* q = table + col;
        if ((c[8] | c[16] | c[24] | c[32] | c[40] | c[48] | c[56]) == 0) {
            const auto dc = static_cast<std::int16_t>(Dequantize(c[0], q[0]));
            for (int row = 0; row < 8; ++row) workspace[row * 8 + col] = dc;
            continue;
        }
        std::int32_t in[8];
        for (int row = 0; row < 8; ++row) in[row] = Dequantize(c[row * 8], q[row * 8]);
        const Eight o = Butterflies(in);
        // The workspace holds 16-bit values, as the frames' decoder does.
        for (int row = 0; row < 8; ++row) workspace[row * 8 + col] = static_cast<std::int16_t>(o.v[row]);
    }

    // Rows, descaled by 8 and shifted to 0..255. A row without AC terms gives its DC term throughout,
    // exactly as the butterflies would.
    for (int row = 0; row < 8; ++row) {
        const std::int16_t* w = workspace + row * 8;
        std::uint8_t* flat = out + row * stride;
        if ((w[1] | w[2] | w[3] | w[4] | w[5] | w[6] | w[7]) == 0) {
            const auto v = static_cast<std::uint8_t>(std::clamp(((w[0] + 4) >> 3) + 128, 0, 255));
            for (int i = 0; i < 8; ++i) flat[i] = v;
            continue;
        }
        std::int32_t in[8];
        for (int i = 0; i < 8; ++i) in[i] = w[i];
        const Eight o = Butterflies(in);
        std::uint8_t* dst = out + row * stride;
        for (int i = 0; i < 8; ++i) dst[i] = static_cast<std::uint8_t>(std::clamp(((o.v[i] + 4) >> 3) + 128, 0, 255));
    }
}

}  // namespace fotolume::codec
