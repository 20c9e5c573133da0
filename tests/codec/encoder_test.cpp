// Frame picture stream encoder: layout, tile edges, quality scaling, modes and output bounds.
#include <gtest/gtest.h>

#include <algorithm>

#include "codec/codec_tables.h"
#include "codec/stream_encoder.h"
#include "tests/codec/codec_test_util.h"

namespace fotolume::codec::test {
namespace {

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& v, std::size_t from, std::size_t to) {
    return {v.begin() + static_cast<std::ptrdiff_t>(from), v.begin() + static_cast<std::ptrdiff_t>(to)};
}

int Le16(const std::vector<std::uint8_t>& v, std::size_t at) { return v[at] | (v[at + 1] << 8); }
int SignedLe16(const std::vector<std::uint8_t>& v, std::size_t at) { return static_cast<std::int16_t>(Le16(v, at)); }

TEST(FrameStreamLayout, HeaderTablesAndOffsetsOf128x128Mode3) {
    // A flat grey of 100 codes every luminance DC as -75 at quality 90 and every chroma DC as 0.
    const auto s = Encode(FlatPicture(128, 128, 100, 100, 100), 90, 3);
    const std::vector<std::uint8_t> header = {0x00, 0x80, 0x00, 0x80, 0x03, 0x00, 0x01, 0x01,
                                              0x00, 0x01, 0x01, 0x00, 0x01, 0x01, 0x00, 0x00};
    EXPECT_EQ(Slice(s, 0, 16), header);
    EXPECT_EQ(Slice(s, 16, 24), (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0x26, 0x04}));
    EXPECT_EQ(Slice(s, 528, 531), (std::vector<std::uint8_t>{0x00, 0x84, 0x00}));
    EXPECT_EQ(s[528 + 67], 0x01);  // chrominance table number
    EXPECT_EQ(Slice(s, 660, 663), (std::vector<std::uint8_t>{0x01, 0xA2, 0x00}));
    EXPECT_EQ(s[660 + 2 + 29], 0x10);   // luminance AC follows 16 counts and 12 symbols
    EXPECT_EQ(s[660 + 2 + 58 + 179], 0x11);

    // Later entries carry the predictors left by the MCU before, and point at byte-aligned MCUs.
    std::size_t previousStart = 1078;
    for (int n = 1; n < 64; ++n) {
        const std::size_t entry = 16 + 8 * static_cast<std::size_t>(n);
        EXPECT_EQ(SignedLe16(s, entry), -75) << n;
        EXPECT_EQ(SignedLe16(s, entry + 2), 0) << n;
        EXPECT_EQ(SignedLe16(s, entry + 4), 0) << n;
        const std::size_t start = entry + static_cast<std::size_t>(Le16(s, entry + 6));
        EXPECT_GT(start, previousStart) << n;
        previousStart = start;
    }
    EXPECT_LT(previousStart, s.size());
}

TEST(FrameStreamLayout, OnePixelPictureFitsAndNeedsMoreThanNineBytesPerPixel) {
    // Header 16, one offset entry 8, tables 132 + 418; then 42 bits of MCU: Cb and Cr (2-bit DC, 2-bit
    // end of block), Y0 (5-bit size code, 7 bits of -75, 4-bit end of block), three flat Y blocks (6 bits).
    const auto s = Encode(FlatPicture(1, 1, 100, 100, 100), 90, 3);
    EXPECT_EQ(s.size(), 16u + 8 + 132 + 418 + 6);

    CQuillJpegEncoder encoder(90);
    const auto rows = ToBmpRows(FlatPicture(1, 1, 100, 100, 100));
    std::vector<std::uint8_t> out(9 + 64, 0xA5);
    std::size_t size = 123;
    EXPECT_FALSE(encoder.CompressImage(rows, std::span(out).first(9), 1, 1, size, 3));
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(std::all_of(out.begin() + 9, out.end(), [](std::uint8_t b) { return b == 0xA5; }));
    EXPECT_GE(CQuillJpegEncoder::MaxStreamSize(1, 1, 3, false), s.size());
}

TEST(FrameStreamLayout, NeverWritesPastTheOutputBuffer) {
    const Picture p = NoisePicture(64, 48, 7);
    const auto full = Encode(p, 95, 3);
    const auto rows = ToBmpRows(p);
    for (std::size_t capacity : {std::size_t{0}, std::size_t{15}, std::size_t{16}, std::size_t{200}, std::size_t{700},
                                 full.size() / 2, full.size() - 1}) {
        std::vector<std::uint8_t> out(capacity + 32, 0x5A);
        std::size_t size = 1;
        CQuillJpegEncoder encoder(95);
        EXPECT_FALSE(encoder.CompressImage(rows, std::span(out).first(capacity), p.w, p.h, size, 3)) << capacity;
        EXPECT_EQ(size, 0u);
        EXPECT_TRUE(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(capacity), out.end(),
                                [](std::uint8_t b) { return b == 0x5A; }))
            << capacity;
    }
    // The same object again, after a failure midway: predictors and pending bits start afresh.
    CQuillJpegEncoder encoder(95);
    std::vector<std::uint8_t> exact(full.size());
    std::size_t size = 0;
    EXPECT_FALSE(encoder.CompressImage(rows, std::span(exact).first(full.size() / 2), p.w, p.h, size, 3));
    ASSERT_TRUE(encoder.CompressImage(rows, exact, p.w, p.h, size, 3));
    EXPECT_EQ(exact, full);
}

