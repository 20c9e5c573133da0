#include "compose/picture_loader.h"

#include <unistd.h>

#include <QFile>
#include <QImageIOHandler>
#include <QImageReader>
#include <QPainter>

#include "codec/input_file.h"
#include "compose/geometry.h"

namespace fotolume::compose {

namespace {

// Opens a file the user picked as the command line opens one: a FIFO, a device or a folder is refused at
// once, as opening one could hold the window until something writes to it.
bool OpenPictureFile(const QString& path, QFile& file) {
    const int fd = codec::OpenInputFile(QFile::encodeName(path).toStdString());
    if (fd < 0) return false;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return true;
    ::close(fd);
    return false;
}

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
    QFile file;
    return OpenPictureFile(path, file) ? LoadWorkBitmap(file) : QImage();
}

QImage LoadWorkBitmap(QIODevice& device) {
    QImageReader reader(&device);
    QSize target;
    const QImage image = ReadUpright(reader, true, &target);
    return FlattenOnWhite(image, target);
}

QImage LoadSourcePicture(const QString& path) {
    QFile file;
    if (!OpenPictureFile(path, file)) return {};
    QImageReader reader(&file);
    QSize target;
    const QImage image = ReadUpright(reader, false, &target);
    return FlattenOnWhite(image, target);
}

}  // namespace fotolume::compose
