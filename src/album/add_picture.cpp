#include "album/add_picture.h"

#include "album/album_store.h"

namespace fotolume::album {

AddResult AddPictureFile(CAlbumStore& store, const std::string& streamPath, int firstQuality,
                         const EncodeAtQuality& encode) {
    AddResult result;
    result.freeSpace = store.GetFreeSpaceForPicture();
    if (result.freeSpace == 0 || store.GetPictureCount() >= kMaxSlots) {
        result.status = AddStatus::AlbumFull;
        return result;
    }
    for (int q = firstQuality; q > 0; q -= 10) {
        const std::size_t size = encode(q);
        if (size == 0) {
            result.status = AddStatus::EncodeFailed;
            return result;
        }
        result.quality = q;
        result.bytes = size;
        if (size <= result.freeSpace) break;
    }
    if (result.bytes == 0) {
        result.status = AddStatus::EncodeFailed;
        return result;
    }
    if (result.bytes > result.freeSpace) {
        result.status = AddStatus::TooLarge;
        return result;
    }
    result.status = store.AddPicture(streamPath) ? AddStatus::Added : AddStatus::Refused;
    return result;
}

}  // namespace fotolume::album
