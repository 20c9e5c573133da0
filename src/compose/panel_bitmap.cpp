#include "panel_bitmap.h"

#include <QSaveFile>

namespace fotolume::compose {

namespace {

constexpr int kBmpHeaderBytes = 54;

void PutLe(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace

int PaddedRowBytes(int width) {
    return (width * 3 + 3) & ~3;
}

std::vector<std::uint8_t> ToBgrBottomUp(const QImage& image) {
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
        std::uint8_t* to = out.data() + stride * static_cast<std::size_t>(h - 1 - y);
        for (int x = 0; x < w; ++x) {
            *to++ = static_cast<std::uint8_t>(qBlue(row[x]));
            *to++ = static_cast<std::uint8_t>(qGreen(row[x]));
            *to++ = static_cast<std::uint8_t>(qRed(row[x]));
        }
    }
    return out;
}

bool SavePanelBmp(const QImage& image, const QString& path) {
    const std::vector<std::uint8_t> pixels = ToBgrBottomUp(image);
    if (pixels.empty()) {
        return false;
    }
    std::vector<std::uint8_t> header(kBmpHeaderBytes, 0);
    header[0] = 'B';
    header[1] = 'M';
    PutLe(header, 2, static_cast<std::uint32_t>(kBmpHeaderBytes + pixels.size()), 4);
    PutLe(header, 10, kBmpHeaderBytes, 4);
    PutLe(header, 14, 40, 4);
    PutLe(header, 18, static_cast<std::uint32_t>(image.width()), 4);
    PutLe(header, 22, static_cast<std::uint32_t>(image.height()), 4);  // positive: rows bottom-up
    PutLe(header, 26, 1, 2);
    PutLe(header, 28, 24, 2);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const auto headerBytes = static_cast<qint64>(header.size());
    const auto pixelBytes = static_cast<qint64>(pixels.size());
    if (file.write(reinterpret_cast<const char*>(header.data()), headerBytes) != headerBytes ||
        file.write(reinterpret_cast<const char*>(pixels.data()), pixelBytes) != pixelBytes) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace fotolume::compose
