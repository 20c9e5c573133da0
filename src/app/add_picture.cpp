#include "add_picture.h"

#include "album/album_store.h"
#include "codec/kv318_encoder.h"

#include <algorithm>

namespace fotolume::app {

namespace {

constexpr int kQualityStep = 10;
constexpr int kStreamMode = 3;

} // namespace

AddPictureOutcome AddPictureFile(album::CAlbumStore& store, const std::string& bmpPath,
                                 const std::string& streamPath, int panelWidth, int panelHeight,
                                 int firstQuality)
{
    AddPictureOutcome outcome;
    const long long free = store.GetFreeSpaceForPicture();
    // An album at its picture limit has no room whatever the quality.
    if (free <= 0 || panelWidth <= 0 || panelHeight <= 0)
        return outcome;
    int q = std::clamp(firstQuality, 1, 100);
    long long size = free + 1;
    int used = 0;
    while (size > free && q > 0) {
        size = static_cast<long long>(
            codec::CKv318Encoder::EnCode(bmpPath, streamPath, panelWidth, panelHeight, q, kStreamMode, false));
        if (size <= 0)
            break;
        used = q;
        q -= kQualityStep;
    }
    if (size <= 0 || size > free)
        return outcome;
    if (!store.AddPicture(streamPath))
        return outcome;
    codec::CKv318Encoder::DeCode(streamPath, bmpPath, panelWidth, panelHeight);
    outcome.result = 0;
    outcome.quality = used;
    outcome.size = size;
    return outcome;
}

} // namespace fotolume::app
