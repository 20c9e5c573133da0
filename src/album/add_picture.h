// Adding one picture to the album at the highest quality step whose stream fits the free space. The
// caller encodes; the store takes the stream file. Shared by every program that adds pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace fotolume::album {

class CAlbumStore;

// Encodes the picture at quality into the stream file the caller gave AddPictureFile; returns the
// stream's size in bytes, 0 when encoding failed.
using EncodeAtQuality = std::function<std::size_t(int quality)>;

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

// The first quality step tried, then 10 lower per try while the stream is larger than the free space
// (90, 80, ... 10 from 90); the first stream that fits is appended from streamPath. Nothing is encoded
// when the album cannot take any picture. A first quality below 1 tries nothing: a stream file left
// from an earlier add must never be appended as this picture.
AddResult AddPictureFile(CAlbumStore& store, const std::string& streamPath, int firstQuality,
                         const EncodeAtQuality& encode);

}  // namespace fotolume::album
