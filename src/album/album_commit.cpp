// The commit: planned in full from the album in memory and the blocks it merges into, recorded with its
// journal, then written with the frame's list emptied first and the new list written last. Also the colour
// write, and the write of what a recovery record gives back.
#include <algorithm>
#include <cstring>
#include <optional>

#include "album/album_store.h"
#include "album/commit_plan.h"
#include "album/commit_record.h"
#include "device/process_flash.h"

namespace fotolume::album {

namespace {

// The progress of the data write: before each block, the pictures that start in it, or the one whose data
// runs on into it. Reported as (picture number, bytes of the range written before the block, range length).
class DataProgress {
public:
    DataProgress(const uint8_t* list, int count, uint32_t rangeLength) : m_total(static_cast<int>(rangeLength)) {
        for (int slot = 0; slot < count; ++slot) m_marks.push_back({ReadEntry(list, slot).address, slot});
        std::stable_sort(m_marks.begin(), m_marks.end(), [](const Mark& a, const Mark& b) { return a.address < b.address; });
    }
    std::vector<ProgressCall> Block(uint32_t low, uint32_t high, uint32_t done) {
        std::vector<ProgressCall> calls;
        for (; m_next < m_marks.size() && m_marks[m_next].address < high; ++m_next) {
            m_current = m_marks[m_next].slot;
            if (m_marks[m_next].address >= low) calls.push_back({m_current + 1, static_cast<int>(done), m_total});
        }
        if (calls.empty() && m_current >= 0) calls.push_back({m_current + 1, static_cast<int>(done), m_total});
        return calls;
    }

private:
    struct Mark {
        uint32_t address;
        int slot;
    };
    std::vector<Mark> m_marks;
    size_t m_next = 0;
    int m_current = -1;
    int m_total;
};

}  // namespace

WriteWindow CAlbumStore::Window() const { return {m_info.listAddress, m_info.flashTotalSize}; }

std::vector<uint8_t> CAlbumStore::BlockBase(uint32_t block) {
    if (auto it = m_unknownBlocks.find(block); it != m_unknownBlocks.end()) return it->second;
    std::vector<uint8_t> bytes(kBlockSize, 0);
    ReadFlashData(block, kBlockSize, bytes.data());
    return bytes;
}

CAlbumStore::CommitPlan CAlbumStore::PlanCommit() {
    const uint32_t listAddress = m_info.listAddress;
    const uint32_t areaStart = listAddress + kListSize;
    const uint32_t dataStart = areaStart + m_committedLength;
    const uint32_t dataEnd = areaStart + m_usedLength;
    CommitPlan plan;
    plan.write.listBlock = listAddress;

    // The blocks the data is merged into, as they are now; each is read once.
    std::map<uint32_t, std::vector<uint8_t>> base;
    auto baseOf = [&](uint32_t block) -> const std::vector<uint8_t>& {
        auto it = base.find(block);
        if (it == base.end()) it = base.emplace(block, BlockBase(block)).first;
        return it->second;
    };
    const std::vector<uint8_t> frameBlock = baseOf(listAddress);
    // Another program's commit since this store read the frame would be lost under this one.
    if (!m_recovery.Unfinished() && m_frameList.size() == kListSize &&
        !std::equal(m_frameList.begin(), m_frameList.end(), frameBlock.begin())) {
        throw CAlbumError(ErrFrameChanged);
    }
    m_recovery.DescribeOldAlbum(plan.record, plan.write, frameBlock.data());

    std::map<uint32_t, std::vector<uint8_t>> finalBytes;
    for (uint32_t block = dataStart - dataStart % kBlockSize; block < dataEnd; block += kBlockSize) {
        const uint32_t from = std::max(block, dataStart), to = std::min(block + kBlockSize, dataEnd);
        std::vector<uint8_t> bytes = from == block && to == block + kBlockSize ? std::vector<uint8_t>(kBlockSize)
                                                                               : baseOf(block);
        std::memcpy(bytes.data() + (from - block), m_dataImage.data() + (from - areaStart), to - from);
        finalBytes[block] = std::move(bytes);
    }
    if (finalBytes.count(listAddress) == 0) finalBytes[listAddress] = frameBlock;

    // Every block the commit erases that holds a picture of the old album goes into the journal; so does
    // the list block, whatever it holds.
    std::vector<uint32_t> erased;
    for (const auto& entry : finalBytes) erased.push_back(entry.first);
    JournalBlocks(plan.write.journal, plan.record.oldList.data(), m_info, erased,
                  [&](uint32_t block) { return block == listAddress ? frameBlock : baseOf(block); });

    // The list block loses its list first (with the new data it carries, if any), the data blocks follow
    // in address order, and the list block is written again last with the new list.
    DataProgress progress(m_pictureList.data(), m_pictureCount, m_usedLength - m_committedLength);
    auto blockProgress = [&](uint32_t block, std::vector<ProgressCall> calls) {
        const uint32_t low = std::max(block, dataStart);
        for (const ProgressCall& call : progress.Block(low, std::min(block + kBlockSize, dataEnd), low - dataStart)) {
            calls.push_back(call);
        }
        return calls;
    };
    std::vector<uint8_t>& listBlock = finalBytes[listAddress];
    if (dataEnd > dataStart) {
        std::vector<uint8_t> emptied = listBlock;
        std::fill(emptied.begin(), emptied.begin() + kListSize, 0xFF);
        plan.write.steps.push_back({listAddress, std::move(emptied)});
        const bool dataInListBlock = dataStart < listAddress + kBlockSize;
        plan.progress.push_back(dataInListBlock ? blockProgress(listAddress, {{m_pictureCount, 3, 100}})
                                                : std::vector<ProgressCall>{{m_pictureCount, 3, 100}});
        for (const auto& [block, bytes] : finalBytes) {
            if (block == listAddress) continue;
            plan.write.steps.push_back({block, bytes});
            plan.progress.push_back(blockProgress(block, {}));
        }
    }
    std::memcpy(listBlock.data(), m_pictureList.data(), kListSize);
    plan.write.steps.push_back({listAddress, listBlock});
    plan.progress.push_back({{m_pictureCount, 99, 100}});
    m_recovery.DescribeNewAlbum(plan.record, listBlock.data(), finalBytes);
    return plan;
}

CAlbumStore::CommitPlan CAlbumStore::PlanColors(uint16_t font, uint16_t background) {
    const uint32_t listAddress = m_info.listAddress;
    CommitPlan plan;
    plan.write.listBlock = listAddress;
    const std::vector<uint8_t> frameBlock = BlockBase(listAddress);
    m_recovery.DescribeOldAlbum(plan.record, plan.write, frameBlock.data());
    std::vector<uint8_t> block = frameBlock;
    if (IsListValid(block.data())) {
        SetListColors(block.data(), font, background);  // the entries stay as they are on the frame
    } else {
        InitEmptyList(block.data(), background, font);  // an erased or damaged list becomes a clean empty one
    }
    JournalBlocks(plan.write.journal, plan.record.oldList.data(), m_info, {listAddress},
                  [&](uint32_t) { return frameBlock; });
    plan.write.steps.push_back({listAddress, block});
    plan.progress.emplace_back();
    m_recovery.DescribeNewAlbum(plan.record, block.data(), {{listAddress, block}});
    return plan;
}

WriteOutcome CAlbumStore::RunPlan(const std::function<CommitPlan()>& make, bool stoppable,
                                  const std::function<void()>& recorded, std::vector<uint8_t>* written) {
    std::optional<CommitPlan> plan;
    CPlanWriter writer(*m_flash, FlashStyle::Full, Window());
    auto stop = [this] { return StopRequested(); };
    for (int attempt = 1;; ++attempt) {
        try {
            m_flash->FlashWakeUp();
            if (!plan) {
                plan = make();
                if (plan->write.steps.empty()) {
                    // The frame holds it already: nothing to record, nothing to erase.
                    m_lastWriteBlocks = 0;
                    if (written) *written = plan->record.newList;
                    return WriteOutcome::Written;
                }
                m_recovery.KeepRecord(plan->record, plan->write.journal);
                if (recorded) recorded();
            }
            const WriteOutcome outcome =
                writer.Run(plan->write, stoppable ? std::function<bool()>(stop) : nullptr, [&](size_t step) {
                    for (const ProgressCall& call : plan->progress[step]) Report(call.picture, call.done, call.total);
                });
            m_lastWriteBlocks = writer.BlocksWritten();
            for (const BlockWrite& step : plan->write.steps) m_unknownBlocks.erase(step.address);
            if (written) *written = plan->record.newList;
            // Old or new, the frame holds a whole album again.
            m_recovery.FinishRecord();
            return outcome;
        } catch (const CAlbumError& e) {
            m_lastWriteBlocks = writer.BlocksWritten();
            // What those blocks were meant to hold is what the next commit builds on.
            if (plan) {
                for (uint32_t block : writer.UnknownBlocks()) {
                    for (const BlockWrite& step : plan->write.steps) {
                        if (step.address == block) m_unknownBlocks[block] = step.bytes;
                    }
                }
            }
            if (!RetryableError(e.Code()) || attempt >= kWriteAttempts) throw;
        }
    }
}

bool CAlbumStore::CommitAlbum() {
    const device::CFrameClaim claim = ClaimFrame(device::ClaimMode::Exclusive);
    if (!m_flash) throw CAlbumError(ErrTransfer);
    if (!m_listLoaded) return false;
    // Checked before anything is read or erased: the list block must lie above the frame's own region.
    RequireWritableLayout();
    if (m_recovery.Pending()) throw CAlbumError(ErrRecoveryPending);
    const bool data = m_usedLength != m_committedLength;
    if (data) Report(m_pictureCount, 1, 100);
    std::vector<uint8_t> written;
    const WriteOutcome outcome = RunPlan([this] { return PlanCommit(); }, true,
                                         [&] {
                                             if (data) Report(m_pictureCount, 2, 100);
                                         },
                                         &written);
    if (outcome != WriteOutcome::Written) return false;
    m_committedLength = m_usedLength;
    m_frameList = written;
    return true;
}

void CAlbumStore::SetColors(uint16_t font, uint16_t background) {
    const device::CFrameClaim claim = ClaimFrame(device::ClaimMode::Exclusive);
    if (!m_flash) throw CAlbumError(ErrTransfer);
    RequireWritableLayout();
    if (m_recovery.Pending()) throw CAlbumError(ErrRecoveryPending);
    SetListColors(m_pictureList.data(), font, background);
    m_font = font;
    m_background = background;
    // An unfinished commit of this store left the frame without a valid list: finishing it writes the
    // colours too, where writing them alone would make an empty album of the pictures it was writing.
    if (m_recovery.Unfinished() && m_listLoaded) {
        CommitAlbum();
        return;
    }
    std::vector<uint8_t> written;
    RunPlan([&] { return PlanColors(font, background); }, false, nullptr, &written);
    m_frameList = written;
}

bool CAlbumStore::ApplyRecovery(const RecoveryResult& result) {
    const device::CFrameClaim claim = ClaimFrame(device::ClaimMode::Exclusive);
    if (!m_flash) throw CAlbumError(ErrTransfer);
    if (result.kind == RecoveryKind::None || !m_listLoaded || result.list.size() != kListSize ||
        (!result.fromJournal && !IsListValid(result.list.data()))) {
        return false;
    }
    RequireWritableLayout();
    if (!m_recovery.BelongsToFrame(result)) return false;
    CPlanWriter writer(*m_flash, FlashStyle::Full, Window());
    const bool applied = m_recovery.Apply(writer, result);
    m_lastWriteBlocks = writer.BlocksWritten();
    if (!applied) return false;
    m_unknownBlocks.clear();
    ReadPictureList();
    return true;
}

}  // namespace fotolume::album
