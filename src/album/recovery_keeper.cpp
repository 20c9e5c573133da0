// The album store's recovery records: checked when a list is read, kept before a write erases anything,
// removed once the frame holds a whole album again, and the album they give back.
#include "album/recovery_keeper.h"

#include <system_error>

#include "album/album_error.h"
#include "album/commit_record.h"

namespace fotolume::album {

namespace fs = std::filesystem;

CRecoveryKeeper::CRecoveryKeeper(std::function<FrameAccess()> frame) : m_frame(std::move(frame)) {}

std::vector<std::string> CRecoveryKeeper::TakeWarnings() {
    std::vector<std::string> out;
    out.swap(m_warnings);
    return out;
}

void CRecoveryKeeper::ForgetOwnWrite() {
    m_unfinished = false;
    m_ownRecord.clear();
    m_ownContent = RecoveryRecord{};
}

void CRecoveryKeeper::FrameChanged() {
    m_identityKnown = false;
    ForgetOwnWrite();
    m_pending = false;
    m_frameListValid = true;
    m_listChecked = false;
}

void CRecoveryKeeper::AlbumDropped() {
    m_pending = false;
    m_listChecked = false;
    ForgetOwnWrite();
}

// The header values and the frame's own sum of its first block, which no write of ours ever changes.
FrameIdentity CRecoveryKeeper::Identity() {
    if (!m_identityKnown) {
        FrameAccess access = m_frame();
        m_identity = ReadFrameIdentity(access);
        m_identityKnown = true;
    }
    return m_identity;
}

void CRecoveryKeeper::CheckListRead(const uint8_t* frameList) {
    m_pending = false;
    m_frameListValid = IsListValid(frameList);
    if (m_folder.empty() || ListRecordFiles(m_folder).empty()) {
        m_listChecked = true;
        return;
    }
    const FrameIdentity id = Identity();
    if (m_frameListValid) {
        FrameAccess access = m_frame();
        for (const fs::path& removed : RemoveStaleRecords(m_folder, id, frameList, access.info, m_warnings)) {
            if (removed == m_ownRecord) FinishRecord();
        }
        m_listChecked = true;
        return;
    }
    FrameAccess access = m_frame();
    m_pending = FindBestRecovery(access, m_folder, id, false, m_warnings).kind != RecoveryKind::None;
    m_listChecked = true;
}

int CRecoveryKeeper::Discard() {
    if (m_folder.empty() || !m_identityKnown) {
        m_pending = false;
        return 0;
    }
    const int count = SetRecordsAside(m_folder, m_identity, m_warnings);
    // This store's own unfinished write was among them: nothing is carried on from it.
    ForgetOwnWrite();
    m_pending = false;
    return count;
}

RecoveryResult CRecoveryKeeper::Find() {
    if (m_folder.empty() || !m_listChecked || m_frameListValid) return {};
    const FrameIdentity id = Identity();
    FrameAccess access = m_frame();
    return FindBestRecovery(access, m_folder, id, true, m_warnings);
}

bool CRecoveryKeeper::Apply(CPlanWriter& writer, const RecoveryResult& result) {
    FrameAccess access = m_frame();
    if (!ApplyRecoveryResult(writer, access, result)) return false;
    std::error_code ec;
    if (!result.record.empty()) fs::remove(result.record, ec);
    if (result.record == m_ownRecord) FinishRecord();
    return true;
}

void CRecoveryKeeper::DescribeOldAlbum(RecoveryRecord& record, WritePlan& write, const uint8_t* frameList) {
    if (m_unfinished) {
        // An earlier write of this store broke off: the album the frame last held is the one it recorded,
        // and the blocks it may have erased are in its journal, which this write carries on.
        record = m_ownContent;
        record.journal.clear();
        write.journal = m_ownContent.journal;
        write.disturbed = true;
        return;
    }
    if (m_folder.empty()) {
        // No record is kept: the old list alone tells the journal which blocks a stop must put back.
        record.oldList.assign(frameList, frameList + kListSize);
        return;
    }
    FrameAccess access = m_frame();
    album::DescribeOldAlbum(record, access, Identity(), frameList);
}

void CRecoveryKeeper::DescribeNewAlbum(RecoveryRecord& record, const uint8_t* newList,
                                       const std::map<uint32_t, std::vector<uint8_t>>& finalBytes) {
    if (m_folder.empty()) {
        record.newList.assign(newList, newList + kListSize);
        return;
    }
    FrameAccess access = m_frame();
    album::DescribeNewAlbum(record, access, newList, finalBytes);
}

void CRecoveryKeeper::KeepRecord(RecoveryRecord record, const std::map<uint32_t, std::vector<uint8_t>>& journal) {
    m_lastRecordBytes = 0;
    record.journal = journal;
    if (m_folder.empty()) {
        m_unfinished = true;
        m_ownContent = std::move(record);
        return;
    }
    std::string error;
    const fs::path file = StoreRecord(m_folder, m_ownRecord, record, error);
    if (file.empty()) {
        // Without the record an interruption could cost pictures: nothing is erased.
        m_warnings.push_back("no recovery record could be kept: " + error);
        throw CAlbumError(ErrNoRecord);
    }
    std::error_code ec;
    m_lastRecordBytes = fs::file_size(file, ec);
    m_unfinished = true;
    m_ownRecord = file;
    m_ownContent = std::move(record);
}

void CRecoveryKeeper::FinishRecord() {
    std::error_code ec;
    if (!m_ownRecord.empty()) fs::remove(m_ownRecord, ec);
    ForgetOwnWrite();
}

}  // namespace fotolume::album
