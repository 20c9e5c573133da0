#include "tests/album/recovery_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "device/checksum.h"
#include "device/process_flash.h"

namespace fotolume::album::testing {

namespace fs = std::filesystem;

MemoryFrame::MemoryFrame() : flash(512 * 1024, 0xFF) {
    info.listAddress = kL;
    info.flashTotalSize = static_cast<uint32_t>(flash.size());
    info.capacity = PictureAreaCapacity(kL, info.flashTotalSize);
    uint8_t* list = flash.data() + kL;
    InitEmptyList(list, kDefaultBackground, kDefaultFont);
    uint32_t address = kL + kListSize;
    for (uint32_t i = 0; i < 2; ++i) {
        const std::vector<uint8_t> bytes = Picture(kSizes[i], i);
        std::copy(bytes.begin(), bytes.end(), flash.begin() + address);
        WriteEntry(list, static_cast<int>(i), PicEntry{1, address, kSizes[i]});
        address += kSizes[i];
    }
}

FrameAccess MemoryFrame::Access() {
    FrameAccess access;
    access.info = info;
    access.sum = [this](uint32_t address, uint32_t length) { return device::ByteSum16(flash.data() + address, length); };
    access.read = [this](uint32_t address, uint32_t length, uint8_t* out) {
        std::copy_n(flash.begin() + address, length, out);
        return true;
    };
    return access;
}

std::vector<uint8_t> MemoryFrame::ListBlock() const {
    return std::vector<uint8_t>(flash.begin() + kL, flash.begin() + kL + kBlockSize);
}

sim::NewFrame RecoveryScenario::Layout() { return {.flashSize = 512 * 1024, .listAddress = kL}; }

RecoveryScenario::RecoveryScenario() : frame(Layout()) {
    auto a = Store();
    ReadAlbum(a->store, false);
    for (uint32_t i = 0; i < 3; ++i) a->store.AddPictureData(Picture(kOld[i], i).data(), kOld[i]);
    EXPECT_TRUE(a->store.CommitAlbum());
    for (int i = 0; i < 3; ++i) {
        PicEntry e;
        a->store.GetPictureEntry(i, e);
        oldPictures.push_back({e.address, Picture(kOld[i], static_cast<uint32_t>(i))});
    }
    initial = frame.emulator.Flash();

    auto b = Edited();
    EXPECT_TRUE(b->store.CommitAlbum());
    commitCommands = b->Sent();
    const Album meant = PicturesInMemory(b->store);
    for (int i = 0; i < b->store.GetPictureCount(); ++i) {
        PicEntry e;
        b->store.GetPictureEntry(i, e);
        newPictures.push_back({e.address, meant[static_cast<size_t>(i)]});
    }
    EXPECT_EQ(newPictures.size(), 4u);
    EXPECT_TRUE(folder.Records().empty()) << "a completed commit leaves no record";
}

std::unique_ptr<BoundStore> RecoveryScenario::Store() {
    auto bound = std::make_unique<BoundStore>(frame.emulator, true);
    bound->store.Recovery().SetFolder(folder.Path());
    return bound;
}

std::unique_ptr<BoundStore> RecoveryScenario::Reader() {
    auto bound = Store();
    ReadAlbum(bound->store, false);
    return bound;
}

Album RecoveryScenario::ReadBack() { return frame.ReadBack(); }

Album RecoveryScenario::OldAlbum() const {
    Album old;
    for (const MeantPicture& p : oldPictures) old.push_back(p.bytes);
    return old;
}

std::unique_ptr<BoundStore> RecoveryScenario::Edited() {
    frame.emulator.SetFaults({});
    frame.emulator.Flash() = initial;
    frame.emulator.PowerCycle();
    auto a = Reader();
    for (int i = 0; i < a->store.GetPictureCount(); ++i) a->store.LoadPicture(i);
    EXPECT_TRUE(a->store.AddPictureData(Picture(40000, 10).data(), 40000));
    EXPECT_TRUE(a->store.AddPictureData(Picture(30000, 11).data(), 30000));
    EXPECT_TRUE(a->store.DeletePicture(1));
    frame.emulator.PowerCycle();
    a->ClearSent();
    a->progress.clear();
    return a;
}

int RecoveryScenario::CutAfter(uint64_t k) {
    for (const fs::path& p : folder.Records()) fs::remove(p);
    auto a = Edited();
    frame.emulator.SetFaults({.vanishAfter = k});
    const int code = CommitCode(a->store);
    frame.emulator.SetFaults({});
    frame.emulator.PowerCycle();
    return code;
}

}  // namespace fotolume::album::testing
