#include "tests/support/qt_pictures.h"

#include <QRandomGenerator>

namespace fotolume::testsupport {

QImage SolidPicture(int width, int height, QColor colour) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

QImage NoisePicture(int width, int height, unsigned seed) {
    QImage picture(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) line[x] = random.generate() | 0xFF000000U;
    }
    return picture;
}

}  // namespace fotolume::testsupport
