// Our frame stream encoder and decoder against libjpeg-turbo on the same pixels: quality 90, 4:2:0
// (our H2V2), libjpeg's fast integer DCT. Reports megapixels per second and, at the end, the ratios.
// Run with JSIMD_FORCENONE=1 as well to compare with libjpeg-turbo's plain C code, and with
// --benchmark_repetitions=5 on a busy machine (the ratios use each benchmark's best run).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "codec/bmp_file.h"
#include "codec/stream_decoder.h"
#include "codec/stream_encoder.h"

namespace {

using fotolume::codec::Bmp24Stride;
using fotolume::codec::CQuillJpegEncoder;
using fotolume::codec::JPGEncode;

constexpr int kQuality = 90;
constexpr int kMode = 3;  // H2V2

// A photo-like picture: smooth shading, edges and some fine texture; bottom row first, BMP rows.
struct Scene {
    int w, h;
    std::vector<std::uint8_t> rows;  // encoder input
    std::vector<std::uint8_t> ours;  // our frame stream
    std::vector<std::uint8_t> jpeg;  // libjpeg's file
};

std::vector<std::uint8_t> MakeRows(int w, int h) {
    const std::size_t stride = Bmp24Stride(w);
    std::vector<std::uint8_t> rows(stride * h, 0);
    std::uint32_t noise = 12345;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* p = rows.data() + (h - 1 - y) * stride;
        for (int x = 0; x < w; ++x, p += 3) {
            noise = noise * 1664525u + 1013904223u;
            const int n = static_cast<int>(noise >> 28) - 8;
            const int sx = x * 320 / w, sy = y * 240 / h;
            const bool disc = (sx - 200) * (sx - 200) + (sy - 100) * (sy - 100) < 50 * 50;
            const int base = disc ? 200 : 40 + sy * 150 / 240;
            p[0] = static_cast<std::uint8_t>(std::clamp(base - sx / 4 + n, 0, 255));
            p[1] = static_cast<std::uint8_t>(std::clamp(disc ? 60 : 90 + sx / 3 + n, 0, 255));
            p[2] = static_cast<std::uint8_t>(std::clamp((sx / 16 + sy / 16) % 2 ? 180 + n : 120 + n, 0, 255));
        }
    }
    return rows;
}

std::vector<std::uint8_t> OurEncode(const Scene& s, std::vector<std::uint8_t>& out) {
    CQuillJpegEncoder encoder(kQuality);
    std::size_t size = 0;
    if (!encoder.CompressImage(s.rows, out, s.w, s.h, size, kMode)) std::abort();
    return {out.begin(), out.begin() + static_cast<std::ptrdiff_t>(size)};
}

