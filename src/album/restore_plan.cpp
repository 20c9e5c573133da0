// Restoring a backup: what it gives this frame, how it compares with the frame, and the store's plan that
// writes it (the list emptied first, the blocks that differ, the list last), recorded and journaled as a
// commit is.
#include "album/restore_plan.h"

#include <algorithm>
#include <cstring>

#include "album/album_store.h"
#include "album/commit_plan.h"
#include "album/commit_record.h"
#include "album/picture_list.h"
#include "device/checksum.h"

namespace fotolume::album {

RestoreTarget MakeRestoreTarget(const BackupImage& backup, const DeviceInfo& frame) {
    const DeviceInfo& from = backup.info;
    RestoreTarget target;
    target.area.assign(frame.flashTotalSize - frame.listAddress, 0xFF);
    uint8_t* list = target.area.data();
    const uint8_t* source = backup.flash.data() + from.listAddress;
    std::memcpy(list + kListSize, source + kListSize, std::min(from.capacity, frame.capacity));
    if (!IsListValid(source)) {
        InitEmptyList(list, kDefaultBackground, kDefaultFont);
        target.emptyAlbum = true;
        return target;
    }
    std::memcpy(list, source, kListSize);
    if (from.listAddress == frame.listAddress && from.flashTotalSize == frame.flashTotalSize) return target;
    // Another layout: every picture keeps its offset in the area, so its address moves with the list.
    for (int slot = 0; slot < kMaxSlots; ++slot) {
        PicEntry entry = ReadEntry(list, slot);
        if (entry.flag == 0) continue;
        if (entry.flag == 1 && entry.length > 0 && EntryInPictureArea(entry, from.listAddress, from.flashTotalSize)) {
            entry.address = entry.address - from.listAddress + frame.listAddress;
            if (EntryInPictureArea(entry, frame.listAddress, frame.flashTotalSize)) {
                WriteEntry(list, slot, entry);
                continue;
            }
            ++target.droppedPictures;
        }
        ClearEntry(list, slot);
    }
    PackList(list);
    return target;
}

BackupMismatch CAlbumStore::CompareWithBackup(const BackupImage& backup) {
    if (!m_flash) throw CAlbumError(ErrTransfer);
    BackupMismatch mismatch = CompareLayouts(backup.info, m_info);
    const uint32_t listAddress = m_info.listAddress;
    if (backup.flash.size() < listAddress) {
        mismatch.ownRegion = true;
        return mismatch;
    }
    for (uint32_t a = 0; a < listAddress && !mismatch.ownRegion; a += kBlockSize) {
        const uint32_t n = std::min(kBlockSize, listAddress - a);
        mismatch.ownRegion = FrameRangeSum(a, n) != device::ByteSum16(backup.flash.data() + a, n);
    }
    // Equal sums are not equal bytes: where they agree, the bytes decide.
    std::vector<uint8_t> bytes(kBlockSize);
    for (uint32_t a = 0; a < listAddress && !mismatch.ownRegion; a += kBlockSize) {
        const uint32_t n = std::min(kBlockSize, listAddress - a);
        ReadFlashData(a, n, bytes.data());
        mismatch.ownRegion = !std::equal(bytes.begin(), bytes.begin() + n, backup.flash.begin() + a);
    }
    return mismatch;
}

CAlbumStore::CommitPlan CAlbumStore::PlanRestore(const RestoreTarget& target) {
    const uint32_t listAddress = m_info.listAddress;
    CommitPlan plan;
    plan.write.listBlock = listAddress;
    std::map<uint32_t, std::vector<uint8_t>> base;  // blocks as they are now, each read once
    auto baseOf = [&](uint32_t block) -> const std::vector<uint8_t>& {
        auto it = base.find(block);
        if (it == base.end()) it = base.emplace(block, BlockBase(block)).first;
        return it->second;
    };
    auto wanted = [&](uint32_t block) {
        const auto from = target.area.begin() + (block - listAddress);
        return std::vector<uint8_t>(from, from + kBlockSize);
    };

    // Only the blocks that differ are written: the frame's sum first, then the bytes where it agrees.
    std::map<uint32_t, std::vector<uint8_t>> finalBytes;
    for (uint32_t block = listAddress; block < m_info.flashTotalSize; block += kBlockSize) {
        std::vector<uint8_t> bytes = wanted(block);
        const bool known = m_unknownBlocks.count(block) == 0;
        if (known && FrameRangeSum(block, kBlockSize) == device::ByteSum16(bytes.data(), kBlockSize) &&
            baseOf(block) == bytes) {
            continue;
        }
        finalBytes.emplace(block, std::move(bytes));
    }
    if (finalBytes.empty()) {
        plan.record.newList.assign(target.area.begin(), target.area.begin() + kListSize);
        return plan;
    }
    // Whatever changes, the list goes first and comes back last.
    finalBytes.try_emplace(listAddress, wanted(listAddress));
    const std::vector<uint8_t> frameBlock = baseOf(listAddress);
    m_recovery.DescribeOldAlbum(plan.record, plan.write, frameBlock.data());
    std::vector<uint32_t> erased;
    for (const auto& entry : finalBytes) erased.push_back(entry.first);
    JournalBlocks(plan.write.journal, plan.record.oldList.data(), m_info, erased,
                  [&](uint32_t block) { return baseOf(block); });

    const std::vector<uint8_t>& listBlock = finalBytes.at(listAddress);
    if (finalBytes.size() > 1) {
        std::vector<uint8_t> emptied = listBlock;
        std::fill(emptied.begin(), emptied.begin() + kListSize, 0xFF);
        plan.write.steps.push_back({listAddress, std::move(emptied)});
        for (const auto& [block, bytes] : finalBytes) {
            if (block != listAddress) plan.write.steps.push_back({block, bytes});
        }
    }
    plan.write.steps.push_back({listAddress, listBlock});
    const int count = static_cast<int>(UsablePictures(listBlock.data(), listAddress, m_info.flashTotalSize).size());
    const int total = static_cast<int>(plan.write.steps.size());
    for (int step = 0; step < total; ++step) plan.progress.push_back({{count, step, total}});
    m_recovery.DescribeNewAlbum(plan.record, listBlock.data(), finalBytes);
    return plan;
}

bool CAlbumStore::RestoreAlbum(const RestoreTarget& target) {
    const device::CFrameClaim claim = ClaimFrame(device::ClaimMode::Exclusive);
    if (!m_flash) throw CAlbumError(ErrTransfer);
    if (!m_listLoaded) return false;
    RequireWritableLayout();
    if (m_recovery.Pending()) throw CAlbumError(ErrRecoveryPending);
    if (target.area.size() != uint64_t{m_info.flashTotalSize} - m_info.listAddress) throw CAlbumError(ErrLayout);
    const WriteOutcome outcome = RunPlan([&] { return PlanRestore(target); }, true, nullptr, nullptr);
    if (outcome != WriteOutcome::Written) return false;
    // The album in memory is not the frame's any more: it is read again when needed.
    ResetAlbum();
    return true;
}

}  // namespace fotolume::album
