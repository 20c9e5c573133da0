#include "tests/support/qt_pictures.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QRandomGenerator>

#include <cstdlib>

#include "codec/bmp_file.h"
#include "codec/picture_files.h"
#include "tests/support/temp_folder.h"

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

QImage PatternPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, ((x >> 8) | (y >> 8) << 4) & 0xFF));
    }
    return image;
}

QImage SplitPicture(int width, int height) {
    QImage image = SolidPicture(width, height, QColor(0, 0, 255));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width / 2; ++x) image.setPixel(x, y, qRgb(255, 0, 0));
    }
    return image;
}

bool WriteJpegWithOrientation(const QImage& picture, int orientation, const QString& path) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    if (!writer.write(picture)) return false;
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

std::vector<std::uint8_t> PictureStream(const QImage& picture, int quality) {
    const TempFolder folder;
    const QImage rows = picture.convertToFormat(QImage::Format_BGR888);
    const std::string bmp = (folder / "picture.bmp").string(), stream = (folder / "picture.stream").string();
    if (!codec::SaveBmpFile(bmp, rows.constBits(), static_cast<std::size_t>(rows.bytesPerLine()), rows.width(),
                            rows.height(), 0) ||
        codec::CKv318Encoder::EnCode(bmp, stream, rows.width(), rows.height(), quality, 3, false) == 0) {
        return {};
    }
    return ReadBytes(stream);
}

std::vector<std::vector<std::uint8_t>> NoiseStreams(unsigned firstSeed, int count, int width, int height, int quality) {
    std::vector<std::vector<std::uint8_t>> streams;
    for (int i = 0; i < count; ++i) {
        streams.push_back(PictureStream(NoisePicture(width, height, firstSeed + static_cast<unsigned>(i)), quality));
    }
    return streams;
}

}  // namespace fotolume::testsupport
