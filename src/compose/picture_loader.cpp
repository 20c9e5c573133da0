#include "compose/picture_loader.h"

#include <QImageIOHandler>
#include <QImageReader>
#include <QPainter>

#include "compose/geometry.h"

namespace fotolume::compose {

namespace {

// Decodes upright. With limitSize, large pictures are decoded straight at their working size, so a photo of
// many megapixels never needs a full-size buffer.
QImage ReadUpright(QImageReader& reader, bool limitSize, QSize* target) {
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (limitSize && stored.isValid() && !stored.isEmpty()) {
        // The reader scales before it turns the picture upright, so the scaled size is given in the
        // orientation the file stores.
        const bool turned = (reader.transformation() & QImageIOHandler::TransformationRotate90) != 0;
        const QSize upright = turned ? stored.transposed() : stored;
        *target = WorkingSize(upright);
        if (*target != upright) {
            reader.setScaledSize(turned ? target->transposed() : *target);
        }
    }
    QImage image = reader.read();
    if (image.isNull()) {
        return {};
    }
    if (!target->isValid() || target->isEmpty()) {
        *target = limitSize ? WorkingSize(image.size()) : image.size();
    }
    return image;
}

}  // namespace

QImage FlattenOnWhite(const QImage& picture, QSize size) {
    if (picture.isNull() || size.isEmpty()) {
        return {};
    }
    const QImage scaled = picture.size() == size
                              ? picture
                              : picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!scaled.hasAlphaChannel()) {
        return scaled.convertToFormat(QImage::Format_RGB32);
    }
    QImage flat(size, QImage::Format_RGB32);
    if (flat.isNull()) {
        return {};
    }
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(QPoint(0, 0), scaled);
    painter.end();
    return flat;
}

QImage MakeWorkBitmap(const QImage& picture) {
    if (picture.isNull()) {
        return {};
    }
    return FlattenOnWhite(picture, WorkingSize(picture.size()));
}

QImage LoadWorkBitmap(const QString& path) {
    QImageReader reader(path);
    QSize target;
    const QImage image = ReadUpright(reader, true, &target);
    return FlattenOnWhite(image, target);
}

QImage LoadWorkBitmap(QIODevice& device) {
    QImageReader reader(&device);
    QSize target;
    const QImage image = ReadUpright(reader, true, &target);
    return FlattenOnWhite(image, target);
}

QImage LoadSourcePicture(const QString& path) {
    QImageReader reader(path);
    QSize target;
    const QImage image = ReadUpright(reader, false, &target);
    return FlattenOnWhite(image, target);
}

}  // namespace fotolume::compose
