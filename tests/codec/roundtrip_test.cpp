// Round trips through the files the applications use: BMP, EnCode, DeCode, BMP.
#include <gtest/gtest.h>

#include "codec/bmp_file.h"
#include "codec/picture_files.h"
#include "tests/codec/codec_test_util.h"

namespace fotolume::codec::test {
namespace {

Picture RoundTrip(const Picture& p, int quality, int mode) {
    ScratchDir dir;
    EXPECT_TRUE(SaveBmpFile((dir / "in.bmp").string(), p.bgr.data(), 3 * static_cast<std::size_t>(p.w), p.w, p.h));
    EXPECT_GT(CKv318Encoder::EnCode((dir / "in.bmp").string(), (dir / "s.dpf").string(), p.w, p.h, quality, mode, false), 0u);
    EXPECT_TRUE(CKv318Encoder::DeCode((dir / "s.dpf").string(), (dir / "out.bmp").string(), p.w, p.h));
    std::vector<std::uint8_t> rows;
    EXPECT_EQ(LoadPicFromDir((dir / "out.bmp").string(), rows, p.w, p.h), 1);
    Picture out = MakePicture(p.w, p.h);
    const std::size_t stride = Bmp24Stride(p.w);
    for (int y = 0; y < p.h; ++y)
        std::copy_n(rows.begin() + static_cast<std::ptrdiff_t>((p.h - 1 - y) * stride), 3 * p.w, out.At(0, y));
    return out;
}

// Thresholds sit about 3 dB under the lowest this codec measures at quality 90 over these sizes (smooth:
// 47.4 dB in H1V1 and 42.7 dB in H2V2; sharp: 34.4 and 31.8 dB). A real fault drops far more: a wrong
// coefficient order, table, predictor, tile edge or chroma quadrant leaves a picture below 20 dB,
// whereas an honest change of rounding moves it by a fraction of a dB.
TEST(RoundTrip, SmoothAndSharpPicturesKeepTheirQuality) {
    for (int mode : {0, 3}) {
        for (auto [w, h] : {std::pair{320, 240}, {1, 1}, {7, 5}, {17, 33}, {130, 250}}) {
            const Picture smooth = SmoothPicture(w, h);
            EXPECT_GT(Psnr(RoundTrip(smooth, 90, mode), smooth), mode == 0 ? 44.0 : 40.0) << mode << " " << w << "x" << h;
            const Picture sharp = SharpPicture(w, h);
            EXPECT_GT(Psnr(RoundTrip(sharp, 90, mode), sharp), mode == 0 ? 31.0 : 29.0) << mode << " " << w << "x" << h;
        }
    }
}

TEST(RoundTrip, QualityOrdersTheError) {
    const Picture p = SmoothPicture(96, 64);
    double last = 0;
    for (int q : {10, 50, 90, 100}) {
        const double psnr = Psnr(RoundTrip(p, q, 3), p);
        EXPECT_GT(psnr, last) << q;
        last = psnr;
    }
}

}  // namespace
}  // namespace fotolume::codec::test
