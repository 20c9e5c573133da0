// CRecoveryKeeper: the album store's recovery records. It knows the records' folder and the frame's
// identity, whether the frame read last waits to be recovered, and the store's own write that broke off
// (its record file and journal, kept in memory even without a folder); it finds what the records give back
// and collects warnings about them. It reaches the frame only through the FrameAccess it is given.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "album/recovery.h"
#include "album/recovery_record.h"
#include "album/write_plan.h"

namespace fotolume::album {

class CRecoveryKeeper {
public:
    // frame gives the access to the frame as the store knows it now (header values, sums, verified reads).
    explicit CRecoveryKeeper(std::function<FrameAccess()> frame);

    // --- For the programs ------------------------------------------------------------------------------
    // The private folder the records live in; empty (the default) turns them off.
    void SetFolder(const std::filesystem::path& folder) { m_folder = folder; }
    const std::filesystem::path& Folder() const { return m_folder; }
    // After the store read the list: the frame has no valid list and a record of it names pictures the
    // flash still holds. The album in memory is then empty; Find says what can come back. While
    // it is, the store's writes refuse with ErrRecoveryPending: restore first (CAlbumStore::ApplyRecovery),
    // or discard.
    bool Pending() const { return m_pending; }
    // Sets this frame's records aside (renamed "*.discarded"), so that the next edit may write over the
    // interrupted one. Returns how many were set aside.
    int Discard();
    // Whether the last list read found a valid list on the frame (false: it read as empty).
    bool ListValidOnFrame() const { return m_frameListValid; }
    // Checks every picture of the frame's records against the flash (checksum, then a verified read) and
    // returns the best album found; kind None when there is none. Throws CAlbumError.
    RecoveryResult Find();
    // Problems met with records (a damaged record, a folder that cannot be written); one line each.
    std::vector<std::string> TakeWarnings();
    // Bytes of the last recovery record written (0 without records).
    uint64_t LastRecordBytes() const { return m_lastRecordBytes; }

    // --- For the store's writes --------------------------------------------------------------------------
    // A new header was read: another frame may be attached, so its identity is asked again, and a write
    // this store began belongs to the earlier one.
    void FrameChanged();
    // The album in memory was dropped: it is the frame's again once read, so an earlier write that broke
    // off is the records' business now.
    void AlbumDropped();
    // The list just read from the frame: a valid one makes the records that describe it stale; without
    // one, a record whose pictures the flash still holds makes a recovery pending. Throws CAlbumError.
    void CheckListRead(const uint8_t* frameList);
    // The identity of the frame (asked once per header read). Throws CAlbumError.
    FrameIdentity Identity();
    // A write of this store broke off and nothing has finished it yet.
    bool Unfinished() const { return m_unfinished; }

    // The record's identity, time and old album: the frame's list, or the album an unfinished write of this
    // store started from, whose journal write carries on.
    void DescribeOldAlbum(RecoveryRecord& record, WritePlan& write, const uint8_t* frameList);
    // The record's new list (newList) and its pictures as the plan's blocks (finalBytes) and the frame hold
    // them.
    void DescribeNewAlbum(RecoveryRecord& record, const uint8_t* newList,
                          const std::map<uint32_t, std::vector<uint8_t>>& finalBytes);
    // Keeps record with journal on disk before anything is erased. Throws CAlbumError(ErrNoRecord) when it
    // cannot be written: without it an interruption could cost pictures.
    void KeepRecord(RecoveryRecord record, const std::map<uint32_t, std::vector<uint8_t>>& journal);
    // The frame holds a whole album again: this store's own record goes.
    void FinishRecord();
    // Whether result was found on the frame attached now.
    bool BelongsToFrame(const RecoveryResult& result) { return result.identity == Identity(); }
    // Writes what result gives back through writer and, once written, removes its record. False, with
    // nothing written, when its pictures changed since it was found. Throws CAlbumError.
    bool Apply(CPlanWriter& writer, const RecoveryResult& result);

private:
    void ForgetOwnWrite();

    std::function<FrameAccess()> m_frame;
    std::filesystem::path m_folder;  // empty: records are off
    bool m_identityKnown = false;
    FrameIdentity m_identity;
    bool m_frameListValid = true;  // as the last list read found it
    bool m_listChecked = false;    // the album in memory comes from a list CheckListRead saw
    bool m_pending = false;
    // A write of this store broke off: m_ownContent says what it was doing, m_ownRecord is its file (empty
    // without a folder).
    bool m_unfinished = false;
    std::filesystem::path m_ownRecord;
    RecoveryRecord m_ownContent;
    std::vector<std::string> m_warnings;
    uint64_t m_lastRecordBytes = 0;
};

}  // namespace fotolume::album
