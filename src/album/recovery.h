// Finding an album again after an interrupted commit: what the store's recovery operations report.
//
// With a recovery folder set, every commit (and every colour write, which rewrites the list block too)
// first leaves a recovery record there and removes it once the list is written. A frame read later with
// no valid list is checked against the records of its identity: each recorded picture is compared with
// the flash, and the best album the flash still holds is offered: the new list when all of its pictures
// are whole, else the old list when all of its pictures are whole, else the whole pictures of either.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "album/recovery_record.h"

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
    std::filesystem::path record;  // the record file it comes from
    FrameIdentity identity;
    uint64_t writtenAt = 0;
    int newCount = 0;  // pictures of the new list
    int oldCount = 0;  // pictures of the old list (0 when it was not known)
    std::vector<CheckedPicture> checked;    // the new list's pictures, then those only in the old list
    std::vector<RecordedPicture> pictures;  // the album ApplyRecovery writes, in list order
    std::vector<uint8_t> list;              // its 4096-byte picture list
};

// The store's bookkeeping for records; reset by every header read.
struct RecoveryState {
    std::filesystem::path folder;  // empty: records are off
    bool identityKnown = false;
    FrameIdentity identity;
    bool frameListValid = true;  // as the last list read found it
    bool pending = false;
    std::filesystem::path ownRecord;  // the record of this store's unfinished commit
    RecoveryRecord ownContent;
    std::vector<std::string> warnings;
};

}  // namespace fotolume::album
