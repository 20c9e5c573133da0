// The panel bitmap buffer the encoder reads, and the BMP file around it.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "codec/bmp_file.h"
#include "compose/panel_bitmap.h"
#include "tests/support/qt_pictures.h"

namespace fotolume::compose {
namespace {

TEST(PanelBitmap, RowsAreBottomUpBgrPaddedToFour) {
    QImage image(3, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(1, 2, 3));
    image.setPixel(1, 0, qRgb(4, 5, 6));
    image.setPixel(2, 0, qRgb(7, 8, 9));
    image.setPixel(0, 1, qRgb(10, 11, 12));
    image.setPixel(1, 1, qRgb(13, 14, 15));
    image.setPixel(2, 1, qRgb(16, 17, 18));
    EXPECT_EQ(PaddedRowBytes(3), 12);
    EXPECT_EQ(PaddedRowBytes(4), 12);
    EXPECT_EQ(PaddedRowBytes(128), 384);
    const std::vector<std::uint8_t> expected = {
        12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0,  // the picture's bottom row first
        3,  2,  1,  6,  5,  4,  9,  8,  7,  0, 0, 0};
    EXPECT_EQ(ToBgrBottomUp(image), expected);
    EXPECT_TRUE(ToBgrBottomUp(QImage()).empty());
}

TEST(PanelBitmap, SavedFileReadsBackAndHasTheEncodersLayout) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("panel.bmp"));
    const QImage picture = testsupport::PatternPicture(130, 7);  // 390 bytes a row, padded to 392
    ASSERT_TRUE(SavePanelBmp(picture, path));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 54 + 7 * 392);
    auto le32 = [&](int at) {
        return static_cast<quint32>(static_cast<quint8>(bytes[at])) |
               static_cast<quint32>(static_cast<quint8>(bytes[at + 1])) << 8 |
               static_cast<quint32>(static_cast<quint8>(bytes[at + 2])) << 16 |
               static_cast<quint32>(static_cast<quint8>(bytes[at + 3])) << 24;
    };
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(le32(2), 54u + 7u * 392u);
    EXPECT_EQ(le32(10), 54u);
    EXPECT_EQ(le32(18), 130u);
    EXPECT_EQ(le32(22), 7u);
    EXPECT_EQ(static_cast<quint8>(bytes[28]), 24);
    EXPECT_EQ(le32(30), 0u);  // uncompressed
    EXPECT_EQ(le32(34), 7u * 392u);  // image size: the padded rows
    EXPECT_EQ(le32(38), 0u);         // no resolution
    const std::vector<std::uint8_t> rows = ToBgrBottomUp(picture);
    EXPECT_EQ(bytes.mid(54), QByteArray(reinterpret_cast<const char*>(rows.data()),
                                        static_cast<qsizetype>(rows.size())));

    // An independent reader sees the same picture, and so does the encoder's reader.
    EXPECT_EQ(QImage(path).convertToFormat(QImage::Format_RGB32), picture);
    std::vector<std::uint8_t> encoderInput;
    ASSERT_EQ(codec::LoadPicFromDir(QFile::encodeName(path).toStdString(), encoderInput, 130, 7), 1);
    EXPECT_EQ(encoderInput, rows);

    // Saving again replaces the file as a whole.
    const QImage other = testsupport::PatternPicture(2, 2);
    ASSERT_TRUE(SavePanelBmp(other, path));
    EXPECT_EQ(QImage(path).convertToFormat(QImage::Format_RGB32), other);

    EXPECT_FALSE(SavePanelBmp(picture, dir.filePath(QStringLiteral("missing/dir/panel.bmp"))));
    EXPECT_FALSE(SavePanelBmp(QImage(), dir.filePath(QStringLiteral("empty.bmp"))));
}

}  // namespace
}  // namespace fotolume::compose
