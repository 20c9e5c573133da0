// Restoring a backup: the picture list and picture area it gives the frame (nothing below the list is
// ever written), planned and written as a commit is (the store's RestoreAlbum).
#pragma once

#include <cstdint>
#include <vector>

#include "album/backup_image.h"
#include "album/flash_layout.h"

namespace fotolume::album {

// The frame's bytes from L to T-1 as a restore leaves them: the list first, then the picture area.
struct RestoreTarget {
    std::vector<uint8_t> area;
    // The backup holds no valid picture list: the area starts with a new empty one instead.
    bool emptyAlbum = false;
    // Pictures of the backup that lie outside this frame's picture area (only on another layout).
    int droppedPictures = 0;
};

// What restoring backup writes to a frame of layout `frame` (a writable one). On the backup's own layout
// the area is the backup's bytes from L on. On another layout the picture area is carried over from its
// start, as far as it fits, and the list's addresses move with it; pictures that no longer fit are left out.
RestoreTarget MakeRestoreTarget(const BackupImage& backup, const DeviceInfo& frame);

}  // namespace fotolume::album
