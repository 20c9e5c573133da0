// Feeds arbitrary bytes as the start of a frame's flash: header, DPFH record and the layout record it
// points to. The parsing functions must keep their promises, and the store must read such a frame (or
// refuse it) without touching memory outside what it owns.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "album/flash_layout.h"
#include "fuzz/frame_fixture.h"

namespace {

constexpr size_t kFlash = 256 * 1024;  // the frame the bytes land in; the header may claim any size

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fotolume::album;
    std::vector<uint8_t> flash(kFlash, 0xFF);
    std::copy_n(data, std::min(size, kFlash), flash.begin());

    const DeviceInfo info = ParseHeader(flash.data());
    const uint32_t capacity = PictureAreaCapacity(info.listAddress, info.flashTotalSize);
    Check(capacity == 0 || uint64_t{info.listAddress} + kListSize + capacity == info.flashTotalSize);
    uint32_t record = 0;
    if (LayoutRecordAddress(flash.data(), record)) {
        Check(record >= kHeaderSize);
        if (uint64_t{record} + kLayoutRecordSize <= flash.size()) {
            const uint32_t list = ListAddressFromLayoutRecord(flash.data() + record);
            Check(list % kBlockSize == 0);
        }
    }
    const uint32_t fromHeader = ListAddressFromHeader(flash.data());
    Check(fromHeader < (1u << 24));
    if (LayoutWritable(fromHeader, info.flashTotalSize)) {
        Check(fromHeader >= kBlockSize && fromHeader % kBlockSize == 0);
        Check(uint64_t{fromHeader} + kBlockSize <= info.flashTotalSize);
    }
    Check(EraseUnitFor(info.eraseOpcode) >= 4096);

    fotolume::fuzzing::FuzzFrame frame(std::move(flash));
    if (frame.ReadAlbum()) {
        // What the store took from the frame stays inside the frame's picture area.
        const DeviceInfo& read = frame.store.Info();
        for (int i = 0; i < frame.store.GetPictureCount(); ++i) {
            PicEntry entry;
            Check(frame.store.GetPictureEntry(i, entry));
            Check(EntryInPictureArea(entry, read.listAddress, read.flashTotalSize));
        }
    }
    return 0;
}
