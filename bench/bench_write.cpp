// Writes as users make them, against the emulator's device model (64 KB erase 150 ms, 4 KB erase 45 ms,
// program 0.7 ms per 256 bytes, 1 ms per command, 1 MB/s on the bus):
//  - a small edit on a frame whose header names the 4 KB erase opcode: one 30 KB picture appended to an
//    album of ten, with a recovery record kept as the programs keep one: erase commands, all commands and
//    the commit's modelled device time;
//  - what the recovery record costs a commit: the same commit on the same frame with a recovery folder and
//    without one (records off), for bench_sync's 1 MB synchronize and for that small append on a 64 KB-erase
//    frame: the commands, checksum queries and reads records add, their modelled device time, and the bytes
//    written to the disk. The journal's blocks are read with records off too (a stop puts them back).
// The closing "record:" lines are what bench/run-all.sh puts into its table.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_frame.h"

namespace {

using fotolume::bench::Record;

struct Edit {
    const char* key;
    uint32_t flashSize;
    uint8_t eraseOpcode;
    uint32_t oldCount, oldSize;  // the album on the frame
    uint32_t newCount, newSize;  // appended to it
};

constexpr uint32_t kSmall = 30 * 1024;
const Edit kSmallAppend4K{"small4k", 2u << 20, 0x20, 10, kSmall, 1, kSmall};
const Edit kSmallAppend{"small", 2u << 20, 0xD8, 10, kSmall, 1, kSmall};
const Edit kSync1MB{"sync", 4u << 20, 0xD8, 10, 100'000, 8, 128 * 1024};

struct Cost {
    double commands = 0, erases = 0, reads = 0, checksums = 0, modelledSeconds = 0, recordBytes = 0;
};

// Averages per commit, by edit key and records on (true) or off.
std::map<std::pair<std::string, bool>, Cost> g_costs;

void BM_Commit(benchmark::State& state, const Edit& edit, bool records) {
    auto emulator = fotolume::bench::MakeFrame(edit.flashSize, 320, 240, edit.eraseOpcode);
    {
        auto store = fotolume::bench::OpenStore(*emulator);
        for (uint32_t i = 0; i < edit.oldCount; ++i) {
            store->AddPictureData(fotolume::bench::Bytes(edit.oldSize, i).data(), edit.oldSize);
        }
        if (!store->CommitAlbum()) std::abort();
    }
    const std::vector<uint8_t> baseline = emulator->Flash();
    // A completed commit removes its record, so one folder serves every run.
    fotolume::bench::ScratchFolder folder;
    Cost sum;
    for (auto _ : state) {
        state.PauseTiming();
        emulator->Flash() = baseline;
        emulator->PowerCycle();
        auto store = fotolume::bench::OpenStore(*emulator, records ? folder.Path() : std::string());
        for (uint32_t i = 0; i < edit.newCount; ++i) {
            const std::vector<uint8_t> picture = fotolume::bench::Bytes(edit.newSize, 100 + i);
            if (!store->AddPictureData(picture.data(), edit.newSize)) std::abort();
        }
        emulator->SetDeviceModel(true);
        const auto before = emulator->GetStats();
        state.ResumeTiming();

        const bool written = store->CommitAlbum();

        state.PauseTiming();
        if (!written || (records && store->Recovery().LastRecordBytes() == 0)) std::abort();
        const auto& after = emulator->GetStats();
        sum.commands += static_cast<double>(after.commands - before.commands);
        sum.erases += static_cast<double>(after.erases - before.erases);
        sum.reads += static_cast<double>(after.reads - before.reads);
        sum.checksums += static_cast<double>(after.checksums - before.checksums);
        sum.modelledSeconds += after.modelledSeconds - before.modelledSeconds;
        sum.recordBytes += static_cast<double>(store->Recovery().LastRecordBytes());
        emulator->SetDeviceModel(false);
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    Cost& cost = g_costs[{edit.key, records}];
    cost = {sum.commands / n, sum.erases / n, sum.reads / n, sum.checksums / n, sum.modelledSeconds / n,
            sum.recordBytes / n};
    state.counters["commands"] = cost.commands;
    state.counters["erases"] = cost.erases;
    state.counters["modelled_s"] = cost.modelledSeconds;
    state.counters["record_KB"] = cost.recordBytes / 1024;
}

// What keeping the record adds to the commit of edit, against the same commit with records off.
void RecordCostOfRecords(const Edit& edit) {
    const auto on = g_costs.find({edit.key, true}), off = g_costs.find({edit.key, false});
    if (on == g_costs.end() || off == g_costs.end()) return;
    const std::string key = std::string("records_") + edit.key;
    Record(key + "_commands", on->second.commands - off->second.commands, "%+.0f");
    Record(key + "_checksums", on->second.checksums - off->second.checksums, "%+.0f");
    Record(key + "_reads", on->second.reads - off->second.reads, "%+.0f");
    Record(key + "_ms", (on->second.modelledSeconds - off->second.modelledSeconds) * 1000, "%+.0f");
    Record(key + "_pct", (on->second.modelledSeconds / off->second.modelledSeconds - 1) * 100, "%+.1f");
    Record(key + "_off_s", off->second.modelledSeconds, "%.2f");
    Record(key + "_disk_KB", on->second.recordBytes / 1024, "%.1f");
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("SmallAppend4KErase/records", BM_Commit, kSmallAppend4K, true)->Iterations(5);
    for (const Edit* edit : {&kSync1MB, &kSmallAppend}) {
        for (bool records : {false, true}) {
            const std::string name = std::string(edit->key) + (records ? "/records" : "/no_records");
            benchmark::RegisterBenchmark(name.c_str(), BM_Commit, *edit, records)->Iterations(5);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (const auto small = g_costs.find({kSmallAppend4K.key, true}); small != g_costs.end()) {
        Record("small4k_erases", small->second.erases, "%.0f");
        Record("small4k_commands", small->second.commands, "%.0f");
        Record("small4k_modelled_s", small->second.modelledSeconds, "%.2f");
    }
    RecordCostOfRecords(kSync1MB);
    RecordCostOfRecords(kSmallAppend);
    fotolume::bench::PrintRecords();
    return 0;
}
