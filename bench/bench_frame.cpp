#include "bench/bench_frame.h"

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>

#include "device/comm_usb.h"
#include "sim/emulator_backend.h"
#include "sim/frame_image.h"

namespace fotolume::bench {

namespace {
std::map<std::string, std::string>& Records() {
    static std::map<std::string, std::string> records;
    return records;
}
}  // namespace

std::unique_ptr<sim::CFlashEmulator> MakeFrame(uint32_t flashSize, uint16_t width, uint16_t height,
                                               uint8_t eraseOpcode) {
    sim::NewFrame layout;
    layout.flashSize = flashSize;
    layout.width = width;
    layout.height = height;
    layout.eraseOpcode = eraseOpcode;
    sim::CFlashEmulator::Options options;
    options.flashSize = flashSize;
    auto emulator = std::make_unique<sim::CFlashEmulator>(options);
    emulator->Flash() = sim::BuildFrameImage(layout);
    return emulator;
}

std::unique_ptr<album::CAlbumStore> OpenStore(std::unique_ptr<device::IDriveBackend> drives,
                                              const std::string& recoveryFolder) {
    auto store = std::make_unique<album::CAlbumStore>();
    store->Bind(std::move(drives), "zentaris");
    store->Link().SetSettleDelay(std::chrono::milliseconds(0));
    if (!recoveryFolder.empty()) store->Recovery().SetFolder(recoveryFolder);
    store->GetInformation();
    store->ReadPictureList();
    for (int i = 0; i < store->GetPictureCount(); ++i) store->LoadPicture(i);
    return store;
}

std::unique_ptr<album::CAlbumStore> OpenStore(sim::CFlashEmulator& emulator, const std::string& recoveryFolder) {
    return OpenStore(std::make_unique<sim::CEmulatorBackend>(std::vector<sim::CFlashEmulator*>{&emulator}),
                     recoveryFolder);
}

std::vector<uint8_t> Bytes(uint32_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    return bytes;
}

ScratchFolder::ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "fotolume-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    m_path = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

void Record(const std::string& key, double value, const char* format) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    Records()[key] = text;
}

void RecordText(const std::string& key, const std::string& text) { Records()[key] = text; }

void PrintRecords() {
    for (const auto& [key, value] : Records()) std::printf("record: %s: %s\n", key.c_str(), value.c_str());
}

}  // namespace fotolume::bench
