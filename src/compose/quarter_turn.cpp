#include "compose/quarter_turn.h"

namespace fotolume::compose {

QImage TurnQuarter(const QImage& source, bool left) {
    if (source.isNull()) {
        return {};
    }
    const QImage from = source.convertToFormat(QImage::Format_RGB32);
    const int w = from.width();
    const int h = from.height();
    QImage to(h, w, QImage::Format_RGB32);
    if (to.isNull()) {
        return {};
    }
    uchar* bits = to.bits();
    const qsizetype stride = to.bytesPerLine();
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(from.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const int tx = left ? y : h - 1 - y;
            const int ty = left ? w - 1 - x : x;
            reinterpret_cast<QRgb*>(bits + ty * stride)[tx] = row[x];
        }
    }
    return to;
}

}  // namespace fotolume::compose
