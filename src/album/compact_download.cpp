#include "album/compact_download.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "album/commit_record.h"
#include "album/recovery_compact.h"
#include "album/write_plan.h"
#include "device/bytes.h"
#include "device/process_flash.h"

namespace fotolume::album::compact {

namespace fs = std::filesystem;

namespace {

void PutTrailer(uint8_t* list) {
    list[kListSize - 2] = 0x55;
    list[kListSize - 1] = 0xAA;
}

// Slot n (1-based) of list: picture n at address, size bytes.
void WriteSlot(uint8_t* list, int n, uint32_t address, uint32_t size) {
    uint8_t* slot = list + kEntriesOffset + kEntrySize * static_cast<uint32_t>(n - 1);
    slot[0] = 1;
    device::WriteLe24(slot + 1, address);
    slot[4] = 0;
    device::WriteLe24(slot + 5, size);
}

// The download laid out: its steps, and for each step the failure it reports and the progress after it.
struct Layout {
    WritePlan write;
    std::vector<DownloadFailure> failureOf;  // per step
    std::vector<int> percentAfter;           // per step; 0: none
    std::map<uint32_t, std::vector<uint8_t>> present;  // blocks read while planning, as they are now
    DownloadFailure planning = DownloadFailure::Other;   // what a failed read while planning reports
};

void AddStep(Layout& layout, uint32_t block, std::vector<uint8_t> bytes, DownloadFailure failure, int percent) {
    layout.write.steps.push_back({block, std::move(bytes)});
    layout.failureOf.push_back(failure);
    layout.percentAfter.push_back(percent);
}

// The steps of the download from the first block read. data holds the bytes of every picture written, one
// after another, with 1024 spare zero bytes at its end.
void PlanSteps(Layout& layout, CPlanWriter& writer, const DeviceInfo& info, const DownloadPlan& plan,
               const std::vector<uint8_t>& data, const uint8_t* newList) {
    const uint32_t listAddress = info.listAddress;
    layout.write.listBlock = listAddress;
    const std::vector<uint8_t> original = writer.ReadBlock(listAddress);
    layout.present[listAddress] = original;

    // The frame's list loses its entries and trailer until the list block is written at the end.
    std::vector<uint8_t> emptied = original;
    std::fill(emptied.begin() + 15, emptied.begin() + kListSize - 1, 0);
    AddStep(layout, listAddress, emptied, DownloadFailure::Other, 0);

    std::vector<uint8_t> listBlock = emptied;
    if (plan.total > 0) {
        uint32_t position = plan.start;
        uint32_t done = 0;
        if (plan.start == listAddress + kListSize) {
            // The first data goes into the list block, which holds nothing else then.
            std::fill(listBlock.begin(), listBlock.end(), 0);
            done = std::min(plan.total, kBlockSize - kListSize);
            std::memcpy(listBlock.data() + kListSize, data.data(), done);
        } else if (plan.start < listAddress + kBlockSize) {
            done = std::min(listAddress + kBlockSize - plan.start, plan.total);
            std::memcpy(listBlock.data() + (plan.start - listAddress), data.data(), done);
        }
        position += done;
        if (position % kBlockSize != 0 && done < plan.total) {
            // Up to the next block boundary, merged into the block it starts in.
            const uint32_t block = position - position % kBlockSize;
            const uint32_t piece = std::min(kBlockSize - position % kBlockSize, plan.total - done);
            layout.planning = DownloadFailure::StreamOrFirstBlock;
            std::vector<uint8_t> bytes = writer.ReadBlock(block);
            layout.planning = DownloadFailure::Other;
            layout.present[block] = bytes;
            std::memcpy(bytes.data() + (position - block), data.data() + done, piece);
            AddStep(layout, block, std::move(bytes), DownloadFailure::StreamOrFirstBlock, 0);
            done += piece;
            position += piece;
        }
        const uint32_t remaining = plan.total - done;
        const uint32_t blocks = (remaining + kBlockSize - 1) / kBlockSize;
        for (uint32_t i = 0; i < blocks; ++i) {
            const bool last = i + 1 == blocks;
            // The last block goes out in whole kilobytes; the spare bytes of data cover that.
            const uint32_t length = last ? (remaining - i * kBlockSize + 1023) / 1024 * 1024 : kBlockSize;
            std::vector<uint8_t> bytes(data.begin() + done, data.begin() + done + length);
            AddStep(layout, position, std::move(bytes), last ? DownloadFailure::LastBlock : DownloadFailure::Other,
                    static_cast<int>(30 + 60 * (i + 1) / blocks));
            done += kBlockSize;
            position += kBlockSize;
        }
    }
    std::memcpy(listBlock.data(), newList, kListSize);
    AddStep(layout, listAddress, listBlock, DownloadFailure::Other, 99);
}

// The journal of the blocks the steps erase, and the record that describes the download (when a folder is
// given). Returns the record's path. Throws CAlbumError (ErrNoRecord when it cannot be written).
fs::path KeepRecord(device::CProcessFlash& flash, const DeviceInfo& info, Layout& layout, const uint8_t* newList,
                    const fs::path& folder, std::vector<std::string>& warnings) {
    std::vector<uint32_t> erased;
    for (const BlockWrite& step : layout.write.steps) erased.push_back(step.address);
    const std::vector<uint8_t>& listBlock = layout.present.at(info.listAddress);
    JournalBlocks(layout.write.journal, listBlock.data(), info, erased, [&](uint32_t block) {
        auto it = layout.present.find(block);
        if (it != layout.present.end()) return it->second;
        std::vector<uint8_t> bytes(kBlockSize, 0);
        const int result = ReadVerifiedPiece(flash, FlashStyle::Compact, block, kBlockSize, bytes.data());
        if (result != 0) throw CAlbumError(result);
        return bytes;
    });
    if (folder.empty()) return {};
    FrameAccess access = RecoveryAccess(flash, info);
    RecoveryRecord record;
    DescribeOldAlbum(record, access, ReadFrameIdentity(access), listBlock.data());
    std::map<uint32_t, std::vector<uint8_t>> finalBytes;
    for (const BlockWrite& step : layout.write.steps) finalBytes[step.address] = step.bytes;
    DescribeNewAlbum(record, access, newList, finalBytes);
    record.journal = layout.write.journal;
    std::string error;
    const fs::path file = StoreRecord(folder, {}, record, error);
    if (file.empty()) {
        // Without the record an interruption could cost pictures: nothing is erased.
        warnings.push_back("no recovery record could be kept: " + error);
        throw CAlbumError(ErrNoRecord);
    }
    return file;
}

}  // namespace

DownloadResult DownloadAlbum(device::CProcessFlash& flash, const DeviceInfo& info, uint8_t list[kListSize],
                             const DownloadRequest& request) {
    DownloadResult result;
    auto progress = [&](int percent) {
        if (request.progress && percent > 0) request.progress(percent);
    };
    // A chip-erase opcode would take the frame's own region with the list; such a frame is not written.
    if (!LayoutProblem(info).empty() || !EraseOpcodeUsable(flash.EraseOpcode())) {
        result.failure = DownloadFailure::NotWritable;
        return result;
    }
    const DownloadPlan plan = GetStartAddAndTotalDownSize(request.pictures, list, info);
    result.plan = plan;

    // Every stream is read before the frame is touched; their list entries follow one another from start.
    std::vector<uint8_t> data(plan.total + 1024, 0);
    uint8_t newList[kListSize];
    std::memcpy(newList, list, kListSize);
    uint32_t gathered = 0;
    const int count = static_cast<int>(request.pictures.size());
    for (int n = plan.first; n <= count; ++n) {
        const uint32_t size = request.pictures[static_cast<size_t>(n - 1)].size;
        if (gathered + size > plan.total || !request.readStream(n - 1, data.data() + gathered, size)) {
            result.failure = DownloadFailure::StreamOrFirstBlock;
            return result;
        }
        WriteSlot(newList, n, plan.start + gathered, size);
        gathered += size;
    }
    if (plan.total == 0 || newList[1] != 0) PutTrailer(newList);

    CPlanWriter writer(flash, FlashStyle::Compact, {info.listAddress, info.flashTotalSize});
    Layout layout;
    fs::path record;
    bool planned = false;
    size_t failedStep = 0;
    // A failed command is tried again from memory: planning until it has read what it needs, then the
    // plan from its start (leaving out what is written already).
    for (int attempt = 1;; ++attempt) {
        try {
            if (!planned) {
                layout = Layout{};
                PlanSteps(layout, writer, info, plan, data, newList);
                record = KeepRecord(flash, info, layout, newList, request.recoveryFolder, result.warnings);
                planned = true;
                if (plan.total > 0) {
                    progress(10);
                    progress(20);
                }
            }
            writer.Run(layout.write, nullptr, [&](size_t step) {
                failedStep = step;
                if (step > 0) progress(layout.percentAfter[step - 1]);
            });
            break;
        } catch (const CAlbumError& e) {
            if (RetryableError(e.Code()) && attempt < kWriteAttempts) {
                writer.WakeUp();
                continue;
            }
            result.blocksWritten = writer.BlocksWritten();
            result.frameTouched = result.blocksWritten > 0;
            if (!result.frameTouched) RemoveRecoveryRecord(record);
            result.failure = e.Code() == ErrNoRecord ? DownloadFailure::Other
                             : !planned             ? layout.planning
                                                    : layout.failureOf[failedStep];
            return result;
        }
    }
    result.blocksWritten = writer.BlocksWritten();
    RemoveRecoveryRecord(record);
    std::memcpy(list, newList, kListSize);
    progress(99);
    return result;
}

}  // namespace fotolume::album::compact
