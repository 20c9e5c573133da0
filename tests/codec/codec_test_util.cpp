#include "tests/codec/codec_test_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <algorithm>

#include "codec/bmp_file.h"
#include "codec/codec_tables.h"
#include "codec/stream_encoder.h"

namespace fotolume::codec::test {

Picture MakePicture(int w, int h) {
    Picture p;
    p.w = w;
    p.h = h;
    p.bgr.assign(static_cast<std::size_t>(w) * h * 3, 0);
    return p;
}

// Integer patterns only, so that pinned checksums do not depend on the maths library.
namespace {
int Triangle(int t) { return std::abs(t % 256 - 128); }  // 0..128, slope 1
}  // namespace

// Slopes of at most 3 levels per pixel whatever the size.
Picture SmoothPicture(int w, int h) {
    Picture p = MakePicture(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t* px = p.At(x, y);
            px[0] = static_cast<std::uint8_t>(30 + Triangle(2 * x + 40) * 180 / 128);
            px[1] = static_cast<std::uint8_t>(40 + Triangle(3 * y / 2 + 90) * 170 / 128);
            px[2] = static_cast<std::uint8_t>(60 + Triangle(x + y) * 140 / 128);
        }
    }
    return p;
}

// Bands of 12 rows: grey 4 x 4 checks of black and white, then bars of saturated colours 6 pixels wide.
// Colour edges fall on even coordinates, where 2 x 2 chroma subsampling keeps them.
Picture SharpPicture(int w, int h) {
    static constexpr std::uint8_t kBars[4][3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {0, 255, 255}};
    Picture p = MakePicture(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t* px = p.At(x, y);
            if ((y / 12) & 1) {
                std::copy_n(kBars[(x / 6) % 4], 3, px);
            } else {
                std::fill_n(px, 3, static_cast<std::uint8_t>(((x / 4 + y / 4) & 1) ? 255 : 0));
            }
        }
    }
    return p;
}

Picture NoisePicture(int w, int h, std::uint32_t seed) {
    Picture p = MakePicture(w, h);
    std::uint32_t s = seed ? seed : 1;
    for (auto& b : p.bgr) {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        b = static_cast<std::uint8_t>(s >> 24);
    }
    return p;
}

Picture FlatPicture(int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    Picture p = MakePicture(w, h);
    for (std::size_t i = 0; i < p.bgr.size(); i += 3) {
        p.bgr[i] = b;
        p.bgr[i + 1] = g;
        p.bgr[i + 2] = r;
    }
    return p;
}

std::vector<std::uint8_t> ToBmpRows(const Picture& p) {
    const std::size_t stride = Bmp24Stride(p.w);
    std::vector<std::uint8_t> rows(stride * p.h, 0);
    for (int y = 0; y < p.h; ++y)
        std::copy_n(p.At(0, y), 3 * p.w, rows.begin() + static_cast<std::ptrdiff_t>((p.h - 1 - y) * stride));
    return rows;
}

std::vector<std::uint8_t> Encode(const Picture& p, int quality, int mode, bool jfif) {
    CQuillJpegEncoder encoder(static_cast<std::uint16_t>(quality));
    encoder.SetJfif(jfif);
    std::vector<std::uint8_t> out(CQuillJpegEncoder::MaxStreamSize(p.w, p.h, mode, jfif));
    std::size_t size = 0;
    const auto rows = ToBmpRows(p);
    EXPECT_TRUE(encoder.CompressImage(rows, out, p.w, p.h, size, mode));
    out.resize(size);
    return out;
}

Picture DecodeFrame(const std::vector<std::uint8_t>& stream, bool* damaged) {
    JPGEncode decoder;
    if (!decoder.DecodeStream(stream, 0, 0)) return {};
    if (damaged) *damaged = decoder.Damaged();
    Picture p = MakePicture(decoder.TrueWidth(), decoder.Height());
    for (int y = 0; y < p.h; ++y)
        std::copy_n(decoder.VideoBuff().data() + 3 * static_cast<std::size_t>(y) * decoder.RoundedWidth(), 3 * p.w,
                    p.At(0, y));
    return p;
}

