#include "tests/compose/compose_pictures.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <cstdlib>

namespace fotolume::compose::test {

QImage PatternPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, ((x >> 8) | (y >> 8) << 4) & 0xFF));
        }
    }
    return image;
}

QImage SplitPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, x < width / 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
        }
    }
    return image;
}

bool WriteJpegWithOrientation(const QImage& picture, int orientation, const QString& path) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    if (!writer.write(picture)) {
        return false;
    }
    QByteArray jpeg = buffer.data();
    // APP1 "Exif": a big-endian TIFF header and one IFD holding the orientation tag (0x0112, SHORT).
    const char exif[] = {
        '\xFF', '\xE1', 0, 34,                      // marker, length (34 bytes from here on)
        'E', 'x', 'i', 'f', 0, 0,                   // identifier
        'M', 'M', 0, 42, 0, 0, 0, 8,                // TIFF header, IFD at offset 8
        0, 1,                                       // one entry
        0x01, 0x12, 0, 3, 0, 0, 0, 1,               // orientation, SHORT, count 1
        0, static_cast<char>(orientation), 0, 0,    // value
        0, 0, 0, 0};                                // no next IFD
    jpeg.insert(2, exif, sizeof exif);              // right after SOI
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(jpeg) == jpeg.size();
}

bool Near(QRgb actual, QRgb expected, int tolerance) {
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

}  // namespace fotolume::compose::test
