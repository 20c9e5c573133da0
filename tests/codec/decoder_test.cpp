// Frame picture stream decoder: geometry, predictors, refusals and behaviour on damaged input.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "codec/picture_files.h"
#include "codec/stream_decoder.h"
#include "tests/codec/codec_test_util.h"

namespace fotolume::codec::test {
namespace {

std::size_t DataStart(int mcus) { return 16 + 8 * static_cast<std::size_t>(mcus) + 550; }

// Every row decodes at its size: widths rounded up to the sampling's MCU width in the buffer, heights that
// are not a multiple of the MCU height, and columns past the width skipped.
TEST(DecoderGeometry, BufferSizesAndQualityAtOddWidthsAndHeights) {
    struct Row {
        int width, height, quality, mode, roundedWidth;
        double minPsnr;
    };
    std::vector<Row> rows = {{100, 40, 90, 0, 104, 35.0}, {104, 32, 95, 3, 104, 20.0}};
    for (int mode : {0, 3})
        for (int h : {1, 7, 9, 15, 17, 31}) rows.push_back({24, h, 90, mode, 24, 32.0});
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.width << "x" << r.height << " mode " << r.mode);
        const Picture p = SmoothPicture(r.width, r.height);
        const auto s = Encode(p, r.quality, r.mode);
        JPGEncode decoder;
        ASSERT_TRUE(decoder.DecodeStream(s, r.width, r.height));
        EXPECT_EQ(decoder.TrueWidth(), r.width);
        EXPECT_EQ(decoder.RoundedWidth(), r.roundedWidth);
        EXPECT_EQ(decoder.Height(), r.height);
        EXPECT_EQ(decoder.VideoBuff().size(), 3u * r.roundedWidth * r.height);
        EXPECT_FALSE(decoder.Damaged());
        EXPECT_GT(Psnr(DecodeFrame(s), p), r.minPsnr);
    }
}

// A 100-wide picture sits in a 104-wide buffer; its BMP rows are 300 bytes, bottom row first.
TEST(DecoderGeometry, Width100SavesA300ByteStrideBmp) {
    JPGEncode decoder;
    ASSERT_TRUE(decoder.DecodeStream(Encode(SmoothPicture(100, 40), 90, 0), 100, 40));
    ScratchDir dir;
    ASSERT_EQ(decoder.BmpSave((dir / "a.bmp").string(), decoder.VideoBuff().data(), 104, 40, 3), 1);
    const auto bmp = ReadBytes(dir / "a.bmp");
    ASSERT_EQ(bmp.size(), 54u + 300 * 40);
    for (int j = 0; j < 40; ++j)
        EXPECT_TRUE(std::equal(bmp.begin() + 54 + 300 * j, bmp.begin() + 54 + 300 * (j + 1),
                               decoder.VideoBuff().begin() + 3 * 104 * (39 - j)))
            << j;
}

// Two MCUs whose luminance DC differences are both +80: the second block's DC is 160, not 80.
TEST(DecoderPredictors, DcPredictorsRunOnAcrossMcusAndByteAlignment) {
    StreamBuilder b(16, 8, 0);
    for (int mcu = 0; mcu < 2; ++mcu) {
        for (int chroma = 0; chroma < 2; ++chroma) {
            b.Symbol(2, 0);
            b.Symbol(3, 0x00);
        }
        b.Symbol(0, 7);
        b.Value(80);
        b.Symbol(1, 0x00);
        b.EndMcu();
    }
    const Picture out = DecodeFrame(b.Bytes());
    ASSERT_EQ(out.w, 16);
    // Quantizers of 1: a flat block of DC c gives ((c + 4) >> 3) + 128.
    EXPECT_EQ(out.At(0, 0)[0], 128 + 10);
    EXPECT_EQ(out.At(15, 7)[1], 128 + 20);

    // Encoded flat tiles of four different greys come back at their own levels.
    Picture tiles = MakePicture(32, 8);
    const std::uint8_t levels[4] = {30, 200, 90, 160};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 32; ++x) std::fill_n(tiles.At(x, y), 3, levels[x / 8]);
    EXPECT_GT(Psnr(DecodeFrame(Encode(tiles, 90, 0)), tiles), 45.0);
    EXPECT_EQ(DecodeFrame(Encode(FlatPicture(40, 40, 100, 100, 100), 90, 3)).bgr,
              FlatPicture(40, 40, 100, 100, 100).bgr);
}

