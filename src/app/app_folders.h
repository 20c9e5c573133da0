// The program's private scratch folder, the picture cache inside it and their clean-up.
#pragma once

#include <QString>

namespace fotolume::app {

// The program's private scratch folder, $XDG_CACHE_HOME/fotolume/ (created
// with mode 0700 when missing), ending in "/". Empty if it cannot be made.
QString PrivateTempFolder();

// The picture cache inside a scratch folder: one decoded BMP per album
// picture. Created when missing; ends in "/". Empty if it cannot be made.
QString PictureCacheFolder(const QString& tempFolder);

// The first free cache name "%04d.bmp", counted from 0000. Numbers freed by
// deletions are reused, so they need not follow the album order.
QString NextCachePath(const QString& cacheFolder);

// Deletes every BMP file in the cache folder; folders inside are left alone.
// Returns how many files went.
int CleanPictureCache(const QString& cacheFolder);

// Deletes the preview's scratch pictures in the scratch folder.
void CleanTemporaryFiles(const QString& tempFolder);

}  // namespace fotolume::app
