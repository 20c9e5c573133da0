#include "app/album_add.h"

#include <algorithm>

#include "album/album_store.h"
#include "codec/picture_files.h"
#include "pictures/panel_add.h"

namespace fotolume::app {

AddPictureOutcome AddPanelToAlbum(album::CAlbumStore& store, const QImage& panel, const QString& bmpPath,
                                  const QString& streamPath, int firstQuality) {
    AddPictureOutcome outcome;
    if (panel.isNull()) return outcome;
    // A quality setting outside 1..100 would leave no step to try.
    const album::AddResult added = pictures::AddPanelPicture(store, panel, bmpPath.toStdString(),
                                                             streamPath.toStdString(), std::clamp(firstQuality, 1, 100));
    if (!added.Added()) return outcome;
    uint32_t width = 0;
    uint32_t height = 0;
    store.GetLcdSize(width, height);
    codec::CKv318Encoder::DeCode(streamPath.toStdString(), bmpPath.toStdString(), static_cast<int>(width),
                                 static_cast<int>(height));
    outcome.result = 0;
    outcome.quality = added.quality;
    outcome.size = static_cast<long long>(added.bytes);
    return outcome;
}

}  // namespace fotolume::app
