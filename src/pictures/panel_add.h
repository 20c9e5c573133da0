// Putting a composed panel bitmap into the album: the bitmap saved as a 24-bit BMP, encoded as a frame
// picture stream at falling quality until it fits, appended to the store. The full window, the command
// line and the demo frame all add through here.
#pragma once

#include <QImage>
#include <string>

#include "album/add_picture.h"

namespace fotolume::album {
class CAlbumStore;
}

namespace fotolume::pictures {

// Stream sampling of added pictures: H2V2.
inline constexpr int kAddMode = 3;

// Saves panel (of the store's panel size) at bmpPath, then AddPictureFile with streams encoded from that
// BMP into streamPath (mode kAddMode, no JFIF markers). EncodeFailed, with nothing encoded, when the
// bitmap has another size or cannot be saved. bmpPath keeps the composed bitmap; streamPath the last
// stream encoded.
album::AddResult AddPanelPicture(album::CAlbumStore& store, const QImage& panel, const std::string& bmpPath,
                                 const std::string& streamPath, int firstQuality);

}  // namespace fotolume::pictures
