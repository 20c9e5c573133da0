#include "album/compact_store.h"

#include <algorithm>
#include <cstring>

#include "album/block_io.h"
#include "device/process_flash.h"

namespace fotolume::album::compact {

namespace {
uint32_t RoundUp64(uint32_t n) { return (n + 63) / 64 * 64; }
}  // namespace

bool GetInformation(device::CProcessFlash& flash, DeviceInfo& info) {
    uint8_t header[kHeaderSize];
    if (!ReadFlashData(flash, header, kHeaderSize, 0)) return false;
    DeviceInfo read = ParseHeader(header);
    uint32_t recordAddress = 0;
    if (LayoutRecordAddress(header, recordAddress)) {
        uint8_t record[kLayoutRecordSize] = {};
        if (flash.ReadFromFlash(record, kLayoutRecordSize, recordAddress) != 0) return false;
        read.listAddress = ListAddressFromLayoutRecord(record);
    }
    read.capacity = PictureAreaCapacity(read.listAddress, read.flashTotalSize);
    info = read;
    flash.SetFlashCommand(info.eraseOpcode, info.programFlag ? 1 : 0);
    return true;
}

bool ReadFlashData(device::CProcessFlash& flash, uint8_t* buffer, uint32_t length, uint32_t address) {
    if (length == 0) return false;
    for (uint32_t done = 0; done < length; done += kBlockSize) {
        uint32_t piece = std::min(kBlockSize, length - done);
        if (ReadVerifiedPiece(flash, FlashStyle::Compact, address + done, piece, buffer + done) != 0) return false;
    }
    return true;
}

bool WriteDataToFlash(device::CProcessFlash& flash, const DeviceInfo& info, const uint8_t* buffer,
                      uint32_t length, uint32_t address) {
    if (!LayoutWritable(info.listAddress, info.flashTotalSize) || length == 0) return false;
    const WriteWindow window{info.listAddress, info.flashTotalSize};
    const uint32_t block = address - address % kBlockSize;
    const uint32_t offset = address - block;
    if (offset == 0) return WriteVerifiedBlock(flash, FlashStyle::Compact, window, block, buffer, length) == 0;
    if (offset + uint64_t{length} > kBlockSize || block < window.lowest) return false;
    std::vector<uint8_t> staging(kBlockSize, 0);
    if (!ReadFlashData(flash, staging.data(), kBlockSize, block)) return false;
    std::memcpy(staging.data() + offset, buffer, length);
    return WriteVerifiedBlock(flash, FlashStyle::Compact, window, block, staging.data(), kBlockSize) == 0;
}

bool ReadPictureList(device::CProcessFlash& flash, const DeviceInfo& info, uint8_t list[kListSize]) {
    std::memset(list, 0, kListSize);
    if (uint64_t{info.listAddress} + kListSize <= info.flashTotalSize &&
        !ReadFlashData(flash, list, kListSize, info.listAddress)) {
        return false;
    }
    if (!IsListValid(list)) InitEmptyList(list, 0, 0);
    return true;
}

void MovePicAddressInPicList(uint8_t list[kListSize], int count) {
    int out = 0;
    for (int slot = 0; slot < kMaxSlots && out < count; ++slot) {
        PicEntry entry = ReadEntry(list, slot);
        if (entry.flag == 0 || entry.flag == 255) continue;
        if (out != slot) {
            std::memmove(list + kEntriesOffset + kEntrySize * static_cast<uint32_t>(out),
                         list + kEntriesOffset + kEntrySize * static_cast<uint32_t>(slot), kEntrySize);
        }
        ++out;
    }
    std::memset(list + kEntriesOffset + kEntrySize * static_cast<uint32_t>(out), 0,
                kListSize - kEntriesOffset - kEntrySize * static_cast<uint32_t>(out));
}

bool IsEntryUsable(const PicEntry& entry, const DeviceInfo& info) {
    return entry.flag == 1 && entry.length > 0 && EntryInPictureArea(entry, info.listAddress, info.flashTotalSize);
}

bool ReadPictureStream(device::CProcessFlash& flash, const DeviceInfo& info, uint32_t address, uint32_t length,
                       std::vector<uint8_t>& out) {
    if (length == 0 || uint64_t{address} + length > info.flashTotalSize) return false;
    out.assign(RoundUp64(length), 0);
    for (uint32_t done = 0; done < length; done += kBlockSize) {
        uint32_t piece = std::min(kBlockSize, length - done);
        if (piece < kBlockSize) {
            // The frame moves whole 64-byte units; stay inside the flash all the same.
            piece = std::min<uint32_t>(RoundUp64(piece), info.flashTotalSize - (address + done));
        }
        if (ReadVerifiedPiece(flash, FlashStyle::Compact, address + done, piece, out.data() + done) != 0) {
            return false;
        }
    }
    out.resize(length);
    return true;
}

DownloadPlan GetStartAddAndTotalDownSize(const std::vector<PictureState>& pictures, const uint8_t list[kListSize],
                                         const DeviceInfo& info) {
    const uint32_t areaStart = info.listAddress + kListSize;
    const int count = static_cast<int>(pictures.size());
    DownloadPlan plan;
    plan.first = count + 1;
    for (int i = 0; i < count; ++i) {
        if (!pictures[static_cast<size_t>(i)].onFrame) {
            plan.first = i + 1;
            break;
        }
    }
    for (int i = plan.first - 1; i < count; ++i) plan.total += pictures[static_cast<size_t>(i)].size;
    plan.start = areaStart;
    bool placeable = true;
    if (plan.first > 1 && plan.first <= count) {
        // Behind every picture that stays, not only the one listed last: a list that is not in address
        // order (written by someone else) must not have a kept picture overwritten by the new ones.
        for (int i = 0; i < plan.first - 1 && placeable; ++i) {
            const PicEntry kept = ReadEntry(list, i);
            placeable = IsEntryUsable(kept, info);
            plan.start = std::max(plan.start, kept.address + kept.length);
        }
    }
    if (!placeable || uint64_t{plan.start} + plan.total > info.flashTotalSize) {
        plan.first = 1;
        plan.start = areaStart;
        plan.total = 0;
        for (const PictureState& p : pictures) plan.total += p.size;
        plan.rewriteAll = true;
    }
    return plan;
}

}  // namespace fotolume::album::compact