TEST(FrameStreamLayout, RefusesArgumentsOutOfRangeWithoutWriting) {
    const auto rows = ToBmpRows(SmoothPicture(16, 16));
    std::vector<std::uint8_t> out(4096, 0x33);
    CQuillJpegEncoder encoder(90);
    std::size_t size = 9;
    EXPECT_FALSE(encoder.CompressImage(rows, out, 0, 16, size, 3));
    EXPECT_FALSE(encoder.CompressImage(rows, out, 16, 0, size, 3));
    EXPECT_FALSE(encoder.CompressImage(rows, out, 65536, 1, size, 3));
    EXPECT_FALSE(encoder.CompressImage(rows, out, 16, 16, size, 16));
    EXPECT_FALSE(encoder.CompressImage(rows, out, 16, 16, size, -1));
    EXPECT_FALSE(encoder.CompressImage(rows, out, 16, 17, size, 3));  // input holds 16 rows only
    EXPECT_FALSE(encoder.CompressImage({}, out, 16, 16, size, 3));
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::uint8_t b) { return b == 0x33; }));
}

// The last tile column of a 130-wide picture copies 2 pixels and repeats the second; rows past 250
// repeat row 249. Encoding the picture already widened that way must give the same MCUs.
TEST(FrameStreamTiles, RightAndBottomEdgesRepeatTheLastPixel) {
    const Picture narrow = SharpPicture(130, 250);
    for (int mode : {0, 1, 2, 3}) {
        const int w = (mode & 1) ? 144 : 136, h = 256;
        Picture wide = MakePicture(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) std::copy_n(narrow.At(std::min(x, 129), std::min(y, 249)), 3, wide.At(x, y));
        const auto a = Encode(narrow, 90, mode);
        const auto b = Encode(wide, 90, mode);
        ASSERT_EQ(a.size(), b.size()) << mode;
        EXPECT_EQ(Slice(a, 4, a.size()), Slice(b, 4, b.size())) << mode;
    }
    // H2V2: 9 MCU columns and 16 MCU rows, so the first MCU follows 144 offset entries and the tables.
    const auto s = Encode(narrow, 90, 3);
    EXPECT_EQ(Le16(s, 22), 9 * 16 * 8 + 550);
}

TEST(FrameStreamQuality, ScaleFactorsAndTables) {
    const CQuillJpegEncoder q90(90);
    EXPECT_EQ(q90.ScaleFactor(), 20);
    const std::vector<std::uint8_t> firstRow(q90.LuminanceTable().begin(), q90.LuminanceTable().begin() + 8);
    EXPECT_EQ(firstRow, (std::vector<std::uint8_t>{3, 2, 2, 3, 5, 8, 10, 12}));

    const CQuillJpegEncoder q0(0), q1(1), q100(100), q200(200), q50(50);
    EXPECT_EQ(q0.ScaleFactor(), 5000);
    EXPECT_TRUE(std::all_of(q0.LuminanceTable().begin(), q0.LuminanceTable().end(), [](int v) { return v == 255; }));
    EXPECT_TRUE(std::all_of(q0.ChrominanceTable().begin(), q0.ChrominanceTable().end(), [](int v) { return v == 255; }));
    EXPECT_EQ(q100.ScaleFactor(), 0);
    EXPECT_TRUE(std::all_of(q200.LuminanceTable().begin(), q200.LuminanceTable().end(), [](int v) { return v == 1; }));
    EXPECT_EQ(q50.LuminanceTable(), std_luminance_quant_tbl);
    EXPECT_EQ(q50.ChrominanceTable(), std_chrominance_quant_tbl);

    // Whole streams: quality 0 is quality 1, 200 is 100; the segment carries the table in zigzag order.
    const Picture p = SmoothPicture(40, 24);
    EXPECT_EQ(Encode(p, 0, 3), Encode(p, 1, 3));
    EXPECT_EQ(Encode(p, 200, 3), Encode(p, 100, 3));
    const auto s = Encode(p, 90, 3);
    const std::size_t quant = 16 + 8 * 6 + 3;
    EXPECT_EQ(s[quant], 3);
    EXPECT_EQ(s[quant + 1], 2);  // natural index 1
    EXPECT_EQ(s[quant + 2], 2);  // natural index 8: (12 x 20 + 50) / 100
    EXPECT_EQ(s[quant + 63], (99 * 20 + 50) / 100);
}