// A run that passes position 63 puts its value on position 63, exactly like a run that ends there.
TEST(DecoderEntropy, RunPastPosition63StoresAtPosition63) {
    auto make = [](std::initializer_list<int> tail) {
        StreamBuilder b(8, 8, 0);
        for (int chroma = 0; chroma < 2; ++chroma) {
            b.Symbol(2, 0);
            b.Symbol(3, 0x00);
        }
        b.Symbol(0, 0);
        for (int i = 0; i < 3; ++i) b.Symbol(1, 0xF0);  // 48 zeros: next position 49
        for (int symbol : tail) b.Symbol(1, symbol);
        b.Value(500);
        b.EndMcu();
        return b.Bytes();
    };
    bool damaged = true;
    const Picture exact = DecodeFrame(make({0xE9}), &damaged);  // run 14 to position 63
    EXPECT_FALSE(damaged);
    const Picture past = DecodeFrame(make({0xF9}), &damaged);   // run 15 to "position 64"
    EXPECT_FALSE(damaged);
    ASSERT_EQ(exact.w, 8);
    EXPECT_EQ(exact.bgr, past.bgr);
    EXPECT_NE(exact.At(0, 0)[1], exact.At(1, 0)[1]);  // the coefficient is there
}

TEST(DecoderRefusals, WrongPanelSizeJfifFilesAndBadTables) {
    const auto s = Encode(SmoothPicture(48, 32), 90, 3);
    JPGEncode decoder;
    EXPECT_TRUE(decoder.DecodeStream(s, 48, 32));
    EXPECT_FALSE(decoder.DecodeStream(s, 49, 32));
    EXPECT_FALSE(decoder.DecodeStream(s, 48, 31));
    // A JFIF file starts 0xFF 0xD8: width 65496.
    EXPECT_FALSE(decoder.DecodeStream(Encode(SmoothPicture(48, 32), 90, 3, true), 48, 32));

    const std::size_t dqt = 16 + 6 * 8, dht = dqt + 132;
    for (std::uint8_t bad : {0x02, 0x12, 0x20, 0xFF}) {
        auto t = s;
        t[dht + 2] = bad;
        EXPECT_FALSE(decoder.DecodeStream(t, 48, 32)) << int(bad);
    }
    auto t = s;
    t[dht + 2 + 1] = 17;  // a luminance DC table of 17 codes
    EXPECT_FALSE(decoder.DecodeStream(t, 48, 32));
    t = s;
    std::fill_n(t.begin() + dht + 2 + 30, 16, 0);  // a luminance AC table without codes
    EXPECT_FALSE(decoder.DecodeStream(t, 48, 32));
    t = s;
    t[dqt + 1] = 0x85;  // quantization segment of 133 bytes
    EXPECT_FALSE(decoder.DecodeStream(t, 48, 32));
    t = s;
    t[dqt + 2 + 65] = 2;  // quantization table 2
    EXPECT_FALSE(decoder.DecodeStream(t, 48, 32));
    for (int field = 5; field < 14; ++field) {
        t = s;
        t[field] = 2;  // table numbers index tables 0 and 1 only
        EXPECT_FALSE(decoder.DecodeStream(t, 48, 32)) << field;
    }
    t = s;
    t[0] = t[2] = 0x10;  // 4096 x 4096 claims more MCU offset entries than the file holds
    EXPECT_FALSE(decoder.DecodeStream(t, 0, 0));
    t = s;
    t[0] = t[1] = 0;
    EXPECT_FALSE(decoder.DecodeStream(t, 0, 0));
    EXPECT_FALSE(decoder.DecodeStream({}, 0, 0));
}

