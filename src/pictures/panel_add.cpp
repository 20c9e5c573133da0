#include "pictures/panel_add.h"

#include <QFile>

#include "album/album_store.h"
#include "album/flash_layout.h"
#include "codec/picture_files.h"
#include "compose/geometry.h"
#include "compose/panel_bitmap.h"

namespace fotolume::pictures {

// A header is refused when its panel cannot be composed for, so both sides draw the line alike.
static_assert(compose::kMaxPanelSide == static_cast<int>(album::kMaxPanelSide));

album::AddResult AddPanelPicture(album::CAlbumStore& store, const QImage& panel, const std::string& bmpPath,
                                 const std::string& streamPath, int firstQuality) {
    const int width = static_cast<int>(store.Info().lcdWidth);
    const int height = static_cast<int>(store.Info().lcdHeight);
    if (!album::PanelProblem(store.Info()).empty() || panel.width() != width || panel.height() != height ||
        !compose::SavePanelBmp(panel, QFile::decodeName(QByteArray::fromStdString(bmpPath)))) {
        album::AddResult failed;
        failed.freeSpace = store.GetFreeSpaceForPicture();
        return failed;
    }
    return album::AddPictureFile(store, streamPath, firstQuality, [&](int quality) {
        return codec::CKv318Encoder::EnCode(bmpPath, streamPath, width, height, quality, kAddMode, false);
    });
}

}  // namespace fotolume::pictures
