// Pictures made for the tests.
#pragma once

#include <QImage>
#include <QString>

namespace fotolume::compose::test {

// Every pixel distinct in its low bits, so any misplaced pixel shows.
QImage PatternPicture(int width, int height);

// A picture whose left half is red and right half blue.
QImage SplitPicture(int width, int height);

// Writes a JPEG with an EXIF APP1 segment carrying the given orientation.
bool WriteJpegWithOrientation(const QImage& picture, int orientation, const QString& path);

// True when the colour is within tolerance of the expected one in every channel.
bool Near(QRgb actual, QRgb expected, int tolerance);

}  // namespace fotolume::compose::test
