// The writer of plans: steps in order with verification, stop handling, and the journal put back.
#include <algorithm>
#include <cstring>

#include "album/album_error.h"
#include "album/flash_layout.h"
#include "album/write_plan.h"
#include "device/checksum.h"
#include "device/process_flash.h"

namespace fotolume::album {

bool RetryableError(int code) {
    return code == ErrChecksumQuery || code == ErrChecksumMismatch || code == ErrTransfer;
}

CPlanWriter::CPlanWriter(device::CProcessFlash& flash, FlashStyle style, WriteWindow window)
    : m_flash(flash), m_style(style), m_window(window) {}

const std::vector<uint8_t>* CPlanWriter::KnownBytes(uint32_t block) const {
    auto it = m_known.find(block);
    return it == m_known.end() ? nullptr : &it->second;
}

bool CPlanWriter::Holds(uint32_t block, const std::vector<uint8_t>& bytes) const {
    const std::vector<uint8_t>* known = KnownBytes(block);
    return known != nullptr && *known == bytes;
}

void CPlanWriter::WriteBlock(uint32_t block, const std::vector<uint8_t>& bytes) {
    m_known.erase(block);
    const int result = WriteVerifiedBlock(m_flash, m_style, m_window, block, bytes.data(),
                                          static_cast<uint32_t>(bytes.size()));
    // A refused block was never touched; any other failure may have left it half erased.
    if (result == ErrLayout) throw CAlbumError(result);
    ++m_blocksWritten;
    if (result != 0) {
        m_unknown.insert(block);
        throw CAlbumError(result);
    }
    m_unknown.erase(block);
    m_known[block] = bytes;
}

std::vector<uint8_t> CPlanWriter::ReadBlock(uint32_t block) {
    std::vector<uint8_t> bytes(kBlockSize, 0);
    const int result = ReadVerifiedPiece(m_flash, m_style, block, kBlockSize, bytes.data());
    if (result != 0) throw CAlbumError(result);
    return bytes;
}

void CPlanWriter::WakeUp() { m_flash.FlashWakeUp(); }

bool CPlanWriter::FrameHolds(uint32_t block, const std::vector<uint8_t>& bytes) {
    uint8_t high = 0, low = 0;
    if (!m_flash.GetVerifyValue(high, low, block, static_cast<uint32_t>(bytes.size()))) {
        throw CAlbumError(ErrChecksumQuery);
    }
    if (static_cast<uint16_t>(high << 8 | low) != device::ByteSum16(bytes.data(), bytes.size())) return false;
    // Equal sums are not equal bytes: a block cut off while it was written can still add up.
    return ReadBlock(block) == bytes;
}

WriteOutcome CPlanWriter::Run(const WritePlan& plan, const std::function<bool()>& stop,
                              const std::function<void(size_t)>& beforeStep) {
    for (size_t i = 0; i < plan.steps.size(); ++i) {
        const BlockWrite& step = plan.steps[i];
        if (Holds(step.address, step.bytes)) continue;
        if (stop && stop()) {
            const bool touched = !m_known.empty() || !m_unknown.empty();
            if (!touched && !plan.disturbed) return WriteOutcome::NotStarted;
            size_t left = 0;
            for (size_t k = i; k < plan.steps.size(); ++k) left += Holds(plan.steps[k].address, plan.steps[k].bytes) ? 0 : 1;
            // With only the list left, finishing is the shorter way to a whole album.
            if (left != 1 || i + 1 != plan.steps.size()) {
                std::map<uint32_t, std::vector<uint8_t>> back;
                for (const auto& [block, bytes] : plan.journal) {
                    if (plan.disturbed || m_unknown.count(block) != 0 || m_known.count(block) != 0) back.emplace(block, bytes);
                }
                RestoreJournal(back, plan.listBlock);
                return WriteOutcome::RolledBack;
            }
        }
        if (beforeStep) beforeStep(i);
        WriteBlock(step.address, step.bytes);
    }
    return WriteOutcome::Written;
}

void CPlanWriter::RestoreJournal(const std::map<uint32_t, std::vector<uint8_t>>& journal, uint32_t listBlock) {
    auto restore = [&](uint32_t block, const std::vector<uint8_t>& bytes) {
        if (Holds(block, bytes)) return;
        if (m_unknown.count(block) == 0 && m_known.count(block) == 0 && FrameHolds(block, bytes)) {
            m_known[block] = bytes;
            return;
        }
        WriteBlock(block, bytes);
    };
    for (const auto& [block, bytes] : journal) {
        if (block != listBlock) restore(block, bytes);
    }
    if (auto it = journal.find(listBlock); it != journal.end()) restore(listBlock, it->second);
}

void CPlanWriter::WriteListBlock(uint32_t listBlock, const uint8_t* list) {
    std::vector<uint8_t> block;
    if (const std::vector<uint8_t>* known = KnownBytes(listBlock); known != nullptr && known->size() == kBlockSize) {
        block = *known;
    } else {
        block = ReadBlock(listBlock);
    }
    std::memcpy(block.data(), list, kListSize);
    if (!Holds(listBlock, block)) WriteBlock(listBlock, block);
}

}  // namespace fotolume::album
