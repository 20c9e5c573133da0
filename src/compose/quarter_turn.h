// Exact quarter turns of a bitmap: a pixel-by-pixel copy, no resampling.
#pragma once

#include <QImage>

namespace fotolume::compose {

// Turning left (counter-clockwise) sends pixel (x, y) to (y, width - 1 - x); turning right sends it to
// (height - 1 - y, x). The result is height x width in Format_RGB32; null when it cannot be allocated.
QImage TurnQuarter(const QImage& source, bool left);

}  // namespace fotolume::compose
