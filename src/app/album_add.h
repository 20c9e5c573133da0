// Adding one composed panel picture to the album at falling quality, with its cache BMP decoded back.
#pragma once

#include <QImage>
#include <QString>

namespace fotolume::album {
class CAlbumStore;
}

namespace fotolume::app {

struct AddPictureOutcome {
    int result = 1;   // 0 added, 1 refused (full, or the picture could not be encoded)
    int quality = 0;  // the quality the stored stream was encoded at
    long long size = 0;
};

// Adds a composed panel-size bitmap to the album: saved as a BMP at
// bmpPath, encoded at falling quality (firstQuality, then 10 lower each
// time) until the stream fits the room one more picture may take, and
// appended. On success bmpPath is rewritten with the stream decoded back,
// so the thumbnail shows exactly what the frame will show.
AddPictureOutcome AddPanelToAlbum(album::CAlbumStore& store, const QImage& panel, const QString& bmpPath,
                                  const QString& streamPath, int firstQuality);

}  // namespace fotolume::app
