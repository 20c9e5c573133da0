// The encoder's bytes pinned over a wide sweep: every mode, both output kinds, qualities from 1 to 100
// and content chosen for extreme coefficients. The checksums were taken from the straightforward
// table-and-division encoder; any change of arithmetic, block order or bit writing shows up here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <span>
#include <string>

#include "codec/stream_encoder.h"
#include "tests/codec/codec_test_util.h"

namespace fotolume::codec::test {
namespace {

// Each 8 x 8 tile is black and white in the sign pattern of one DCT basis function, the 64 of them in
// turn: the largest possible value of every coefficient, positive and, shifted by a tile, negative.
Picture BasisPicture(int w, int h) {
    Picture p = MakePicture(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int tile = (y / 8 * (w / 8 + 1) + x / 8) % 64;
            const int u = tile % 8, v = tile / 8;
            // cos((2x + 1) u pi / 16) < 0 exactly when (2x + 1) u mod 32 lies in (8, 24).
            const int pu = ((2 * (x % 8) + 1) * u) % 32, pv = ((2 * (y % 8) + 1) * v) % 32;
            const bool negative = (pu > 8 && pu < 24) != (pv > 8 && pv < 24);
            const std::uint8_t level = negative ? 0 : 255;
            std::uint8_t* px = p.At(x, y);
            px[0] = level;
            px[1] = static_cast<std::uint8_t>(tile & 1 ? level : 255 - level);  // colour in half the tiles
            px[2] = level;
        }
    }
    return p;
}

// One pixel in two of every row and column black, the others a saturated colour.
Picture FinePicture(int w, int h) {
    Picture p = MakePicture(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x + y) & 1) p.At(x, y)[(x / 3 + y) % 3] = 255;
    return p;
}

// Folds the checksum of every encoding, or a mark of a refused one, into one value.
std::uint64_t SweepChecksum(const Picture& p, std::initializer_list<int> qualities) {
    const auto rows = ToBmpRows(p);
    std::vector<std::uint8_t> all;
    for (int quality : qualities) {
        for (bool jfif : {false, true}) {
            for (int mode = 0; mode < 16; ++mode) {
                CQuillJpegEncoder encoder(static_cast<std::uint16_t>(quality));
                encoder.SetJfif(jfif);
                std::vector<std::uint8_t> out(CQuillJpegEncoder::MaxStreamSize(p.w, p.h, mode, jfif));
                std::size_t size = 0;
                const bool ok = encoder.CompressImage(rows, out, p.w, p.h, size, mode);
                out.resize(size);
                const std::uint64_t h = ok ? Fnv1a(out) : 0x6661696cull;
                for (int i = 0; i < 8; ++i) all.push_back(static_cast<std::uint8_t>(h >> (8 * i)));
            }
        }
    }
    return Fnv1a(all);
}

std::string Hex(std::uint64_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(v));
    return text;
}

TEST(FrameStreamGolden, SweepOverModesQualitiesAndContent) {
    const std::initializer_list<int> qualities = {1, 10, 25, 50, 75, 90, 95, 100};
    EXPECT_EQ(Hex(SweepChecksum(SmoothPicture(97, 61), qualities)), "0x16b308d2c3da0226");
    EXPECT_EQ(Hex(SweepChecksum(SharpPicture(64, 48), qualities)), "0x0c7a68e881b23608");
    EXPECT_EQ(Hex(SweepChecksum(NoisePicture(53, 41, 3), qualities)), "0x68353596e9a06585");
    EXPECT_EQ(Hex(SweepChecksum(BasisPicture(72, 66), qualities)), "0xf58e09be649b1f61");
    EXPECT_EQ(Hex(SweepChecksum(FinePicture(33, 18), qualities)), "0x39a87eea589737e2");
    EXPECT_EQ(Hex(SweepChecksum(FlatPicture(17, 9, 0, 0, 0), {1, 90, 100})), "0x83b7425fdec3f5fd");
    EXPECT_EQ(Hex(SweepChecksum(FlatPicture(9, 17, 255, 255, 255), {1, 90, 100})), "0xe14345cff29cb037");
    EXPECT_EQ(Hex(SweepChecksum(FlatPicture(1, 1, 255, 0, 128), {50})), "0x32a4fcd241b9ba8f");
}

// The bit writer's last words fall back to single bytes near the end of the output, with JFIF's stuffed
// 0x00 after every 0xFF: an output of exactly the stream's size takes the same bytes, one byte less
// fails without writing past it.
TEST(FrameStreamGolden, OutputOfExactlyTheStreamsSize) {
    for (bool jfif : {false, true}) {
        for (const Picture& p :
             {NoisePicture(45, 37, 11), SharpPicture(40, 24), FlatPicture(16, 16, 255, 255, 255)}) {
            const auto rows = ToBmpRows(p);
            const auto full = Encode(p, 100, 3, jfif);
            ASSERT_FALSE(full.empty());
            for (std::size_t capacity : {full.size(), full.size() - 1}) {
                std::vector<std::uint8_t> out(capacity + 16, 0x5A);
                CQuillJpegEncoder encoder(100);
                encoder.SetJfif(jfif);
                std::size_t size = 0;
                const bool ok = encoder.CompressImage(rows, std::span(out).first(capacity), p.w, p.h, size, 3);
                EXPECT_EQ(ok, capacity == full.size()) << p.w << "x" << p.h << (jfif ? " JFIF" : " frame");
                EXPECT_TRUE(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(capacity), out.end(),
                                        [](std::uint8_t b) { return b == 0x5A; }));
                if (ok) {
                    out.resize(size);
                    EXPECT_EQ(out, full);
                }
            }
        }
    }
}

}  // namespace
}  // namespace fotolume::codec::test
