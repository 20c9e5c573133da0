// The store's plan of a commit or colour write: the write itself, the progress reported before each of its
// steps, and the recovery record that describes it. Internal to the album library.
#pragma once

#include <vector>

#include "album/album_store.h"
#include "album/recovery_record.h"
#include "album/write_plan.h"

namespace fotolume::album {

struct ProgressCall {
    int picture, done, total;
};

struct CAlbumStore::CommitPlan {
    WritePlan write;
    std::vector<std::vector<ProgressCall>> progress;  // one entry per step
    RecoveryRecord record;                            // without its journal, which is write.journal
};

}  // namespace fotolume::album
