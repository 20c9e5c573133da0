// The read-album worker on a simulated frame.
#include "app_harness.h"

#include "read_worker.h"
#include "thumb_list_ctrl.h"

#include "album/album_store.h"
#include "sim/frame_image.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace fotolume;
using namespace fotolume::apptest;

namespace {

int FinishCode(QSignalSpy& spy)
{
    return spy.isEmpty() ? -1 : spy.constLast().at(0).toInt();
}

QStringList Captions(app::CThumbListCtrl* list)
{
    QStringList captions;
    for (int i = 0; i < list->count(); ++i)
        captions.append(list->GetItemCaption(i));
    return captions;
}

} // namespace

TEST(ReadAlbum, AnEmptyAlbumEndsAtTwentyWithNoPhotos)
{
    AppHarness h;
    ASSERT_EQ(h.Start(), -1);
    QSignalSpy finished(&h.Controller(), &app::CMainController::readFinished);
    ASSERT_TRUE(h.WaitForRead(0));
    EXPECT_EQ(FinishCode(finished), 0);
    EXPECT_TRUE(h.progress.contains(20));
    EXPECT_FALSE(h.progress.contains(100));
    EXPECT_EQ(h.progress.constLast(), 0);
    EXPECT_EQ(h.statuses.constLast(), QStringLiteral("No photos in device!"));
    EXPECT_EQ(h.Window().AlbumList()->count(), 0);
    EXPECT_TRUE(h.prompt.Texts().isEmpty());
}

TEST(ReadAlbum, ProgressRunsFromTwentyToAHundredWithOneStatusPerPicture)
{
    AppHarness h;
    std::vector<Bytes> pictures;
    for (unsigned seed = 1; seed <= 3; ++seed)
        pictures.push_back(EncodeStream(NoisePicture(128, 128, seed), 50, h.files.path()));
    SeedAlbum(h.emulator, pictures);
    ASSERT_TRUE(h.StartAndRead());
    const int first = static_cast<int>(h.progress.indexOf(20));
    ASSERT_GE(first, 0);
    EXPECT_EQ(h.progress.mid(first), (QList<int>{20, 46, 73, 100, 0}));
    const QStringList expected{QStringLiteral("Reading Pictures:1 / 3"), QStringLiteral("Reading Pictures:2 / 3"),
                               QStringLiteral("Reading Pictures:3 / 3"), QStringLiteral("Reading Finished!")};
    EXPECT_EQ(h.statuses.mid(h.statuses.indexOf(expected[0])), expected);
    EXPECT_EQ(Captions(h.Window().AlbumList()),
              (QStringList{QStringLiteral("0001.bmp"), QStringLiteral("0002.bmp"), QStringLiteral("0003.bmp")}));
    // Every list item has its decoded picture in the cache, under the first free names.
    const QStringList cache = h.Controller().CachePaths();
    ASSERT_EQ(cache.size(), 3);
    EXPECT_TRUE(cache[0].endsWith(QStringLiteral("PicsInDeziDAR/0000.bmp")));
    EXPECT_EQ(QImage(cache[2]).size(), QSize(128, 128));
}

TEST(ReadAlbum, ADamagedPictureIsDroppedAndReportedOnce)
{
    AppHarness h;
    const Bytes first = EncodeStream(NoisePicture(128, 128, 1), 50, h.files.path());
    const Bytes third = EncodeStream(NoisePicture(128, 128, 3), 50, h.files.path());
    Bytes damaged(3000, 0x5A);
    SeedAlbum(h.emulator, {first, damaged, third});
    ASSERT_EQ(h.Start(), -1);
    QSignalSpy finished(&h.Controller(), &app::CMainController::readFinished);
    ASSERT_TRUE(h.WaitForRead(0));

    EXPECT_EQ(FinishCode(finished), app::kReadPictureDropped);
    EXPECT_EQ(Captions(h.Window().AlbumList()), (QStringList{QStringLiteral("0001.bmp"), QStringLiteral("0002.bmp")}));
    EXPECT_EQ(h.prompt.Texts(), QStringList{QStringLiteral("The picture is destroyed!")});
    EXPECT_TRUE(h.Flags().isModified);
    EXPECT_EQ(h.statuses.constLast(), QStringLiteral("Reading Finished!"));
    album::CAlbumStore* store = h.Controller().Store();
    ASSERT_NE(store, nullptr);
    ASSERT_EQ(store->GetPictureCount(), 2);
    {
        album::PicEntry entry;
        ASSERT_TRUE(store->GetPictureEntry(1, entry));
        EXPECT_EQ(entry.length, third.size());
        EXPECT_TRUE(std::equal(third.begin(), third.end(), store->PictureData(1)));
    }
    // The cache holds exactly the two pictures listed.
    EXPECT_EQ(QDir(h.Controller().CacheFolder()).entryList(QDir::Files).size(), 2);
}

