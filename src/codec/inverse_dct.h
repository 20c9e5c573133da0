// The decoder's inverse DCT (inverse_dct.cpp): dequantized coefficient blocks into 8 x 8 samples.
#pragma once

#include <cstdint>

namespace fotolume::codec {

// The 6-bit fixed-point AAN inverse DCT: coefficients in natural order, dequantized with table, into
// 8 rows of 8 samples spaced stride bytes apart.
void tinyjpeg_idct_int(const std::int16_t* coef, const std::uint16_t* table, std::uint8_t* out, int stride);
// The same for a block whose AC terms are all 0: one flat value.
void tinyjpeg_idct_dc(std::int16_t dc, std::uint16_t q, std::uint8_t* out, int stride);
// The same for a block whose terms all lie in its first row: eight equal rows.
void tinyjpeg_idct_row0(const std::int16_t* coef, const std::uint16_t* table, std::uint8_t* out, int stride);

}  // namespace fotolume::codec
