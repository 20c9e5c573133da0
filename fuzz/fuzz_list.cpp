// Feeds arbitrary bytes as a frame's 4096-byte picture list (and the picture area after it). The list
// functions of both applications must keep their promises, and the store must read the album, take in
// only entries inside the picture area, and survive an edit of what it read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "album/compact_store.h"
#include "album/picture_list.h"
#include "fuzz/frame_fixture.h"
#include "sim/frame_image.h"

namespace {

constexpr uint32_t kL = 0x10000;
constexpr uint32_t kFlash = 512 * 1024;

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fotolume::album;
    uint8_t list[kListSize];
    std::memset(list, 0, sizeof list);
    std::memcpy(list, data, std::min<size_t>(size, kListSize));

    DeviceInfo info;
    info.listAddress = kL;
    info.flashTotalSize = kFlash;
    info.capacity = PictureAreaCapacity(kL, kFlash);

    // The full application's packing keeps every flagged slot, in order.
    std::vector<PicEntry> flagged;
    for (int s = 0; s < kMaxSlots; ++s)
        if (PicEntry e = ReadEntry(list, s); e.flag != 0) flagged.push_back(e);
    uint8_t packed[kListSize];
    std::memcpy(packed, list, kListSize);
    PackList(packed);
    Check(std::memcmp(packed, list, kEntriesOffset) == 0);
    for (int s = 0; s < kMaxSlots; ++s) {
        const PicEntry e = ReadEntry(packed, s);
        if (static_cast<size_t>(s) < flagged.size()) {
            Check(e.flag == flagged[s].flag && e.address == flagged[s].address && e.length == flagged[s].length);
        } else {
            Check(e.flag == 0 && e.address == 0 && e.length == 0);
        }
    }

    // The compact application's packing and download plan.
    uint8_t compactList[kListSize];
    std::memcpy(compactList, list, kListSize);
    const int count = size > kListSize ? data[kListSize] % 40 : 3;
    compact::MovePicAddressInPicList(compactList, count);
    std::vector<compact::PictureState> pictures(static_cast<size_t>(count));
    for (size_t i = 0; i < pictures.size(); ++i) {
        const size_t at = kListSize + 1 + i;
        pictures[i].onFrame = at < size && (data[at] & 1) != 0;
        pictures[i].size = at < size ? 1 + data[at] * 97u : 1000;
        if (ReadEntry(compactList, static_cast<int>(i)).flag == 1)
            (void)compact::IsEntryUsable(ReadEntry(compactList, static_cast<int>(i)), info);
    }
    const compact::DownloadPlan plan = compact::GetStartAddAndTotalDownSize(pictures, compactList, info);
    Check(plan.first >= 1 && plan.first <= count + 1);
    if (plan.first <= count) Check(plan.start >= kL + kListSize);

    // The store reads a frame holding this list.
    fotolume::sim::NewFrame layout;
    layout.flashSize = kFlash;
    layout.listAddress = kL;
    std::vector<uint8_t> flash = fotolume::sim::BuildFrameImage(layout);
    std::memcpy(flash.data() + kL, list, kListSize);
    if (size > kListSize)
        std::copy_n(data + kListSize, std::min<size_t>(size - kListSize, kFlash - kL - kListSize),
                    flash.begin() + kL + kListSize);
    fotolume::fuzzing::FuzzFrame frame(std::move(flash));
    if (!frame.ReadAlbum()) return 0;
    CAlbumStore& store = frame.store;
    for (int i = 0; i < store.GetPictureCount(); ++i) {
        PicEntry entry;
        Check(store.GetPictureEntry(i, entry));
        Check(EntryInPictureArea(entry, kL, kFlash));
    }
    // An edit of what was read: one picture gone, one added, written back and read again.
    const int before = store.GetPictureCount();
    if (before > 0) Check(store.DeletePicture(0));
    const uint8_t picture[300] = {0xFF, 0xD8, 1, 2, 3};
    const bool added = store.AddPictureData(picture, sizeof picture);
    try {
        Check(store.CommitAlbum());
    } catch (const CAlbumError&) {
        Check(false);  // the emulated frame does not fail
    }
    fotolume::fuzzing::FuzzFrame again(frame.emulator.Flash());
    Check(again.ReadAlbum());
    Check(again.store.GetPictureCount() == store.GetPictureCount());
    Check(store.GetPictureCount() == std::max(before - 1, 0) + (added ? 1 : 0));
    return 0;
}
