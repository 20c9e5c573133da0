// Adding one picture to the album at the highest quality step whose stream fits the free space. The
// caller encodes; the store takes the stream file. Fotolume, the command line and the demo frame add
// through here; MacFotolume sets budgets of its own and walks them with FitToBudget.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "album/budget_fit.h"

namespace fotolume::album {

class CAlbumStore;

enum class AddStatus {
    Added,
    AlbumFull,     // no room for one more picture: the maximum count, 509 pictures, or no free bytes
    TooLarge,      // even the last quality step gives a stream larger than the free space
    EncodeFailed,  // the encoder gave no stream (unreadable bitmap, no quality step to try)
    Refused,       // the store refused a stream that fits (the stream file could not be read)
};

struct AddResult {
    AddStatus status = AddStatus::EncodeFailed;
    int quality = 0;           // quality of the last stream encoded (the one added, when added)
    std::size_t bytes = 0;     // its size
    uint32_t freeSpace = 0;    // GetFreeSpaceForPicture before the add
    bool Added() const { return status == AddStatus::Added; }
};

// FitToBudget with the free space of one picture as the budget (90, 80, ... 10 from 90); the stream
// that fits is appended from streamPath. Nothing is encoded
// when the album cannot take any picture. A first quality below 1 tries nothing: a stream file left
// from an earlier add must never be appended as this picture.
AddResult AddPictureFile(CAlbumStore& store, const std::string& streamPath, int firstQuality,
                         const EncodeAtQuality& encode);

}  // namespace fotolume::album