double Psnr(const Picture& a, const Picture& b) {
    if (a.w != b.w || a.h != b.h || a.bgr.empty()) return 0.0;
    double sum = 0;
    for (std::size_t i = 0; i < a.bgr.size(); ++i) {
        const double d = static_cast<double>(a.bgr[i]) - b.bgr[i];
        sum += d * d;
    }
    if (sum == 0) return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 * static_cast<double>(a.bgr.size()) / sum);
}

std::uint64_t Fnv1a(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::uint8_t b : bytes) {
        h ^= b;
        h *= 0x100000001b3ull;
    }
    return h;
}

StreamBuilder::StreamBuilder(int width, int height, int mode) {
    const int mcuW = (mode & 1) ? 16 : 8, mcuH = (mode & 2) ? 16 : 8;
    const int mcus = ((width + mcuW - 1) / mcuW) * ((height + mcuH - 1) / mcuH);
    // Header and zeroed offset table in one allocation (gcc 12 -O3 misreads growing a 16-byte vector).
    m_bytes.assign(16 + 8 * static_cast<std::size_t>(mcus), 0);
    const std::uint8_t header[16] = {static_cast<std::uint8_t>(width >> 8), static_cast<std::uint8_t>(width),
                                     static_cast<std::uint8_t>(height >> 8), static_cast<std::uint8_t>(height),
                                     static_cast<std::uint8_t>(mode), 0, 1, 1, 0, 1, 1, 0, 1, 1, 0, 0};
    std::copy_n(header, 16, m_bytes.begin());
    m_bytes.insert(m_bytes.end(), {0x00, 0x84, 0x00});
    m_bytes.insert(m_bytes.end(), 64, 1);
    m_bytes.push_back(0x01);
    m_bytes.insert(m_bytes.end(), 64, 1);
    m_bytes.insert(m_bytes.end(), {0x01, 0xA2});
    const std::uint8_t* bits[4] = {bitsYDC.data(), bitsYAC.data(), bitsCbCrDC.data(), bitsCbCrAC.data()};
    const std::uint8_t* vals[4] = {valYDC.data(), valYAC.data(), valCbCrDC.data(), valCbCrAC.data()};
    const int counts[4] = {12, 162, 12, 162};
    const std::uint8_t classes[4] = {0x00, 0x10, 0x01, 0x11};
    for (int t = 0; t < 4; ++t) {
        m_bytes.push_back(classes[t]);
        m_bytes.insert(m_bytes.end(), bits[t] + 1, bits[t] + 17);
        m_bytes.insert(m_bytes.end(), vals[t], vals[t] + counts[t]);
        std::uint32_t code = 0;
        int k = 0;
        for (int len = 1; len <= 16; ++len, code <<= 1) {
            for (int n = 0; n < bits[t][len]; ++n, ++k, ++code) {
                m_code[t][vals[t][k]] = code;
                m_length[t][vals[t][k]] = len;
            }
        }
    }
    m_dataStart = m_bytes.size();
}

void StreamBuilder::Bits(std::uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        m_bitBuffer = (m_bitBuffer << 1) | ((value >> i) & 1);
        if (++m_bitCount == 8) {
            m_bytes.push_back(static_cast<std::uint8_t>(m_bitBuffer));
            m_bitBuffer = 0;
            m_bitCount = 0;
        }
    }
}

void StreamBuilder::Symbol(int table, int symbol) {
    ASSERT_NE(m_length[table][symbol], 0) << "no code for symbol " << symbol;
    Bits(m_code[table][symbol], m_length[table][symbol]);
}

void StreamBuilder::Value(int value) {
    const int magnitude = std::abs(value);
    int size = 0;
    while ((1 << size) <= magnitude) ++size;
    Bits(static_cast<std::uint32_t>(value < 0 ? value - 1 : value) & ((1u << size) - 1), size);
}

void StreamBuilder::EndMcu() {
    while (m_bitCount != 0) Bits(1, 1);
}

}  // namespace fotolume::codec::test
