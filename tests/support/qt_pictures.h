// Deterministic pictures for the programs that compose and show them.
#pragma once

#include <QColor>
#include <QImage>

namespace fotolume::testsupport {

// One colour all over.
QImage SolidPicture(int width, int height, QColor colour);
// Detail everywhere, so it encodes large and shrinks with quality; the same seed gives the same picture.
QImage NoisePicture(int width, int height, unsigned seed);

}  // namespace fotolume::testsupport
