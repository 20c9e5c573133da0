// Finding an album again after an interrupted write: what the recovery operations report and write.
//
// With a recovery folder set, every write (a commit, a colour write, a download) first leaves a recovery
// record there, with the journal of the blocks it erases, and removes it once the frame holds a whole album
// again. A frame read later with no valid list is checked against the records of its identity: the new
// album is finished when all of its pictures are whole on the flash; otherwise the journal puts the old
// album back exactly. Only a record whose journal is missing or damaged falls back to the old list when all
// of its pictures are whole, else to the whole pictures of either album.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "album/flash_layout.h"
#include "album/picture_list.h"
#include "album/recovery_record.h"
#include "album/write_plan.h"

namespace fotolume::album {

enum class RecoveryKind {
    None,            // nothing to restore
    NewAlbum,        // the album the interrupted commit was writing, complete
    OldAlbum,        // the album the frame held before it, complete
    IntactPictures,  // the pictures of either album whose data is whole
};

// "nothing", "the new album", "the old album", "the pictures that are whole".
const char* RecoveryKindName(RecoveryKind kind);

// One picture of the record's lists, as found on the flash.
struct CheckedPicture {
    RecordedPicture picture;
    bool inNewList = false;
    bool inOldList = false;
    bool intact = false;
};

struct RecoveryResult {
    RecoveryKind kind = RecoveryKind::None;
    int recordsChecked = 0;        // records of this frame that were compared with the flash
    std::filesystem::path record;  // the record file it comes from
    FrameIdentity identity;
    uint64_t writtenAt = 0;
    int newCount = 0;  // pictures of the new list
    int oldCount = 0;  // pictures of the old list (0 when it was not known)
    std::vector<CheckedPicture> checked;    // the new list's pictures, then those only in the old list
    std::vector<RecordedPicture> pictures;  // the album ApplyRecovery writes, in list order
    std::vector<uint8_t> list;              // its 4096-byte picture list
    // The old album comes back through the journal's blocks, not through a list write.
    bool fromJournal = false;
    std::map<uint32_t, std::vector<uint8_t>> journal;
    // Why only a list can be written ("its journal is damaged", "it keeps no journal"); empty otherwise.
    std::string note;
};

// What checking records needs from a frame.
struct FrameAccess {
    DeviceInfo info;
    // The frame's 16-bit byte sum of a range; throws CAlbumError when the query fails.
    std::function<uint16_t(uint32_t address, uint32_t length)> sum;
    // A verified read of a range into out; false when the bytes never read back the same. Throws
    // CAlbumError when the frame is gone.
    std::function<bool(uint32_t address, uint32_t length, uint8_t* out)> read;
};

// The entries of a list that are pictures inside the picture area, in list order; none for an invalid list.
std::vector<PicEntry> UsablePictures(const uint8_t* list, uint32_t listAddress, uint32_t flashTotalSize);

// The identity of the frame behind access (one checksum query over its first 64 KB).
FrameIdentity ReadFrameIdentity(FrameAccess& access);

// Whether a recorded picture is on the flash as recorded: the frame's sum, then (readBack) a verified
// read whose bytes give the recorded sum and CRC.
bool PictureIntact(FrameAccess& access, const RecordedPicture& picture, bool readBack);

// The best album the flash still holds of one record.
RecoveryResult EvaluateRecord(FrameAccess& access, const RecoveryRecord& record, bool readBack);

// The best album of all of the folder's records for this frame (identity), checked with readBack;
// kind None when there is none. Damaged records are set aside with a warning.
RecoveryResult FindBestRecovery(FrameAccess& access, const std::filesystem::path& folder, const FrameIdentity& identity,
                                bool readBack, std::vector<std::string>& warnings);

// With a valid list on the frame: removes the folder's records of this frame that describe exactly that
// album (records of another frame with the same identity stay). Returns the paths removed.
std::vector<std::filesystem::path> RemoveStaleRecords(const std::filesystem::path& folder, const FrameIdentity& identity,
                                                      const uint8_t* frameList, const DeviceInfo& info,
                                                      std::vector<std::string>& warnings);

// Writes what result gives back: the journal's blocks, or the list into the list block (when the pictures it
// names still add up as they did when the result was found; false, with nothing written, otherwise). Throws
// CAlbumError when the frame keeps failing.
bool ApplyRecoveryResult(CPlanWriter& writer, FrameAccess& access, const RecoveryResult& result);

// Gives up the interrupted writes of this frame (identity): its records in folder are renamed "*.discarded",
// so that nothing offers them again and the next write may go over them. Returns how many were set aside;
// problems gets one line for each that could not be.
int SetRecordsAside(const std::filesystem::path& folder, const FrameIdentity& identity,
                    std::vector<std::string>& problems);

}  // namespace fotolume::album
