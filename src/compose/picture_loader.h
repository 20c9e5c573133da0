// Reading source pictures with Qt's image plug-ins (BMP, JPEG, GIF, PNG, TIFF, WebP, ...).
#pragma once

#include <QIODevice>
#include <QImage>
#include <QString>

namespace fotolume::compose {

// Loads a picture upright (its EXIF orientation applied), at its working size (at most 2000 pixels on the
// longer side), opaque: transparent parts become white. Format_RGB32; a null image when the file cannot be
// read as a picture.
QImage LoadWorkBitmap(const QString& path);
// The same from an open device (a file opened by the caller, bytes in a buffer).
QImage LoadWorkBitmap(QIODevice& device);

// The same at the picture's natural size, for the compact window's continuous transform.
QImage LoadSourcePicture(const QString& path);

// The work bitmap of a picture already in memory: working size, white under transparency.
QImage MakeWorkBitmap(const QImage& picture);

// The picture stretched over a white surface of the given size (smooth resampling). Format_RGB32.
QImage FlattenOnWhite(const QImage& picture, QSize size);

}  // namespace fotolume::compose