TEST(DecoderRefusals, RefusedStreamWritesNoBmp) {
    ScratchDir dir;
    WriteBytes(dir / "s.dpf", Encode(SmoothPicture(48, 32), 90, 3));
    EXPECT_FALSE(CKv318Encoder::DeCode((dir / "s.dpf").string(), (dir / "s.bmp").string(), 32, 48));
    EXPECT_FALSE(std::filesystem::exists(dir / "s.bmp"));
    EXPECT_FALSE(CKv318Encoder::DeCode((dir / "missing.dpf").string(), (dir / "m.bmp").string(), 48, 32));
    EXPECT_FALSE(std::filesystem::exists(dir / "m.bmp"));
    ASSERT_TRUE(CKv318Encoder::DeCode((dir / "s.dpf").string(), (dir / "s.bmp").string(), 48, 32));
    const auto bmp = ReadBytes(dir / "s.bmp");
    ASSERT_EQ(bmp.size(), 54u + 144 * 32);
    EXPECT_EQ(bmp[38] | (bmp[39] << 8), 300);
    ASSERT_TRUE(CKv318Encoder::DeCode((dir / "s.dpf").string(), (dir / "mac.bmp").string(), 48, 32, 0));
    const auto mac = ReadBytes(dir / "mac.bmp");
    EXPECT_EQ(mac[38] | mac[42], 0);
    EXPECT_TRUE(std::equal(mac.begin() + 54, mac.end(), bmp.begin() + 54));
    // A folder that does not exist: the stream is accepted, no BMP appears.
    EXPECT_TRUE(CKv318Encoder::DeCode((dir / "s.dpf").string(), (dir / "no" / "s.bmp").string(), 48, 32));
    EXPECT_FALSE(std::filesystem::exists(dir / "no" / "s.bmp"));
}

// Damaged entropy data: decoding stops there, the rest stays black, and the picture says so.
TEST(DecoderDamage, TruncatedStreamsAtEveryLength) {
    const auto s = Encode(SharpPicture(40, 24), 90, 3);
    const std::size_t start = DataStart(3 * 2);
    for (std::size_t len = 0; len <= s.size(); ++len) {
        const std::vector<std::uint8_t> cut(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(len));
        JPGEncode decoder;
        const bool ok = decoder.DecodeStream(cut, 40, 24);
        if (len < start) {
            EXPECT_FALSE(ok) << len;
            continue;
        }
        ASSERT_TRUE(ok) << len;
        EXPECT_EQ(decoder.Damaged(), len < s.size()) << len;
    }
    // The undecoded end of a cut stream is black.
    const std::vector<std::uint8_t> cut(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(start + 40));
    JPGEncode decoder;
    ASSERT_TRUE(decoder.DecodeStream(cut, 40, 24));
    const auto& buf = decoder.VideoBuff();
    EXPECT_TRUE(std::all_of(buf.end() - 3 * 40 * 8, buf.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(DecoderDamage, CodesWithoutSymbolsAndRandomCorruption) {
    const auto s = Encode(SharpPicture(48, 32), 90, 0);
    const std::size_t start = DataStart(6 * 4);
    auto t = s;
    std::fill(t.begin() + static_cast<std::ptrdiff_t>(start), t.end(), 0xFF);  // no code of 16 one-bits
    JPGEncode decoder;
    ASSERT_TRUE(decoder.DecodeStream(t, 48, 32));
    EXPECT_TRUE(decoder.Damaged());

    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int round = 0; round < 300; ++round) {
        t = s;
        for (int i = 0; i < 4; ++i) t[next() % t.size()] = static_cast<std::uint8_t>(next());
        if (decoder.DecodeStream(t, 0, 0)) {
            EXPECT_EQ(decoder.VideoBuff().size(),
                      static_cast<std::size_t>(decoder.RoundedWidth()) * decoder.Height() * 3);
        }
    }
}

TEST(DecoderModes, SamplingsOtherThanH1V1AndH2V2GiveABlackPicture) {
    for (int mode : {1, 2}) {
        JPGEncode decoder;
        std::string name;
        decoder.SetSamplingObserver([&name](const char* n) { name = n; });
        ASSERT_TRUE(decoder.DecodeStream(Encode(SmoothPicture(32, 32), 90, mode), 32, 32));
        EXPECT_EQ(name, mode == 1 ? "H2V1" : "H1V2");
        EXPECT_TRUE(std::all_of(decoder.VideoBuff().begin(), decoder.VideoBuff().end(),
                                [](std::uint8_t b) { return b == 0; }));
    }
}

TEST(DecoderGolden, ChecksumsOfDecodedPictures) {
    EXPECT_EQ(Fnv1a(DecodeFrame(Encode(SmoothPicture(320, 240), 90, 3)).bgr), 0x4d685c0dd3f11660ull);
    EXPECT_EQ(Fnv1a(DecodeFrame(Encode(SharpPicture(130, 250), 75, 0)).bgr), 0x816750bb0b3a6085ull);
    EXPECT_EQ(Fnv1a(DecodeFrame(Encode(NoisePicture(61, 45, 8), 100, 3)).bgr), 0xecd4db9c61be66adull);
}

}  // namespace
}  // namespace fotolume::codec::test
