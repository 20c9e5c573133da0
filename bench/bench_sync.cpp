// What a user waits for with a real frame, against the emulator's device model (64 KB erase 150 ms,
// program 0.7 ms per 256 bytes, 1 ms per command, 1 MB/s on the bus):
//  - synchronizing 1 MB of new pictures onto a frame that already holds an album: commands sent,
//    modelled device time, and the host's CPU time per MB;
//  - reading an album of 200 pictures and showing it: the read from a frame served on a socket, as
//    fotolume-sim serves it, that takes each command's modelled time as a real frame would (modelled
//    device time against the host's wall time, the host's own share as the same read from a frame that
//    answers at once, and host CPU time), then decoding every picture to a BMP
//    and scaling it to a thumbnail (the window's own drawing is not measured here).
// The closing "record:" lines are what bench/run-all.sh puts into its table.
#include <benchmark/benchmark.h>

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#ifdef FOTOLUME_BENCH_QT
#include <QImage>
#endif

#include "album/album_store.h"
#include "bench/bench_frame.h"
#include "codec/bmp_file.h"
#include "codec/stream_decoder.h"
#include "codec/stream_encoder.h"
#include "device/frames_backend.h"
#include "sim/flash_emulator.h"
#include "sim/frame_server.h"

namespace {

using fotolume::album::CAlbumStore;
using fotolume::bench::Bytes;
using fotolume::bench::MakeFrame;
using fotolume::bench::OpenStore;
using fotolume::bench::Record;
using fotolume::sim::CFlashEmulator;

// The emulator served on a socket of a fresh frames folder, as fotolume-sim serves it, until destroyed.
class ServedOnSocket {
public:
    explicit ServedOnSocket(CFlashEmulator& emulator) {
        m_server = std::make_unique<fotolume::sim::CFrameServer>(emulator, m_folder.Path() + "/frame.sock");
        std::string error;
        if (!m_server->Listen(error)) std::abort();
        m_stop = ::eventfd(0, EFD_CLOEXEC);
        m_thread = std::thread([this] { m_server->Serve(m_stop); });
    }
    ~ServedOnSocket() {
        const uint64_t one = 1;
        if (::write(m_stop, &one, sizeof one) != sizeof one) std::abort();
        m_thread.join();
        ::close(m_stop);
    }
    const std::string& Folder() const { return m_folder.Path(); }

private:
    fotolume::bench::ScratchFolder m_folder;
    std::unique_ptr<fotolume::sim::CFrameServer> m_server;
    int m_stop = -1;
    std::thread m_thread;
};

double ThreadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void BM_Synchronize1MB(benchmark::State& state) {
    constexpr uint32_t kPicture = 128 * 1024;  // eight of them: 1 MB
    auto emulator = MakeFrame(4u << 20, 320, 240);
    {
        // The album already on the frame: 10 pictures of 100 KB.
        auto store = OpenStore(*emulator);
        for (uint32_t i = 0; i < 10; ++i) store->AddPictureData(Bytes(100'000, i).data(), 100'000);
        store->CommitAlbum();
    }
    const std::vector<uint8_t> baseline = emulator->Flash();
    uint64_t commands = 0, erases = 0;
    double modelled = 0, cpuSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        emulator->Flash() = baseline;
        emulator->PowerCycle();
        auto store = OpenStore(*emulator);
        for (uint32_t i = 0; i < 8; ++i) store->AddPictureData(Bytes(kPicture, 100 + i).data(), kPicture);
        emulator->SetDeviceModel(true);
        const CFlashEmulator::Stats before = emulator->GetStats();
        const std::clock_t cpuStart = std::clock();
        state.ResumeTiming();

        store->CommitAlbum();

        state.PauseTiming();
        cpuSeconds += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        const CFlashEmulator::Stats& after = emulator->GetStats();
        commands += after.commands - before.commands;
        erases += after.erases - before.erases;
        modelled += after.modelledSeconds - before.modelledSeconds;
        emulator->SetDeviceModel(false);
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["commands"] = static_cast<double>(commands) / n;
    state.counters["erases"] = static_cast<double>(erases) / n;
    state.counters["modelled_s"] = modelled / n;
    state.counters["cpu_ms_per_MB"] = cpuSeconds * 1000.0 / n;  // exactly 1 MB per commit
    Record("sync_commands", static_cast<double>(commands) / n, "%.0f");
    Record("sync_erases", static_cast<double>(erases) / n, "%.0f");
    Record("sync_modelled_s", modelled / n, "%.1f");
    Record("sync_cpu_ms_per_mb", cpuSeconds * 1000.0 / n, "%.1f");
}
BENCHMARK(BM_Synchronize1MB)->Unit(benchmark::kMillisecond)->Iterations(5);

// 200 pictures of a 128 x 128 frame, encoded as the programs encode them.
struct Album200 {
    static constexpr int kWidth = 128, kHeight = 128, kCount = 200;
    std::unique_ptr<CFlashEmulator> emulator = MakeFrame(4u << 20, kWidth, kHeight);
    uint64_t bytes = 0;

    Album200() {
        auto store = OpenStore(*emulator);
        const size_t stride = fotolume::codec::Bmp24Stride(kWidth);
        std::vector<uint8_t> out(fotolume::codec::CQuillJpegEncoder::MaxStreamSize(kWidth, kHeight, 3, false));
        for (int i = 0; i < kCount; ++i) {
            std::vector<uint8_t> rows(stride * kHeight);
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x) {
                    uint8_t* p = rows.data() + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3;
                    p[0] = static_cast<uint8_t>(x * 2 + i);
                    p[1] = static_cast<uint8_t>(y * 2 + i * 3);
                    p[2] = static_cast<uint8_t>(((x / 16 + y / 16 + i) % 2) * 120 + (x * y + i) % 31);
                }
            fotolume::codec::CQuillJpegEncoder encoder(90);
            size_t size = 0;
            if (!encoder.CompressImage(rows, out, kWidth, kHeight, size, 3)) std::abort();
            if (!store->AddPictureData(out.data(), static_cast<uint32_t>(size))) std::abort();
            bytes += size;
        }
        store->CommitAlbum();
    }
};

void BM_ReadAndShow200(benchmark::State& state) {
    static Album200 album;
    double readWall = 0, readCpu = 0, showWall = 0, modelled = 0, hostShare = 0;
    for (auto _ : state) {
        // The host's own share: the same read from a frame that answers at once.
        {
            album.emulator->PowerCycle();
            ServedOnSocket served(*album.emulator);
            const auto start = std::chrono::steady_clock::now();
            auto store = OpenStore(std::make_unique<fotolume::device::CFramesBackend>(served.Folder()));
            hostShare += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (store->GetPictureCount() != Album200::kCount) std::abort();
        }
        album.emulator->PowerCycle();
        album.emulator->SetRealTime(true);
        const double modelledBefore = album.emulator->GetStats().modelledSeconds;
        std::unique_ptr<CAlbumStore> store;
        std::chrono::steady_clock::time_point t0, t1;
        {
            ServedOnSocket served(*album.emulator);
            t0 = std::chrono::steady_clock::now();
            // This thread's time only: the frame's server runs on another.
            const double cpu0 = ThreadCpuSeconds();
            store = OpenStore(std::make_unique<fotolume::device::CFramesBackend>(served.Folder()));
            readCpu += ThreadCpuSeconds() - cpu0;
            t1 = std::chrono::steady_clock::now();
        }
        modelled += album.emulator->GetStats().modelledSeconds - modelledBefore;
        album.emulator->SetRealTime(false);
        album.emulator->SetDeviceModel(false);
        if (store->GetPictureCount() != Album200::kCount) std::abort();

        // Show: every picture decoded, made a BMP, and scaled to a thumbnail.
        fotolume::codec::JPGEncode decoder;
        for (int i = 0; i < store->GetPictureCount(); ++i) {
            fotolume::album::PicEntry entry;
            store->GetPictureEntry(i, entry);
            if (!decoder.DecodeStream({store->PictureData(i), entry.length}, Album200::kWidth, Album200::kHeight))
                std::abort();
            const auto bmp = fotolume::codec::MakeBmpFile(decoder.VideoBuff().data(),
                                                          static_cast<size_t>(decoder.RoundedWidth()) * 3,
                                                          decoder.TrueWidth(), decoder.Height(), 3, 3780);
            benchmark::DoNotOptimize(bmp.data());
#ifdef FOTOLUME_BENCH_QT
            QImage picture(decoder.VideoBuff().data(), decoder.TrueWidth(), decoder.Height(),
                           decoder.RoundedWidth() * 3, QImage::Format_BGR888);
            QImage thumb = picture.scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            benchmark::DoNotOptimize(thumb.constBits());
#endif
        }
        const auto t2 = std::chrono::steady_clock::now();
        readWall += std::chrono::duration<double>(t1 - t0).count();
        showWall += std::chrono::duration<double>(t2 - t1).count();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["read_host_ms"] = readWall * 1000 / n;
    state.counters["read_modelled_s"] = modelled / n;
    state.counters["show_ms"] = showWall * 1000 / n;
    state.counters["album_KB"] = static_cast<double>(album.bytes) / 1024;
    Record("album200_KB", static_cast<double>(album.bytes) / 1024, "%.0f");
    Record("album200_read_host_ms", readWall * 1000 / n, "%.1f");
    Record("album200_read_cpu_ms", readCpu * 1000 / n, "%.1f");
    Record("album200_read_modelled_s", modelled / n, "%.2f");
    Record("album200_read_over_pct", (readWall - modelled) * 100 / modelled, "%+.1f");
    Record("album200_read_host_share_ms", hostShare * 1000 / n, "%.1f");
    Record("album200_read_host_share_pct", hostShare * 100 / modelled, "%.1f");
    Record("album200_show_ms", showWall * 1000 / n, "%.1f");
#ifdef FOTOLUME_BENCH_QT
    fotolume::bench::RecordText("album200_show_what", "decode + BMP + 96x96 smooth thumbnail");
#else
    fotolume::bench::RecordText("album200_show_what", "decode + BMP (no Qt: no thumbnail scaling)");
#endif
}
BENCHMARK(BM_ReadAndShow200)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fotolume::bench::PrintRecords();
    return 0;
}