TEST(FrameStreamModes, TablesAndOffsetTableLeftOut) {
    const Picture p = SmoothPicture(48, 40);  // 3 x 3 MCUs in H2V2
    const std::size_t entries = 9 * 8;
    const auto m3 = Encode(p, 90, 3);
    const auto m7 = Encode(p, 90, 7);
    const auto m11 = Encode(p, 90, 11);
    const auto m15 = Encode(p, 90, 15);
    const std::size_t mcuData3 = 16 + entries + 550;

    // Mode 7: scale factor in bytes 5..6, offsets straight after the header, then the MCUs.
    EXPECT_EQ(m7[4], 7);
    EXPECT_EQ(m7[5], 0x00);
    EXPECT_EQ(m7[6], 20);
    EXPECT_EQ(Slice(m7, 7, 16), Slice(m3, 7, 16));
    EXPECT_EQ(Le16(m7, 22), static_cast<int>(entries));
    EXPECT_EQ(Slice(m7, 16 + entries, m7.size()), Slice(m3, mcuData3, m3.size()));
    for (std::size_t n = 0; n < 9; ++n) {
        EXPECT_EQ(Slice(m7, 16 + 8 * n, 22 + 8 * n), Slice(m3, 16 + 8 * n, 22 + 8 * n));
        EXPECT_EQ(Le16(m7, 22 + 8 * n) + 550, Le16(m3, 22 + 8 * n));
    }
    // Mode 11: no offset table; mode 15: neither.
    EXPECT_EQ(m11[4], 11);
    EXPECT_EQ(Slice(m11, 16, m11.size()), Slice(m3, 16 + entries, m3.size()));
    EXPECT_EQ(m15[5], 0x00);
    EXPECT_EQ(m15[6], 20);
    EXPECT_EQ(Slice(m15, 16, m15.size()), Slice(m3, mcuData3, m3.size()));
}

TEST(FrameStreamEntropy, NoStuffingAfter0xFF) {
    const Picture p = NoisePicture(96, 64, 99);
    const auto frame = Encode(p, 100, 0);
    const auto jfif = Encode(p, 100, 0, true);
    auto count = [](const std::vector<std::uint8_t>& s, std::size_t from) {
        std::size_t ff = 0, ff00 = 0;
        for (std::size_t i = from; i + 1 < s.size(); ++i) {
            if (s[i] == 0xFF) {
                ++ff;
                if (s[i + 1] == 0x00) ++ff00;
            }
        }
        return std::pair{ff, ff00};
    };
    const auto [ff, ff00] = count(frame, 16 + 8 * 96 + 550);
    EXPECT_GT(ff, 20u);
    EXPECT_LT(ff00, ff / 4);  // only by chance, never as stuffing
    const auto [jff, jff00] = count(jfif, 2 + 18 + 134 + 420 + 19 + 14);
    EXPECT_EQ(jff00 + 1, jff);  // every 0xFF is stuffed, apart from the EOI marker
    // Without stuffing the frame decoder stays in step to the last MCU.
    bool damaged = true;
    EXPECT_GT(Psnr(DecodeFrame(frame, &damaged), p), 27.0);
    EXPECT_FALSE(damaged);
}

// Streams larger than 64 KB keep 16-bit offsets: each entry's distance is the true distance modulo 65536.
TEST(FrameStreamEntropy, OffsetsWrapInLargeStreams) {
    const Picture p = NoisePicture(320, 240, 3);
    const auto s = Encode(p, 100, 0);
    ASSERT_GT(s.size(), 2u * 65536);
    const std::size_t mcus = 40 * 30;
    std::size_t start = 16 + 8 * mcus + 550;
    bool wrapped = false;
    for (std::size_t n = 0; n < mcus; ++n) {
        const std::size_t entry = 16 + 8 * n;
        std::size_t candidate = entry + static_cast<std::size_t>(Le16(s, entry + 6));
        while (candidate < start) candidate += 65536;
        // Every MCU of noise at quality 100 takes far fewer than 64 KB, so the next start is the nearest.
        EXPECT_LT(candidate - start, 4096u) << n;
        if (candidate - entry >= 65536) wrapped = true;
        start = candidate;
    }
    EXPECT_TRUE(wrapped);
    // Noise is all high frequencies, which the frame decoder's truncated factors damp: 29.9 dB measured.
    bool damaged = true;
    EXPECT_GT(Psnr(DecodeFrame(s, &damaged), p), 27.0);
    EXPECT_FALSE(damaged);
}

// Pinned outputs: any change of a table, shift or rounding changes these.
TEST(FrameStreamGolden, ChecksumsOfKnownPictures) {
    EXPECT_EQ(Fnv1a(Encode(SmoothPicture(320, 240), 90, 3)), 0xa6823121287fc307ull);
    EXPECT_EQ(Fnv1a(Encode(SharpPicture(130, 250), 75, 0)), 0xd71a275e67e33e62ull);
    EXPECT_EQ(Fnv1a(Encode(SharpPicture(101, 37), 60, 1)), 0x94564728629fd937ull);
    EXPECT_EQ(Fnv1a(Encode(SmoothPicture(57, 83), 30, 2)), 0xa226f1918ad2aad1ull);
    EXPECT_EQ(Fnv1a(Encode(NoisePicture(64, 64, 5), 100, 4, true)), 0x71896d390c4ac414ull);
}

}  // namespace
}  // namespace fotolume::codec::test
