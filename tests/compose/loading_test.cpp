// Reading source pictures: formats, EXIF orientation, working size, transparency.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <future>
#include <tuple>

#include "compose/composition.h"
#include "compose/picture_loader.h"
#include "tests/support/qt_pictures.h"

namespace fotolume::compose {
namespace {

using testsupport::Near;

class Loading : public ::testing::Test {
protected:
    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    bool WriteBytes(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    QTemporaryDir m_dir;
};

// A 1 x 1 GIF whose only pixel is colour 0 (red) of a two-colour table; with transparent, colour 0 is
// marked transparent by a graphic control extension.
QByteArray OnePixelGif(bool transparent) {
    QByteArray gif = QByteArray::fromHex("474946383961010001008000" "00" "ff0000" "0000ff");
    if (transparent) {
        gif += QByteArray::fromHex("21f90401000000" "00");
    }
    gif += QByteArray::fromHex("2c000000000100010000" "0202440100" "3b");
    return gif;
}

TEST_F(Loading, EveryPluginFormatLoads) {
    const QImage picture = testsupport::SplitPicture(64, 48);
    for (const char* format : {"bmp", "png", "jpg", "tiff", "webp"}) {
        const QString path = Path("source.") + QString::fromLatin1(format);
        QImageWriter writer(path, format);
        writer.setQuality(100);
        ASSERT_TRUE(writer.write(picture)) << format << ": " << writer.errorString().toStdString();
        const QImage work = LoadWorkBitmap(path);
        ASSERT_FALSE(work.isNull()) << format;
        EXPECT_EQ(work.size(), QSize(64, 48)) << format;
        EXPECT_EQ(work.format(), QImage::Format_RGB32) << format;
        EXPECT_TRUE(Near(work.pixel(4, 24), qRgb(255, 0, 0), 40)) << format;
        EXPECT_TRUE(Near(work.pixel(60, 24), qRgb(0, 0, 255), 40)) << format;
    }
    ASSERT_TRUE(WriteBytes(Path("red.gif"), OnePixelGif(false)));
    const QImage gif = LoadWorkBitmap(Path("red.gif"));
    ASSERT_EQ(gif.size(), QSize(1, 1));
    EXPECT_EQ(gif.pixel(0, 0), qRgb(255, 0, 0));
}

TEST_F(Loading, TransparentPartsBecomeWhite) {
    ASSERT_TRUE(WriteBytes(Path("clear.gif"), OnePixelGif(true)));
    const QImage gif = LoadWorkBitmap(Path("clear.gif"));
    ASSERT_EQ(gif.size(), QSize(1, 1));
    EXPECT_EQ(gif.pixel(0, 0), qRgb(255, 255, 255));

    QImage png(8, 4, QImage::Format_ARGB32);
    png.fill(Qt::transparent);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            png.setPixel(x, y, qRgba(0, 0, 255, 255));
        }
    }
    ASSERT_TRUE(png.save(Path("half.png")));
    const QImage work = LoadWorkBitmap(Path("half.png"));
    EXPECT_EQ(work.pixel(1, 1), qRgb(0, 0, 255));
    EXPECT_EQ(work.pixel(6, 2), qRgb(255, 255, 255));
    EXPECT_EQ(LoadSourcePicture(Path("half.png")).pixel(6, 2), qRgb(255, 255, 255));
}

TEST_F(Loading, PhonePhotoArrivesUpright) {
    // Stored sideways, the red half on the left. Orientation 6 says the stored left edge is the top,
    // 8 that it is the bottom.
    const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255);
    for (const auto& [orientation, top, bottom] : {std::tuple{6, red, blue}, std::tuple{8, blue, red}}) {
        SCOPED_TRACE(orientation);
        const QString path = Path("turned") + QString::number(orientation) + QStringLiteral(".jpg");
        ASSERT_TRUE(testsupport::WriteJpegWithOrientation(testsupport::SplitPicture(64, 32), orientation, path));
        const QImage work = LoadWorkBitmap(path);
        ASSERT_EQ(work.size(), QSize(32, 64));
        EXPECT_TRUE(Near(work.pixel(16, 4), top, 40));
        EXPECT_TRUE(Near(work.pixel(16, 60), bottom, 40));
    }

    // The compact window's loader too.
    EXPECT_EQ(LoadSourcePicture(Path("turned6.jpg")).size(), QSize(32, 64));

