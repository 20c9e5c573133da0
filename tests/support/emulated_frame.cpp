#include "tests/support/emulated_frame.h"

#include <chrono>

#include "device/traced_backend.h"

namespace fotolume::testsupport {

sim::CFlashEmulator::Options OptionsFor(const sim::NewFrame& layout) {
    sim::CFlashEmulator::Options options;
    options.flashSize = layout.flashSize;
    return options;
}

NewFrameEmulator::NewFrameEmulator(const sim::NewFrame& layout) : sim::CFlashEmulator(OptionsFor(layout)) {
    Flash() = sim::BuildFrameImage(layout);
}

std::vector<SentCommand> VendorCommands(const std::vector<sim::CEmulatorBackend::Sent>& sent) {
    std::vector<SentCommand> out;
    for (const auto& s : sent) {
        if (s.cdb[0] == 0xCA || s.cdb[0] == 0xCB || s.cdb[0] == 0xCD) out.push_back({s.cdb, s.length});
    }
    return out;
}

sim::CEmulatorBackend* BindStore(album::CAlbumStore& store, sim::CFlashEmulator& emulator,
                                 album::ProgressCallback progress, bool fastPolls) {
    auto owned = std::make_unique<sim::CEmulatorBackend>(std::vector<sim::CFlashEmulator*>{&emulator});
    sim::CEmulatorBackend* backend = owned.get();
    store.Bind(std::move(owned), "zentaris", std::move(progress));
    store.Link().SetSettleDelay(std::chrono::milliseconds(0));
    if (fastPolls) store.Flash().SetPollInterval(std::chrono::milliseconds(0));
    return backend;
}

void ReadAlbum(album::CAlbumStore& store, bool pictures) {
    store.GetInformation();
    store.ReadPictureList();
    for (int i = 0; pictures && i < store.GetPictureCount(); ++i) store.LoadPicture(i);
}

Album PicturesInMemory(const album::CAlbumStore& store) {
    Album out;
    for (int i = 0; i < store.GetPictureCount(); ++i) {
        album::PicEntry entry;
        store.GetPictureEntry(i, entry);
        const uint8_t* data = store.PictureData(i);
        out.emplace_back(data, data + entry.length);
    }
    return out;
}

Album ReadBackAlbum(sim::CFlashEmulator& emulator) {
    album::CAlbumStore store;
    BindStore(store, emulator, nullptr, true);
    ReadAlbum(store);
    return PicturesInMemory(store);
}

FrameLink::FrameLink(sim::CFlashEmulator& emulator, device::Variant variant,
                     std::shared_ptr<device::CCommandTrace> trace) {
    auto owned = std::make_unique<sim::CEmulatorBackend>(std::vector<sim::CFlashEmulator*>{&emulator});
    backend = owned.get();
    std::unique_ptr<device::IDriveBackend> drives = std::move(owned);
    if (trace) drives = std::make_unique<device::CTracedBackend>(std::move(drives), std::move(trace));
    link = std::make_unique<device::CCommUSB>(std::move(drives), variant);
    link->SetSettleDelay(std::chrono::milliseconds(0));
    link->IniUSBDevice();
    flash = std::make_unique<device::CProcessFlash>(*link, variant);
}

std::vector<std::array<uint8_t, 16>> FrameLink::Cdbs() const {
    std::vector<std::array<uint8_t, 16>> out;
    for (const auto& s : backend->SentCommands()) out.push_back(s.cdb);
    return out;
}

}  // namespace fotolume::testsupport