TEST(ReadAlbum, AStreamLongerThanARawPanelCountsAsDamaged)
{
    AppHarness h;
    const Bytes good = EncodeStream(NoisePicture(128, 128, 1), 50, h.files.path());
    Bytes huge = good;
    huge.resize(128 * 128 * 3 + 1, 0);
    SeedAlbum(h.emulator, {huge, good});
    ASSERT_TRUE(h.StartAndRead());
    EXPECT_EQ(h.Window().AlbumList()->count(), 1);
    EXPECT_EQ(h.prompt.Texts(), QStringList{QStringLiteral("The picture is destroyed!")});
}

TEST(ReadAlbum, AZeroPanelDecodesNothingAndDropsNothing)
{
    AppHarness h;
    SeedAlbum(h.emulator, {EncodeStream(NoisePicture(128, 128, 1), 50, h.files.path())});
    h.emulator.Flash()[sim::kHeaderWidth] = 0;
    h.emulator.Flash()[sim::kHeaderWidth + 1] = 0;
    ASSERT_TRUE(h.StartAndRead());
    EXPECT_EQ(h.prompt.Texts(),
              QStringList{QStringLiteral("LCD width is 0, it must have something wrong with your DPF!")});
    EXPECT_EQ(h.Window().AlbumList()->count(), 0);
    EXPECT_FALSE(h.Flags().isModified);
    EXPECT_EQ(ReadBackAlbum(h.emulator).size(), 1U);
}

TEST(ReadAlbum, UnpluggingDuringTheReadEmptiesTheViewAndAnArrivalRereads)
{
    AppHarness h;
    std::vector<Bytes> pictures;
    for (unsigned seed = 1; seed <= 4; ++seed)
        pictures.push_back(EncodeStream(NoisePicture(128, 128, seed), 50, h.files.path()));
    SeedAlbum(h.emulator, pictures);
    ASSERT_EQ(h.Start(), -1);
    bool unplugged = false;
    QObject::connect(&h.Window(), &app::CMainDlg::appMessage, [&](const QString& name, qintptr, qintptr) {
        if (name == QLatin1String("DPFAttach") && !unplugged) {
            unplugged = true;
            h.Plug(false);
        }
    });
    ASSERT_TRUE(WaitFor([&] { return unplugged && !h.Flags().isConnected && !h.Controller().WorkerRunning(); }));
    QTest::qWait(50);
    EXPECT_EQ(h.Window().AlbumList()->count(), 0);
    EXPECT_TRUE(h.Controller().CachePaths().isEmpty());
    EXPECT_EQ(h.Window().StatusText(), QStringLiteral("DPF Detached!"));

    const int reads = h.Controller().ReadsFinished();
    h.Plug(true);
    ASSERT_TRUE(h.WaitForRead(reads));
    EXPECT_EQ(h.Window().AlbumList()->count(), 4);
    EXPECT_EQ(h.Controller().CachePaths().size(), 4);
}

TEST(ReadAlbum, ColoursOfTheListBecomeTwentyFourBitAndEqualOnesFallBack)
{
    EXPECT_EQ(app::ColourFrom565(0xF800), QColor(248, 0, 0));
    EXPECT_EQ(app::ColourFrom565(0x07E0), QColor(0, 252, 0));
    EXPECT_EQ(app::ColourFrom565(0x001F), QColor(0, 0, 248));
    EXPECT_EQ(app::ColourFrom565(0xFFFF), QColor(248, 252, 248));

    AppHarness h;
    SetFrameColours(h.emulator, 0xF800, 0x001F);
    ASSERT_TRUE(h.StartAndRead());
    EXPECT_EQ(h.Controller().FontColour(), QColor(248, 0, 0));
    EXPECT_EQ(h.Controller().BackgroundColour(), QColor(0, 0, 248));

    AppHarness same;
    SetFrameColours(same.emulator, 0x1234, 0x1234);
    ASSERT_TRUE(same.StartAndRead());
    EXPECT_EQ(same.Controller().FontColour(), QColor(0, 0, 0));
    EXPECT_EQ(same.Controller().BackgroundColour(), QColor(255, 255, 255));
}
