// The album store's recovery operations: records found when a frame is read, and the album they give back.
#include <algorithm>
#include <system_error>

#include "album/album_store.h"
#include "device/process_flash.h"

namespace fotolume::album {

namespace fs = std::filesystem;

void CAlbumStore::SetRecoveryFolder(const fs::path& folder) { m_recovery.folder = folder; }

std::vector<std::string> CAlbumStore::TakeRecoveryWarnings() {
    std::vector<std::string> out;
    out.swap(m_recovery.warnings);
    return out;
}

void CAlbumStore::Warn(std::string text) { m_recovery.warnings.push_back(std::move(text)); }

// The header values and the frame's own sum of its first block, which no write of ours ever changes.
FrameIdentity CAlbumStore::CurrentIdentity() {
    if (!m_recovery.identityKnown) {
        FrameAccess access = Access();
        m_recovery.identity = ReadFrameIdentity(access);
        m_recovery.identityKnown = true;
    }
    return m_recovery.identity;
}

FrameAccess CAlbumStore::Access() {
    FrameAccess access;
    access.info = m_info;
    access.sum = [this](uint32_t address, uint32_t length) { return FrameRangeSum(address, length); };
    access.read = [this](uint32_t address, uint32_t length, uint8_t* out) {
        try {
            ReadFlashData(address, length, out);
        } catch (const CAlbumError& e) {
            if (e.Code() == ErrChecksumMismatch) return false;
            throw;
        }
        return true;
    };
    return access;
}

// The frame's byte sum of any range, asked 64 KB at a time (byte sums add up modulo 65536).
uint16_t CAlbumStore::FrameRangeSum(uint32_t address, uint32_t length) {
    if (!m_flash) throw CAlbumError(ErrTransfer);
    uint32_t sum = 0;
    for (uint32_t done = 0; done < length;) {
        const uint32_t piece = std::min(length - done, kBlockSize - (address + done) % kBlockSize);
        uint8_t high = 0, low = 0;
        if (!m_flash->GetVerifyValue(high, low, address + done, piece)) throw CAlbumError(ErrChecksumQuery);
        sum += uint32_t{high} << 8 | low;
        done += piece;
    }
    return static_cast<uint16_t>(sum);
}

// After the list was read: a valid list makes the records that describe it stale; without one, a record
// whose pictures the flash still holds makes a recovery pending.
void CAlbumStore::CheckRecoveryOnLoad(const uint8_t* frameList) {
    m_recovery.pending = false;
    m_recovery.frameListValid = IsListValid(frameList);
    if (m_recovery.folder.empty() || ListRecordFiles(m_recovery.folder).empty()) return;
    const FrameIdentity id = CurrentIdentity();
    if (m_recovery.frameListValid) {
        for (const fs::path& removed : RemoveStaleRecords(m_recovery.folder, id, frameList, m_info, m_recovery.warnings)) {
            if (removed == m_recovery.ownRecord) FinishRecoveryRecord();
        }
        return;
    }
    FrameAccess access = Access();
    m_recovery.pending =
        FindBestRecovery(access, m_recovery.folder, id, false, m_recovery.warnings).kind != RecoveryKind::None;
}

int CAlbumStore::DiscardRecovery() {
    if (m_recovery.folder.empty() || !m_recovery.identityKnown) {
        m_recovery.pending = false;
        return 0;
    }
    const int count = SetRecordsAside(m_recovery.folder, m_recovery.identity, m_recovery.warnings);
    // This store's own unfinished write was among them: nothing is carried on from it.
    m_recovery.ownRecord.clear();
    m_recovery.unfinished = false;
    m_recovery.ownContent = RecoveryRecord{};
    m_recovery.pending = false;
    return count;
}

RecoveryResult CAlbumStore::FindRecovery() {
    if (m_recovery.folder.empty() || !m_listLoaded || m_recovery.frameListValid) return {};
    const FrameIdentity id = CurrentIdentity();
    FrameAccess access = Access();
    return FindBestRecovery(access, m_recovery.folder, id, true, m_recovery.warnings);
}

bool CAlbumStore::ApplyRecovery(const RecoveryResult& result) {
    const device::CFrameClaim claim = ClaimFrame(device::ClaimMode::Exclusive);
    if (!m_flash) throw CAlbumError(ErrTransfer);
    if (result.kind == RecoveryKind::None || !m_listLoaded || result.list.size() != kListSize ||
        (!result.fromJournal && !IsListValid(result.list.data()))) {
        return false;
    }
    RequireWritableLayout();
    if (result.identity != CurrentIdentity()) return false;
    FrameAccess access = Access();
    CPlanWriter writer(*m_flash, FlashStyle::Full, Window());
    const bool applied = ApplyRecoveryResult(writer, access, result);
    m_lastWriteBlocks = writer.BlocksWritten();
    if (!applied) return false;
    m_unknownBlocks.clear();
    std::error_code ec;
    if (!result.record.empty()) fs::remove(result.record, ec);
    if (result.record == m_recovery.ownRecord) FinishRecoveryRecord();
    ReadPictureList();
    return true;
}

}  // namespace fotolume::album