    // The preview shows it upright: a portrait picture, so a tall display.
    CComposition c;
    c.SetRectSize(128, 128);
    ASSERT_TRUE(c.SetPicture(Path("turned6.jpg")));
    EXPECT_GT(c.DisplayRect().Height(), c.DisplayRect().Width());
}

TEST_F(Loading, LargeTurnedPhotoGetsTheUprightWorkingSize) {
    // 2400 x 1200 stored, upright 1200 x 2400: worked at 1000 x 2000, not squashed to 2000 x 1000.
    ASSERT_TRUE(testsupport::WriteJpegWithOrientation(testsupport::SplitPicture(2400, 1200), 6, Path("big.jpg")));
    const QImage work = LoadWorkBitmap(Path("big.jpg"));
    ASSERT_EQ(work.size(), QSize(1000, 2000));
    EXPECT_TRUE(Near(work.pixel(500, 100), qRgb(255, 0, 0), 40));
    EXPECT_TRUE(Near(work.pixel(500, 1900), qRgb(0, 0, 255), 40));

    // Decoded once at the right size, not squeezed and stretched back: stripes 3 pixels wide along the
    // stored width keep their full contrast.
    QImage stripes(2400, 1200, QImage::Format_RGB32);
    for (int x = 0; x < 2400; ++x) {
        const QRgb colour = (x / 3) % 2 != 0 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
        for (int y = 0; y < 1200; ++y) {
            stripes.setPixel(x, y, colour);
        }
    }
    ASSERT_TRUE(testsupport::WriteJpegWithOrientation(stripes, 6, Path("stripes.jpg")));
    const QImage sharp = LoadWorkBitmap(Path("stripes.jpg"));
    ASSERT_EQ(sharp.size(), QSize(1000, 2000));
    int darkest = 255;
    int brightest = 0;
    for (int y = 900; y < 1100; ++y) {
        darkest = std::min(darkest, qGray(sharp.pixel(500, y)));
        brightest = std::max(brightest, qGray(sharp.pixel(500, y)));
    }
    EXPECT_GT(brightest - darkest, 220);

    ASSERT_TRUE(testsupport::SplitPicture(4000, 3000).save(Path("large.jpg"), "jpg", 80));
    EXPECT_EQ(LoadWorkBitmap(Path("large.jpg")).size(), QSize(2000, 1500));
    EXPECT_EQ(LoadSourcePicture(Path("large.jpg")).size(), QSize(4000, 3000));
}

TEST_F(Loading, WhatIsNotAPictureIsRefused) {
    EXPECT_TRUE(LoadWorkBitmap(Path("missing.png")).isNull());
    ASSERT_TRUE(WriteBytes(Path("notes.txt"), "just some words, no picture\n"));
    EXPECT_TRUE(LoadWorkBitmap(Path("notes.txt")).isNull());
    // A JPEG cut short after its header.
    ASSERT_TRUE(testsupport::SplitPicture(64, 64).save(Path("whole.jpg"), "jpg"));
    QFile whole(Path("whole.jpg"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    ASSERT_TRUE(WriteBytes(Path("cut.jpg"), whole.read(20)));
    EXPECT_TRUE(LoadWorkBitmap(Path("cut.jpg")).isNull());
    EXPECT_TRUE(LoadSourcePicture(Path("cut.jpg")).isNull());
}

// A FIFO or a folder with a picture's name in the file tree: clicking it must not hold the window until
// something writes to the pipe.
TEST_F(Loading, AFifoOrAFolderNamedAsAPictureIsRefusedAtOnce) {
    const QByteArray pipe = QFile::encodeName(Path("pipe.jpg"));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("folder.png")));
    for (const char* name : {"pipe.jpg", "folder.png"}) {
        SCOPED_TRACE(name);
        auto loads = std::async(std::launch::async, [&] {
            return LoadWorkBitmap(Path(name)).isNull() && LoadSourcePicture(Path(name)).isNull();
        });
        if (loads.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            // Let the blocked reader go, so the test fails instead of hanging.
            while (loads.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
                const int writer = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK);
                if (writer >= 0) ::close(writer);
            }
            FAIL() << "opening it waited for a writer";
        }
        EXPECT_TRUE(loads.get());
    }
}

}  // namespace
}  // namespace fotolume::compose