std::vector<std::uint8_t> LibjpegEncode(const Scene& s) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(s.w);
    cinfo.image_height = static_cast<JDIMENSION>(s.h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);  // 4:2:0
    jpeg_set_quality(&cinfo, kQuality, TRUE);
    cinfo.dct_method = JDCT_IFAST;
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t stride = Bmp24Stride(s.w);
    while (cinfo.next_scanline < cinfo.image_height) {
        // Same bottom-up rows as our encoder reads.
        JSAMPROW row = const_cast<std::uint8_t*>(s.rows.data() + (s.h - 1 - cinfo.next_scanline) * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

void LibjpegDecode(const std::vector<std::uint8_t>& file, std::vector<std::uint8_t>& pixels) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    cinfo.dct_method = JDCT_IFAST;
    cinfo.do_fancy_upsampling = FALSE;  // chroma replicated, as our decoder does
    jpeg_start_decompress(&cinfo);
    const std::size_t stride = static_cast<std::size_t>(cinfo.output_width) * 3;
    pixels.resize(stride * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels.data() + cinfo.output_scanline * stride;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
}

const Scene& GetScene(int w, int h) {
    static std::map<std::pair<int, int>, Scene> scenes;
    auto it = scenes.find({w, h});
    if (it == scenes.end()) {
        Scene s{w, h, MakeRows(w, h), {}, {}};
        std::vector<std::uint8_t> out(CQuillJpegEncoder::MaxStreamSize(w, h, kMode, false));
        s.ours = OurEncode(s, out);
        s.jpeg = LibjpegEncode(s);
        it = scenes.emplace(std::pair{w, h}, std::move(s)).first;
    }
    return it->second;
}

void SetRate(benchmark::State& state, int w, int h, std::size_t bytes) {
    state.counters["MP/s"] =
        benchmark::Counter(static_cast<double>(w) * h * static_cast<double>(state.iterations()) / 1e6,
                           benchmark::Counter::kIsRate);
    state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_Encode_Ours(benchmark::State& state) {
    const Scene& s = GetScene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<std::uint8_t> out(CQuillJpegEncoder::MaxStreamSize(s.w, s.h, kMode, false));
    std::size_t size = 0;
    for (auto _ : state) {
        CQuillJpegEncoder encoder(kQuality);
        encoder.CompressImage(s.rows, out, s.w, s.h, size, kMode);
        benchmark::DoNotOptimize(out.data());
    }
    SetRate(state, s.w, s.h, size);
}

void BM_Encode_Libjpeg(benchmark::State& state) {
    const Scene& s = GetScene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::size_t size = 0;
    for (auto _ : state) {
        const auto f = LibjpegEncode(s);
        size = f.size();
        benchmark::DoNotOptimize(f.data());
    }
    SetRate(state, s.w, s.h, size);
}

void BM_Decode_Ours(benchmark::State& state) {
    const Scene& s = GetScene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    JPGEncode decoder;
    for (auto _ : state) {
        if (!decoder.DecodeStream(s.ours, s.w, s.h)) std::abort();
        benchmark::DoNotOptimize(decoder.VideoBuff().data());
    }
    SetRate(state, s.w, s.h, s.ours.size());
}

void BM_Decode_Libjpeg(benchmark::State& state) {
    const Scene& s = GetScene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<std::uint8_t> pixels;
    for (auto _ : state) {
        LibjpegDecode(s.jpeg, pixels);
        benchmark::DoNotOptimize(pixels.data());
    }
    SetRate(state, s.w, s.h, s.jpeg.size());
}

#define SIZES ->Args({320, 240})->Args({2000, 1500})->Unit(benchmark::kMillisecond)
BENCHMARK(BM_Encode_Ours) SIZES;
BENCHMARK(BM_Encode_Libjpeg) SIZES;
BENCHMARK(BM_Decode_Ours) SIZES;
BENCHMARK(BM_Decode_Libjpeg) SIZES;

// Console output plus a closing table of ours / libjpeg per operation and size.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // With --benchmark_repetitions the best run counts: the one least disturbed by other work.
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            const auto it = run.counters.find("MP/s");
            if (it == run.counters.end()) continue;
            double& rate = m_rates[run.benchmark_name()];
            rate = std::max(rate, it->second.value);
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nours / libjpeg-turbo (megapixels per second; JSIMD_FORCENONE=%s)\n",
                    std::getenv("JSIMD_FORCENONE") ? std::getenv("JSIMD_FORCENONE") : "unset");
        for (const char* op : {"Encode", "Decode"}) {
            for (const char* size : {"320/240", "2000/1500"}) {
                const std::string ours = std::string("BM_") + op + "_Ours/" + size;
                const std::string lib = std::string("BM_") + op + "_Libjpeg/" + size;
                if (!m_rates.count(ours) || !m_rates.count(lib)) continue;
                std::printf("  %s %-9s ours %8.1f  libjpeg %8.1f  ratio %.2f\n", op, size, m_rates[ours], m_rates[lib],
                            m_rates[ours] / m_rates[lib]);
            }
        }
    }

private:
    std::map<std::string, double> m_rates;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
