#include "compose/geometry.h"

#include <algorithm>
#include <cmath>

namespace fotolume::compose {

namespace {

constexpr int kWorkingSide = 2000;
// Keeps a cover fit of a sliver of a picture inside int range.
constexpr double kLargestSide = 1 << 28;

int FloorToSide(double value) {
    return static_cast<int>(std::floor(std::min(value, kLargestSide)));
}

}  // namespace

QSize FitSize(int pictureWidth, int pictureHeight, const Rect& box) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || box.Width() <= 0 || box.Height() <= 0) {
        return {0, 0};
    }
    const double rw = static_cast<double>(pictureWidth) / box.Width();
    const double rh = static_cast<double>(pictureHeight) / box.Height();
    // The small margin keeps the result at least the box size despite rounding. A picture so much smaller
    // than the box that the margin would turn the ratio negative is fitted without it.
    double g = std::min(rw, rh) - 0.0001;
    if (g <= 0.0) {
        g = std::min(rw, rh);
    }
    return {FloorToSide(pictureWidth / g), FloorToSide(pictureHeight / g)};
}

QSize WorkingSize(QSize natural) {
    const int w = natural.width();
    const int h = natural.height();
    if (w <= kWorkingSide && h <= kWorkingSide) {
        return natural;
    }
    // 64-bit products: a side may be anything the decoder accepts.
    if (h < w) {
        const int nh = static_cast<int>(static_cast<long long>(h) * kWorkingSide / w);
        return {kWorkingSide, nh > 0 ? nh : h};
    }
    const int nw = static_cast<int>(static_cast<long long>(w) * kWorkingSide / h);
    return {nw > 0 ? nw : w, kWorkingSide};
}

Rect CenteredRect(QSize client, QSize size) {
    return Rect::FromOrigin((client.width() - size.width()) / 2, (client.height() - size.height()) / 2,
                            size.width(), size.height());
}

}  // namespace fotolume::compose
