// Committing a full 2 MB album to the emulated frame with its device model off: what the store itself
// costs per 64 KB block (commands and bytes on the link) and host CPU time per MB committed.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <vector>

#include "album/album_store.h"
#include "device/comm_usb.h"
#include "sim/emulator_backend.h"
#include "sim/flash_emulator.h"
#include "sim/frame_image.h"

namespace {

using fotolume::album::CAlbumStore;

void BM_CommitWholeAlbum(benchmark::State& state) {
    fotolume::sim::NewFrame layout;
    layout.flashSize = 2 * 1024 * 1024;
    fotolume::sim::CFlashEmulator::Options options;
    options.flashSize = layout.flashSize;
    fotolume::sim::CFlashEmulator emulator(options);
    emulator.Flash() = fotolume::sim::BuildFrameImage(layout);
    emulator.SetDeviceModel(false);

    CAlbumStore store;
    store.Bind(std::make_unique<fotolume::sim::CEmulatorBackend>(std::vector<fotolume::sim::CFlashEmulator*>{&emulator}),
               "zentaris");
    store.GetInformation();
    store.ReadPictureList();

    // Pictures of 100 KB until the picture area is full.
    constexpr uint32_t kPicture = 100 * 1024;
    std::vector<uint8_t> picture(kPicture);
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint8_t>(i * 131 + 7);
    const uint32_t count = store.GetCapacity() / kPicture;

    uint64_t commands = 0, bytesToFrame = 0, bytesFromFrame = 0, blocks = 0, committed = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // An album that is all new: every block of the area is written again.
        while (store.GetPictureCount() > 0) store.DeletePicture(store.GetPictureCount() - 1);
        for (uint32_t i = 0; i < count; ++i) store.AddPictureData(picture.data(), kPicture);
        const auto before = emulator.GetStats();
        const std::clock_t cpuStart = std::clock();
        state.ResumeTiming();

        store.CommitAlbum();

        state.PauseTiming();
        cpuSeconds += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        const auto& after = emulator.GetStats();
        commands += after.commands - before.commands;
        bytesToFrame += after.bytesIn - before.bytesIn;
        bytesFromFrame += after.bytesOut - before.bytesOut;
        blocks += after.erases - before.erases;
        committed += store.GetUsedLength();
        state.ResumeTiming();
    }
    const double perBlock = blocks ? 1.0 / static_cast<double>(blocks) : 0;
    state.counters["blocks"] = static_cast<double>(blocks) / static_cast<double>(state.iterations());
    state.counters["commands_per_block"] = static_cast<double>(commands) * perBlock;
    state.counters["bytes_to_frame_per_block"] = static_cast<double>(bytesToFrame) * perBlock;
    state.counters["bytes_from_frame_per_block"] = static_cast<double>(bytesFromFrame) * perBlock;
    state.counters["cpu_ms_per_MB"] = cpuSeconds * 1000.0 / (static_cast<double>(committed) / (1024.0 * 1024.0));
    state.SetBytesProcessed(static_cast<int64_t>(committed));
}
BENCHMARK(BM_CommitWholeAlbum)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
