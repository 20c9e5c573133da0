// A composed panel bitmap going into the album: the BMP the encoder reads and the stream the album keeps.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>

#include "album/album_store.h"
#include "codec/bmp_file.h"
#include "codec/stream_decoder.h"
#include "album/flash_layout.h"
#include "compose/geometry.h"
#include "compose/panel_bitmap.h"
#include "pictures/panel_add.h"
#include "tests/support/qt_pictures.h"
#include "tests/support/emulated_frame.h"

namespace fotolume::pictures {
namespace {

struct EmulatedAlbum {
    explicit EmulatedAlbum(const sim::NewFrame& layout) : emulator(layout) {
        testsupport::BindStore(store, emulator);
        testsupport::ReadAlbum(store, false);
    }
    testsupport::NewFrameEmulator emulator;
    album::CAlbumStore store;
};

TEST(AddPanelPicture, SavesTheBitmapAndAppendsItsStream) {
    sim::NewFrame layout;
    layout.width = 160;
    layout.height = 120;
    EmulatedAlbum album(layout);
    QTemporaryDir dir;
    const std::string bmp = dir.filePath(QStringLiteral("panel.bmp")).toStdString();
    const std::string stream = dir.filePath(QStringLiteral("panel.stream")).toStdString();
    const QImage panel = testsupport::SplitPicture(160, 120);

    const album::AddResult r = AddPanelPicture(album.store, panel, bmp, stream, 90);
    ASSERT_EQ(r.status, album::AddStatus::Added);
    EXPECT_EQ(r.quality, 90);
    ASSERT_EQ(album.store.GetPictureCount(), 1);

    // The encoder's input is exactly the panel's pixels.
    std::vector<std::uint8_t> pixels;
    ASSERT_EQ(codec::LoadPicFromDir(bmp, pixels, 160, 120), 1);
    EXPECT_EQ(pixels, compose::ToBgrBottomUp(panel));

    // The album holds the stream file's bytes, and they decode to the panel: red left, blue right.
    album::PicEntry entry;
    ASSERT_TRUE(album.store.GetPictureEntry(0, entry));
    std::ifstream in(stream, std::ios::binary);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(file.size(), entry.length);
    EXPECT_TRUE(std::equal(file.begin(), file.end(), album.store.PictureData(0)));
    codec::JPGEncode decoder;
    ASSERT_TRUE(decoder.DecodeStream(file, 160, 120));
    const std::uint8_t* row = decoder.VideoBuff().data() + std::size_t{60} * decoder.RoundedWidth() * 3;
    EXPECT_GT(row[3 * 20 + 2], 200);  // red, in blue-green-red order
    EXPECT_LT(row[3 * 20], 60);
    EXPECT_GT(row[3 * 140], 200);     // blue
    EXPECT_LT(row[3 * 140 + 2], 60);
}

TEST(AddPanelPicture, ABitmapOfAnotherSizeIsNotEncoded) {
    EmulatedAlbum album(sim::NewFrame{});
    QTemporaryDir dir;
    const std::string bmp = dir.filePath(QStringLiteral("panel.bmp")).toStdString();
    const album::AddResult r = AddPanelPicture(album.store, testsupport::SplitPicture(128, 127), bmp,
                                               dir.filePath(QStringLiteral("s")).toStdString(), 90);
    EXPECT_EQ(r.status, album::AddStatus::EncodeFailed);
    EXPECT_EQ(r.bytes, 0u);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(bmp)));
    EXPECT_EQ(album.store.GetPictureCount(), 0);
}

// A panel the album takes from a header is one the composition draws for, and the other way round.
TEST(AddPanelPicture, TheAlbumAndTheCompositionTakeTheSamePanels) {
    const int sizes[][2] = {{0, 0},       {0, 1},    {1, 0},    {1, 1},        {128, 128},
                            {2048, 2048}, {2049, 1}, {1, 2049}, {65535, 65535}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]));
        EXPECT_EQ(compose::PanelComposable(size[0], size[1]),
                  album::PanelComposable(static_cast<uint32_t>(size[0]), static_cast<uint32_t>(size[1])));
    }
}

}  // namespace
}  // namespace fotolume::pictures
