// Colour conversion, forward DCT and quantization of one MCU, written as fixed-length loops that the
// compiler turns into vector code. Everything inlines into one function per instruction set; the
// program picks the best one its processor runs, once.
#include "codec/encoder_transform.h"

#include <bit>
#include <cstring>

#include "codec/codec_tables.h"

// Everything below is compiled into each build of TransformMcu, for that build's instruction set.
#if defined(__GNUC__) || defined(__clang__)
#define FOTOLUME_INLINE inline __attribute__((always_inline))
#else
#define FOTOLUME_INLINE inline
#endif

// x86-64 programs carry SSE4.2 and AVX2 builds too, chosen when the processor has them.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define FOTOLUME_X86_BUILDS 1
#endif

namespace fotolume::codec {

namespace {

using Samples = std::int32_t[64];

// What each build's instruction set does well. ByteShuffles: vector code can pick the blue, green and
// red bytes out of packed pixels, so colour conversion runs on 16-bit lanes; without, pixels are read
// one at a time and one 32-bit sum per sample is cheaper. LaneShifts: each vector lane shifts by its
// own count.
struct PlainTraits {
    static constexpr bool kByteShuffles = false;
    static constexpr bool kLaneShifts = false;
};
#ifdef FOTOLUME_X86_BUILDS
struct Sse42Traits {
    static constexpr bool kByteShuffles = true;
    static constexpr bool kLaneShifts = false;
};
struct Avx2Traits {
    static constexpr bool kByteShuffles = true;
    static constexpr bool kLaneShifts = true;
};
#endif

// The fixed-point sums that SampleY, SampleCb and SampleCr split into 16-bit parts.
FOTOLUME_INLINE std::int32_t SumY(std::int32_t b, std::int32_t g, std::int32_t r) {
    return (19595 * r + 38470 * g + 7471 * b + 32768 - (128 << 16)) >> 16;
}
FOTOLUME_INLINE std::int32_t SumCb(std::int32_t b, std::int32_t g, std::int32_t r) {
    return (-11059 * r - 21709 * g + 32768 * b + 8421375 - (128 << 16)) >> 16;
}
FOTOLUME_INLINE std::int32_t SumCr(std::int32_t b, std::int32_t g, std::int32_t r) {
    return (32768 * r - 27439 * g - 5329 * b + 8421375 - (128 << 16)) >> 16;
}

template <class Traits>
FOTOLUME_INLINE std::int32_t Y(const std::uint8_t* p) {
    return Traits::kByteShuffles ? SampleY(p[0], p[1], p[2]) : SumY(p[0], p[1], p[2]);
}
template <class Traits>
FOTOLUME_INLINE std::int32_t Cb(const std::uint8_t* p) {
    return Traits::kByteShuffles ? SampleCb(p[0], p[1], p[2]) : SumCb(p[0], p[1], p[2]);
}
template <class Traits>
FOTOLUME_INLINE std::int32_t Cr(const std::uint8_t* p) {
    return Traits::kByteShuffles ? SampleCr(p[0], p[1], p[2]) : SumCr(p[0], p[1], p[2]);
}

// The MCU's samples: luma row by row, kWidth wide; Cb and Cr as 8 x 8 blocks. The pixels are first
// copied into one contiguous tile so that each conversion is one long loop.
template <bool Wide, bool Tall, class Traits>
FOTOLUME_INLINE void ConvertMcu(const std::uint8_t* const* rows, std::int32_t* __restrict luma,
                                std::int32_t* __restrict cb, std::int32_t* __restrict cr) {
    constexpr int kHeight = Tall ? 16 : 8;
    constexpr int kWidth = Wide ? 16 : 8;
    constexpr int kRowBytes = kWidth * 3;
    alignas(32) std::uint8_t tile[kHeight * kRowBytes];
    alignas(32) std::uint8_t evenRows[Tall ? 8 * kRowBytes : 1];
    for (int r = 0; r < kHeight; ++r) std::memcpy(tile + r * kRowBytes, rows[r], kRowBytes);
    if constexpr (Tall)
        for (int r = 0; r < 8; ++r) std::memcpy(evenRows + r * kRowBytes, rows[2 * r], kRowBytes);

    for (int i = 0; i < kHeight * kWidth; ++i) luma[i] = Y<Traits>(tile + 3 * i);

    const std::uint8_t* source = Tall ? evenRows : tile;
    if constexpr (!Traits::kByteShuffles || !Wide) {
        // One pixel of each subsampling group.
        constexpr int kStep = Wide ? 2 : 1;
        for (int i = 0; i < 64; ++i) {
            cb[i] = Cb<Traits>(source + 3 * kStep * i);
            cr[i] = Cr<Traits>(source + 3 * kStep * i);
        }
    } else {
        // Vector code cannot skip every other packed pixel: chroma of every pixel of the rows that
        // carry it, then the even columns.
        alignas(32) std::int32_t fullCb[128], fullCr[128];
        for (int i = 0; i < 128; ++i) {
            fullCb[i] = Cb<Traits>(source + 3 * i);
            fullCr[i] = Cr<Traits>(source + 3 * i);
        }
        for (int i = 0; i < 64; ++i) {
            cb[i] = fullCb[2 * i];
            cr[i] = fullCr[2 * i];
        }
    }
}

// Products drop their fraction without rounding; the frame streams depend on exactly these values.
FOTOLUME_INLINE std::int32_t M98(std::int32_t x) { return (x * 98) >> 8; }
FOTOLUME_INLINE std::int32_t M139(std::int32_t x) { return (x * 139) >> 8; }
FOTOLUME_INLINE std::int32_t M181(std::int32_t x) { return (x * 181) >> 8; }
FOTOLUME_INLINE std::int32_t M334(std::int32_t x) { return (x * 334) >> 8; }

// One 1-D pass of the AAN factorisation of IJG's fast integer DCT, 8 fraction bits, over 8 transforms
// at once: transform i reads the 8 values at in + InLane i and writes them at out + Lane i, Step apart.
// Along rows (Step 1) the compiler transposes with vector shuffles; down columns (Step 8) each of the
// 8 values is one vector.
template <int Step, int Lane, int InLane = Lane>
FOTOLUME_INLINE void DctPass(const std::int32_t* __restrict in, std::int32_t* __restrict out) {
    for (int i = 0; i < 8; ++i) {
        const std::int32_t* s = in + InLane * i;
        std::int32_t* p = out + Lane * i;
        const std::int32_t d0 = s[0], d1 = s[Step], d2 = s[2 * Step], d3 = s[3 * Step];
        const std::int32_t d4 = s[4 * Step], d5 = s[5 * Step], d6 = s[6 * Step], d7 = s[7 * Step];
        const std::int32_t tmp0 = d0 + d7, tmp7 = d0 - d7;
        const std::int32_t tmp1 = d1 + d6, tmp6 = d1 - d6;
        const std::int32_t tmp2 = d2 + d5, tmp5 = d2 - d5;
        const std::int32_t tmp3 = d3 + d4, tmp4 = d3 - d4;

        // Even part.
        const std::int32_t tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3;
        const std::int32_t tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
        p[0] = tmp10 + tmp11;
        p[4 * Step] = tmp10 - tmp11;
        const std::int32_t z1 = M181(tmp12 + tmp13);
        p[2 * Step] = tmp13 + z1;
        p[6 * Step] = tmp13 - z1;

        // Odd part.
        const std::int32_t odd10 = tmp4 + tmp5, odd11 = tmp5 + tmp6, odd12 = tmp6 + tmp7;
        const std::int32_t z5 = M98(odd10 - odd12);
        const std::int32_t z2 = M139(odd10) + z5;
        const std::int32_t z4 = M334(odd12) + z5;
        const std::int32_t z3 = M181(odd11);
        const std::int32_t z11 = tmp7 + z3, z13 = tmp7 - z3;
        p[5 * Step] = z13 + z2;
        p[3 * Step] = z13 - z2;
        p[Step] = z11 + z4;
        p[7 * Step] = z11 - z4;
    }
}

// Rows first, then columns, as the frame streams were made. in: rows InStride values apart.
template <int InStride>
FOTOLUME_INLINE void ForwardDct(const std::int32_t* in, Samples& out) {
    Samples rowsDone;
    DctPass<1, 8, InStride>(in, rowsDone);
    DctPass<8, 1>(rowsDone, out);
}

// Zigzag bits of each row's non-zero pattern: kZigzagBits[row][pattern] has bit k set where the
// pattern's columns fall at zigzag position k.
struct ZigzagBits {
    std::uint64_t bits[8][256];
};
constexpr ZigzagBits MakeZigzagBits() {
    ZigzagBits z{};
    for (int k = 0; k < 64; ++k) {
        const int n = jpeg_natural_order[k];
        const int column = std::endian::native == std::endian::little ? n & 7 : 7 - (n & 7);
        for (int pattern = 0; pattern < 256; ++pattern)
            if (pattern & (1 << column)) z.bits[n >> 3][pattern] |= std::uint64_t{1} << k;
    }
    return z;
}
constexpr ZigzagBits kZigzagBits = MakeZigzagBits();

// Rounds half away from zero: (|c| + d / 2) / d with the sign of c. Also prepares what the entropy
// coder writes of each coefficient and where the non-zero ones lie.
template <bool LaneShifts>
FOTOLUME_INLINE void Quantize(const Samples& dct, const QuantTable& table, CoefBlock& out) {
    const std::int32_t* __restrict in = dct;
    const std::uint32_t* __restrict half = table.half.data();
    const std::uint32_t* __restrict reciprocal = table.reciprocal.data();
    const std::uint32_t* __restrict shift = table.shift.data();
    const std::uint32_t* __restrict wideReciprocal = table.wideReciprocal.data();
    std::int32_t* __restrict coef = out.coef.data();
    std::uint32_t* __restrict sized = out.sizedBits.data();
    std::uint8_t nonZero[64];
    for (int n = 0; n < 64; ++n) {
        const std::int32_t c = in[n];
        const std::uint32_t a = static_cast<std::uint32_t>(c < 0 ? -c : c) + half[n];
        const std::uint32_t v =
            LaneShifts ? (a * reciprocal[n]) >> shift[n]
                       : static_cast<std::uint32_t>((static_cast<std::uint64_t>(a) * wideReciprocal[n]) >> 31);
        coef[n] = c < 0 ? -static_cast<std::int32_t>(v) : static_cast<std::int32_t>(v);
        nonZero[n] = v != 0;
        // Bits of v from the exponent of v as a float (exact below 2^24): 0 gives -126, 1 gives 1.
        const auto asFloat = static_cast<float>(static_cast<std::int32_t>(v));
        const std::int32_t exponent = static_cast<std::int32_t>(std::bit_cast<std::uint32_t>(asFloat) >> 23) - 126;
        const std::uint32_t size = exponent < 0 ? 0 : static_cast<std::uint32_t>(exponent);
        std::uint32_t low = v;  // all ones from v's top bit down
        if (LaneShifts) {
            low = (1u << size) - 1u;
        } else {
            low |= low >> 1;
            low |= low >> 2;
            low |= low >> 4;
            low |= low >> 8;
        }
        sized[n] = (size << 16) | ((c < 0 ? ~v : v) & low);
    }
    std::uint64_t mask = 0;
    for (int row = 0; row < 8; ++row) {
        std::uint64_t flags;  // one byte of 0 or 1 per column
        std::memcpy(&flags, nonZero + 8 * row, 8);
        // Gathers the low bit of each byte into the top byte: on a little-endian machine column c at
        // bit 56 + c, on a big-endian one at bit 63 - c.
        const auto pattern = static_cast<std::uint8_t>((flags * 0x0102040810204080ull) >> 56);
        mask |= kZigzagBits.bits[row][pattern];
    }
    out.nonZero = mask;
}

template <bool Wide, bool Tall, class Traits>
FOTOLUME_INLINE void TransformMcuOf(const std::uint8_t* const* rows, bool jfif, const QuantTable& lum,
                                    const QuantTable& chrom, CoefBlock* blocks) {
    constexpr int kAcross = Wide ? 2 : 1;
    constexpr int kLumBlocks = (Wide ? 2 : 1) * (Tall ? 2 : 1);
    alignas(32) std::int32_t luma[kLumBlocks * 64];
    Samples cb, cr;
    ConvertMcu<Wide, Tall, Traits>(rows, luma, cb, cr);
    constexpr bool kLaneShifts = Traits::kLaneShifts;
    CoefBlock* yOut = jfif ? blocks : blocks + 2;
    CoefBlock* chromaOut = jfif ? blocks + kLumBlocks : blocks;
    Samples dct;
    for (int b = 0; b < kLumBlocks; ++b) {
        ForwardDct<8 * kAcross>(luma + (b / kAcross) * 64 * kAcross + (b % kAcross) * 8, dct);
        Quantize<kLaneShifts>(dct, lum, yOut[b]);
    }
    ForwardDct<8>(cb, dct);
    Quantize<kLaneShifts>(dct, chrom, chromaOut[0]);
    ForwardDct<8>(cr, dct);
    Quantize<kLaneShifts>(dct, chrom, chromaOut[1]);
}

}  // namespace

void PrepareQuantTable(QuantTable& table, const std::array<std::uint16_t, 64>& divisors) {
    for (int k = 0; k < 64; ++k) {
        const std::uint16_t d = divisors[k] ? divisors[k] : 1;
        const QuantStep step = MakeQuantStep(d);
        table.half[k] = d >> 1;
        table.reciprocal[k] = step.reciprocal;
        table.shift[k] = step.shift;
        table.wideReciprocal[k] = step.wideReciprocal;
    }
}

namespace {

template <class Traits>
FOTOLUME_INLINE void TransformAnyMcu(const std::uint8_t* const* rows, int sampling, bool jfif,
                                     const QuantTable& lum, const QuantTable& chrom, CoefBlock* blocks) {
    switch (sampling & 3) {
        case 0: TransformMcuOf<false, false, Traits>(rows, jfif, lum, chrom, blocks); break;
        case 1: TransformMcuOf<true, false, Traits>(rows, jfif, lum, chrom, blocks); break;
        case 2: TransformMcuOf<false, true, Traits>(rows, jfif, lum, chrom, blocks); break;
        default: TransformMcuOf<true, true, Traits>(rows, jfif, lum, chrom, blocks); break;
    }
}

void TransformMcuPlain(const std::uint8_t* const* rows, int sampling, bool jfif, const QuantTable& lum,
                       const QuantTable& chrom, CoefBlock* blocks) {
    TransformAnyMcu<PlainTraits>(rows, sampling, jfif, lum, chrom, blocks);
}

#ifdef FOTOLUME_X86_BUILDS
__attribute__((target("sse4.2"))) void TransformMcuSse42(const std::uint8_t* const* rows, int sampling,
                                                         bool jfif, const QuantTable& lum,
                                                         const QuantTable& chrom, CoefBlock* blocks) {
    TransformAnyMcu<Sse42Traits>(rows, sampling, jfif, lum, chrom, blocks);
}

__attribute__((target("avx2"))) void TransformMcuAvx2(const std::uint8_t* const* rows, int sampling, bool jfif,
                                                      const QuantTable& lum, const QuantTable& chrom,
                                                      CoefBlock* blocks) {
    TransformAnyMcu<Avx2Traits>(rows, sampling, jfif, lum, chrom, blocks);
}
#endif

}  // namespace

std::vector<TransformMcuBuild> TransformMcuBuilds() {
    std::vector<TransformMcuBuild> builds{{"plain", TransformMcuPlain}};
#ifdef FOTOLUME_X86_BUILDS
    __builtin_cpu_init();  // also safe before static constructors have run
    if (__builtin_cpu_supports("sse4.2")) builds.push_back({"sse4.2", TransformMcuSse42});
    if (__builtin_cpu_supports("avx2")) builds.push_back({"avx2", TransformMcuAvx2});
#endif
    return builds;
}

void TransformMcu(const std::uint8_t* const* rows, int sampling, bool jfif, const QuantTable& lum,
                  const QuantTable& chrom, CoefBlock* blocks) {
    static const TransformMcuFunction best = TransformMcuBuilds().back().function;
    best(rows, sampling, jfif, lum, chrom, blocks);
}

}  // namespace fotolume::codec
