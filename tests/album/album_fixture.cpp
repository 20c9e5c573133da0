#include "tests/album/album_fixture.h"

#include <chrono>

#include "device/comm_usb.h"

namespace fotolume::album::testing {

BoundStore::BoundStore(sim::CFlashEmulator& emulator) {
    auto owned = std::make_unique<sim::CEmulatorBackend>(std::vector<sim::CFlashEmulator*>{&emulator});
    backend = owned.get();
    store.Bind(std::move(owned), "zentaris",
               [this](int picture, int done, int total) {
                   progress.push_back({picture, done, total});
                   if (onProgress) onProgress(progress.back());
               });
    store.Link().SetSettleDelay(std::chrono::milliseconds(0));
}

std::vector<SentCommand> BoundStore::Sent() const {
    std::vector<SentCommand> out;
    for (const auto& s : backend->SentCommands()) {
        if (s.cdb[0] == 0xCA || s.cdb[0] == 0xCB || s.cdb[0] == 0xCD) out.push_back({s.cdb, s.length});
    }
    return out;
}

namespace {
sim::CFlashEmulator::Options OptionsFor(const sim::NewFrame& frame) {
    sim::CFlashEmulator::Options options;
    options.flashSize = frame.flashSize;
    return options;
}
}  // namespace

AlbumFrame::AlbumFrame(const sim::NewFrame& frame) : layout(frame), emulator(OptionsFor(frame)) {
    emulator.Flash() = sim::BuildFrameImage(frame);
}

std::unique_ptr<BoundStore> AlbumFrame::Open() {
    auto bound = std::make_unique<BoundStore>(emulator);
    bound->store.GetInformation();
    bound->store.ReadPictureList();
    for (int i = 0; i < bound->store.GetPictureCount(); ++i) bound->store.LoadPicture(i);
    bound->ClearSent();
    bound->progress.clear();
    return bound;
}

std::vector<std::vector<uint8_t>> AlbumFrame::ReadBack() { return PicturesInMemory(Open()->store); }

std::vector<uint8_t> Picture(uint32_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed * 2654435761u + 12345u;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    return bytes;
}

std::vector<std::vector<uint8_t>> PicturesInMemory(const CAlbumStore& store) {
    std::vector<std::vector<uint8_t>> out;
    for (int i = 0; i < store.GetPictureCount(); ++i) {
        PicEntry entry;
        store.GetPictureEntry(i, entry);
        const uint8_t* data = store.PictureData(i);
        out.emplace_back(data, data + entry.length);
    }
    return out;
}

}  // namespace fotolume::album::testing
