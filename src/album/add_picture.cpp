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
    // No quality step to try: a stream file left from an earlier add must not be taken for this one.
    if (firstQuality < 1) {
        result.status = AddStatus::EncodeFailed;
        return result;
    }
    const BudgetFit fit = FitToBudget(result.freeSpace, firstQuality, encode);
    result.quality = fit.quality;
    result.bytes = fit.bytes;
    if (fit.bytes == 0) {
        result.status = AddStatus::EncodeFailed;
        return result;
    }
    if (!fit.fits) {
        result.status = AddStatus::TooLarge;
        return result;
    }
    result.status = store.AddPicture(streamPath) ? AddStatus::Added : AddStatus::Refused;
    return result;
}

}  // namespace fotolume::album
