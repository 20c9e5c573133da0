// JFIF export checked against libjpeg: markers, standard tables, decodability and coefficient agreement.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "codec/codec_tables.h"
#include "codec/stream_encoder.h"
#include "tests/codec/codec_test_util.h"

namespace fotolume::codec::test {
namespace {

struct ErrorTrap {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    int warnings = 0;
};

void TrapExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorTrap*>(cinfo->err)->jump, 1); }
void TrapMessage(j_common_ptr cinfo, int level) {
    if (level < 0) ++reinterpret_cast<ErrorTrap*>(cinfo->err)->warnings;
}

// Decodes a JFIF file with libjpeg's accurate integer DCT and plain chroma replication. Empty picture on
// an error; warnings counts corrupt-data warnings.
Picture LibjpegDecode(const std::vector<std::uint8_t>& file, int& warnings) {
    jpeg_decompress_struct cinfo{};
    ErrorTrap trap{};
    cinfo.err = jpeg_std_error(&trap.mgr);
    trap.mgr.error_exit = TrapExit;
    trap.mgr.emit_message = TrapMessage;
    Picture* result = new Picture();
    if (setjmp(trap.jump)) {
        jpeg_destroy_decompress(&cinfo);
        delete result;
        warnings = -1;
        return {};
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&cinfo);
    *result = MakePicture(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = result->At(0, static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    warnings = trap.warnings;
    Picture out = std::move(*result);
    delete result;
    return out;
}

// libjpeg's own encoding with the fast integer DCT, default tables and no chroma subsampling.
std::vector<std::uint8_t> LibjpegEncode444(const Picture& p, int quality) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(p.w);
    cinfo.image_height = static_cast<JDIMENSION>(p.h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.dct_method = JDCT_IFAST;
    for (int c = 0; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(p.At(0, static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

// Entropy-coded data between the end of the SOS segment and EOI.
std::vector<std::uint8_t> ScanData(const std::vector<std::uint8_t>& f) {
    for (std::size_t i = 2; i + 3 < f.size();) {
        if (f[i] != 0xFF) return {};
        const std::size_t length = (f[i + 2] << 8) | f[i + 3];
        if (f[i + 1] == 0xDA) return {f.begin() + static_cast<std::ptrdiff_t>(i + 2 + length), f.end() - 2};
        i += 2 + length;
    }
    return {};
}

std::vector<std::uint8_t> Bytes(const std::vector<std::uint8_t>& v, std::size_t from, std::size_t n) {
    return {v.begin() + static_cast<std::ptrdiff_t>(from), v.begin() + static_cast<std::ptrdiff_t>(from + n)};
}

TEST(JfifFile, MarkersInOrderAndSamplingByte) {
    const Picture p = SmoothPicture(70, 45);
    const auto f = Encode(p, 90, 3, true);
    EXPECT_EQ(Bytes(f, 0, 20), (std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F',
                                                            0x00, 0x01, 0x01, 0x01, 0x01, 0x2C, 0x01, 0x2C, 0, 0}));
    EXPECT_EQ(Bytes(f, 20, 5), (std::vector<std::uint8_t>{0xFF, 0xDB, 0x00, 0x84, 0x00}));
    EXPECT_EQ(Bytes(f, 154, 5), (std::vector<std::uint8_t>{0xFF, 0xC4, 0x01, 0xA2, 0x00}));
    EXPECT_EQ(Bytes(f, 574, 19), (std::vector<std::uint8_t>{0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 45, 0x00, 70, 0x03,
                                                             0x01, 0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01}));
    EXPECT_EQ(Bytes(f, 593, 14), (std::vector<std::uint8_t>{0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x11,
                                                             0x03, 0x11, 0x00, 0x3F, 0x00}));
    EXPECT_EQ(Bytes(f, f.size() - 2, 2), (std::vector<std::uint8_t>{0xFF, 0xD9}));

    // Mode 4: bit 2 has no effect on a JFIF file; the sampling is H1V1.
    const auto f4 = Encode(p, 90, 4, true);
    EXPECT_EQ(f4[585], 0x11);
    EXPECT_EQ(f4, Encode(p, 90, 0, true));
    EXPECT_EQ(Encode(p, 90, 1, true)[585], 0x21);
    EXPECT_EQ(Encode(p, 90, 2, true)[585], 0x12);
}

TEST(JfifFile, StandardTablesAreLibjpegs) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    cinfo.in_color_space = JCS_RGB;
    cinfo.input_components = 3;
    jpeg_set_defaults(&cinfo);
    const std::pair<const std::uint8_t*, JHUFF_TBL*> dc[2] = {{bitsYDC.data(), cinfo.dc_huff_tbl_ptrs[0]},
                                                              {bitsCbCrDC.data(), cinfo.dc_huff_tbl_ptrs[1]}};
    const std::pair<const std::uint8_t*, JHUFF_TBL*> ac[2] = {{bitsYAC.data(), cinfo.ac_huff_tbl_ptrs[0]},
                                                              {bitsCbCrAC.data(), cinfo.ac_huff_tbl_ptrs[1]}};
    for (const auto& [bits, table] : dc) EXPECT_TRUE(std::equal(bits, bits + 17, table->bits));
    for (const auto& [bits, table] : ac) EXPECT_TRUE(std::equal(bits, bits + 17, table->bits));
    EXPECT_TRUE(std::equal(valYDC.begin(), valYDC.end(), cinfo.dc_huff_tbl_ptrs[0]->huffval));
    EXPECT_TRUE(std::equal(valCbCrDC.begin(), valCbCrDC.end(), cinfo.dc_huff_tbl_ptrs[1]->huffval));
    EXPECT_TRUE(std::equal(valYAC.begin(), valYAC.end(), cinfo.ac_huff_tbl_ptrs[0]->huffval));
    EXPECT_TRUE(std::equal(valCbCrAC.begin(), valCbCrAC.end(), cinfo.ac_huff_tbl_ptrs[1]->huffval));

    // Quality scaling agrees at every quality, including the clamped ones.
    for (int q = 0; q <= 200; ++q) {
        jpeg_set_quality(&cinfo, q, TRUE);
        CQuillJpegEncoder encoder(static_cast<std::uint16_t>(q));
        for (int k = 0; k < 64; ++k) {
            ASSERT_EQ(encoder.LuminanceTable()[k], cinfo.quant_tbl_ptrs[0]->quantval[k]) << q << " " << k;
            ASSERT_EQ(encoder.ChrominanceTable()[k], cinfo.quant_tbl_ptrs[1]->quantval[k]) << q << " " << k;
        }
    }
    jpeg_destroy_compress(&cinfo);
}

// libjpeg reads every sampling without a warning. Its picture of H1V1 and H2V2 files agrees with our own
// decoder's reading of the frame stream of the same coefficients; they differ only by the inverse DCTs:
// the frame decoder's 6-bit factors are truncated (4 instead of 4.87 at the highest frequency), which
// costs detailed pictures most. Measured: smooth 50.6 dB, sharp 38.0 dB, noise 35.1 dB; the limits sit
// 2 to 3 dB under that, far above the 20 dB or less that a wrong coefficient, table or block order leaves.
TEST(JfifFile, LibjpegDecodesItToOurPicture) {
    const std::pair<Picture, double> cases[] = {
        {SmoothPicture(130, 75), 47.0}, {SharpPicture(64, 48), 35.0}, {NoisePicture(33, 17, 4), 33.0}};
    for (const auto& [p, limit] : cases) {
        for (int mode = 0; mode < 4; ++mode) {
            int warnings = 0;
            const Picture lib = LibjpegDecode(Encode(p, 90, mode, true), warnings);
            ASSERT_EQ(lib.w, p.w) << mode;
            ASSERT_EQ(lib.h, p.h) << mode;
            EXPECT_EQ(warnings, 0) << mode;
            if (mode == 0 || mode == 3) {
                EXPECT_GT(Psnr(lib, DecodeFrame(Encode(p, 90, mode))), limit) << mode;
            }
        }
    }
    // H2V1 and H1V2, which the frame decoder leaves black, against the source picture.
    for (int mode : {1, 2}) {
        int warnings = 0;
        const Picture smooth = SmoothPicture(130, 75);
        EXPECT_GT(Psnr(LibjpegDecode(Encode(smooth, 90, mode, true), warnings), smooth), 40.0) << mode;
    }
    int warnings = 0;
    EXPECT_GT(Psnr(LibjpegDecode(Encode(SmoothPicture(1, 1), 100, 3, true), warnings), SmoothPicture(1, 1)), 40.0);
}

// With H1V1 there is no subsampling to differ: our colour conversion, fast DCT, quantization and Huffman
// coding give exactly libjpeg's fast-DCT entropy-coded data.
TEST(JfifFile, H1V1ScanMatchesLibjpegFastDct) {
    for (int quality : {10, 50, 75, 90, 100}) {
        for (const Picture& p : {SmoothPicture(64, 40), SharpPicture(37, 29), NoisePicture(16, 16, 9)}) {
            const auto ours = ScanData(Encode(p, quality, 0, true));
            const auto theirs = ScanData(LibjpegEncode444(p, quality));
            ASSERT_FALSE(theirs.empty());
            EXPECT_EQ(ours, theirs) << "quality " << quality << " size " << p.w << "x" << p.h;
        }
    }
}

}  // namespace
}  // namespace fotolume::codec::test
