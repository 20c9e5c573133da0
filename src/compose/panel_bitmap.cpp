#include "compose/panel_bitmap.h"

#include <QFile>

#include "codec/bmp_file.h"

namespace fotolume::compose {

namespace {

// Blue-green-red rows of PaddedRowBytes, top row first or bottom row first.
std::vector<std::uint8_t> ToBgrRows(const QImage& image, bool bottomUp) {
    if (image.isNull()) {
        return {};
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const int w = rgb.width();
    const int h = rgb.height();
    const auto stride = static_cast<std::size_t>(PaddedRowBytes(w));
    std::vector<std::uint8_t> out(stride * static_cast<std::size_t>(h), 0);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        std::uint8_t* to = out.data() + stride * static_cast<std::size_t>(bottomUp ? h - 1 - y : y);
        for (int x = 0; x < w; ++x) {
            *to++ = static_cast<std::uint8_t>(qBlue(row[x]));
            *to++ = static_cast<std::uint8_t>(qGreen(row[x]));
            *to++ = static_cast<std::uint8_t>(qRed(row[x]));
        }
    }
    return out;
}

}  // namespace

int PaddedRowBytes(int width) {
    return (width * 3 + 3) & ~3;
}

std::vector<std::uint8_t> ToBgrBottomUp(const QImage& image) {
    return ToBgrRows(image, true);
}

bool SavePanelBmp(const QImage& image, const QString& path) {
    const std::vector<std::uint8_t> rows = ToBgrRows(image, false);
    if (rows.empty()) {
        return false;
    }
    return codec::SaveBmpFile(QFile::encodeName(path).toStdString(), rows.data(),
                              static_cast<std::size_t>(PaddedRowBytes(image.width())), image.width(), image.height(),
                              0);
}

}  // namespace fotolume::compose
