#pragma once

#include <string>

namespace fotolume::album {
class CAlbumStore;
}

namespace fotolume::app {

struct AddPictureOutcome {
    int result = 1;  // 0 added, 1 refused (full, or the picture could not be encoded)
    int quality = 0; // the quality the stored stream was encoded at
    long long size = 0;
};

// Encodes the panel-size BMP at bmpPath into the scratch stream file at
// falling quality (firstQuality, then 10 lower each time) until the stream
// fits the room one more picture may take, and appends it to the album.
// On success bmpPath is rewritten with the stream decoded back, so it shows
// exactly what the frame will show.
AddPictureOutcome AddPictureFile(album::CAlbumStore& store, const std::string& bmpPath,
                                 const std::string& streamPath, int panelWidth, int panelHeight,
                                 int firstQuality);

} // namespace fotolume::app
