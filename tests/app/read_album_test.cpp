// The read-album worker on a simulated frame.
#include "tests/app/app_harness.h"

#include "app/read_worker.h"
#include "app/thumb_list_ctrl.h"

#include "album/album_store.h"
#include "sim/frame_image.h"

#include <QDir>
#include <QPushButton>
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
    const std::vector<Bytes> pictures = NoiseStreams(1, 3, {128, 128}, 50);
    ASSERT_TRUE(h.StartAndRead(pictures));
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

TEST(ReadAlbum, ADamagedPictureKeepsItsPlaceIsNamedOnceAndGoesOnlyWhenDeleted)
{
    AppHarness h;
    std::vector<Bytes> album = NoiseStreams(1, 3, {128, 128}, 50);
    album[1] = Bytes(3000, 0x5A);
    SeedAlbum(h.emulator, album);
    ASSERT_EQ(h.Start(), -1);
    QSignalSpy finished(&h.Controller(), &app::CMainController::readFinished);
    ASSERT_TRUE(h.WaitForRead(0));

    EXPECT_EQ(FinishCode(finished), app::kReadPictureUnreadable);
    EXPECT_EQ(Captions(h.Window().AlbumList()),
              (QStringList{QStringLiteral("0001.bmp"), QStringLiteral("0002.bmp"), QStringLiteral("0003.bmp")}));
    EXPECT_EQ(h.prompt.Texts(), QStringList{QStringLiteral("The picture is destroyed!\n0002.bmp")});
    EXPECT_FALSE(h.Flags().isModified);
    EXPECT_TRUE(h.Controller().AlbumComplete());
    EXPECT_EQ(h.statuses.constLast(), QStringLiteral("Reading Finished!"));
    // The cache holds the two pictures that decode; the damaged one has no file to save.
    const QStringList cache = h.Controller().CachePaths();
    ASSERT_EQ(cache.size(), 3);
    EXPECT_TRUE(cache[1].isEmpty());
    EXPECT_EQ(QDir(h.Controller().CacheFolder()).entryList(QDir::Files).size(), 2);
    EXPECT_EQ(h.Controller().Store()->GetPictureCount(), 3);

    // Deleting the first picture and synchronizing keeps the damaged one's bytes as they were.
    h.Window().AlbumList()->item(0)->setSelected(true);
    h.prompt.QueueYes();
    h.Controller().OnDelete();
    EXPECT_EQ(SynchronizeAndWait(h), 0);
    EXPECT_EQ(ReadBackAlbum(h.emulator), (std::vector<Bytes>{album[1], album[2]}));
}

TEST(ReadAlbum, AStreamLongerThanARawPanelCountsAsDamaged)
{
    AppHarness h;
    const Bytes good = PictureStream(NoisePicture(128, 128, 1), 50);
    Bytes huge = good;
    huge.resize(128 * 128 * 3 + 1, 0);
    ASSERT_TRUE(h.StartAndRead({huge, good}));
    EXPECT_EQ(h.Window().AlbumList()->count(), 2);
    EXPECT_EQ(h.prompt.Texts(), QStringList{QStringLiteral("The picture is destroyed!\n0001.bmp")});
    EXPECT_EQ(AlbumInMemory(h.Controller()).front(), huge);
}

TEST(ReadAlbum, AZeroPanelDecodesNothingDropsNothingAndEditsNothing)
{
    AppHarness h;
    SeedAlbum(h.emulator, {PictureStream(NoisePicture(128, 128, 1), 50)});
    h.emulator.Flash()[sim::kHeaderWidth] = 0;
    h.emulator.Flash()[sim::kHeaderWidth + 1] = 0;
    ASSERT_TRUE(h.StartAndRead());
    EXPECT_EQ(h.prompt.Texts(),
              QStringList{QStringLiteral("LCD width is 0, it must have something wrong with your DPF!")});
    // The frame's picture keeps its place, unshown; nothing may be added or written.
    EXPECT_EQ(h.Window().AlbumList()->count(), 1);
    EXPECT_FALSE(h.Controller().AlbumComplete());
    EXPECT_FALSE(h.Window().Button(1019)->isEnabled());
    EXPECT_FALSE(h.Window().Button(1001)->isEnabled());
    EXPECT_FALSE(h.Flags().isModified);
    EXPECT_EQ(ReadBackAlbum(h.emulator).size(), 1U);
}

// A frame that may not be written is said to be so once, when it is read; a panel no frame has is not
// decoded into.
TEST(ReadAlbum, AFrameThatMayNotBeWrittenIsSaidSoWhenRead)
{
    for (int variant = 0; variant < 2; ++variant) {
        SCOPED_TRACE(variant == 0 ? "chip-erase opcode" : "panel of 65535 x 65535");
        AppHarness h;
        SeedAlbum(h.emulator, {PictureStream(NoisePicture(128, 128, 1), 50)});
        if (variant == 0) {
            h.emulator.Flash()[sim::kHeaderEraseOpcode] = 0xC7;
        } else {
            for (uint32_t at : {sim::kHeaderWidth, sim::kHeaderHeight}) {
                h.emulator.Flash()[at] = 0xFF;
                h.emulator.Flash()[at + 1] = 0xFF;
            }
        }
        ASSERT_TRUE(h.StartAndRead());
        ASSERT_EQ(h.prompt.Texts().size(), 1);
        EXPECT_TRUE(h.prompt.Texts()[0].startsWith(QStringLiteral("The memory layout of this DPF"))) << h.prompt.Texts()[0].toStdString();
        EXPECT_EQ(h.Window().AlbumList()->count(), 1);
        EXPECT_EQ(h.Controller().AlbumComplete(), variant == 0);
    }
}

TEST(ReadAlbum, UnpluggingDuringTheReadEmptiesTheViewAndAnArrivalRereads)
{
    AppHarness h;
    const std::vector<Bytes> pictures = NoiseStreams(1, 4, {128, 128}, 50);
    SeedAlbum(h.emulator, pictures);
    ASSERT_EQ(h.Start(), -1);
    bool unplugged = false;
    QObject::connect(&h.Window(), &app::CMainDlg::statusShown, [&](const QString& text) {
        if (text.startsWith(QStringLiteral("Reading Pictures:")) && !unplugged) {
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
    struct Row { uint16_t font, background; QColor fontShown, backgroundShown; };
    for (const Row& row : {Row{0xF800, 0x001F, QColor(248, 0, 0), QColor(0, 0, 248)},
                           Row{0x1234, 0x1234, QColor(0, 0, 0), QColor(255, 255, 255)}}) {
        AppHarness h;
        SetFrameColours(h.emulator, row.font, row.background);
        ASSERT_TRUE(h.StartAndRead());
        EXPECT_EQ(h.Controller().FontColour(), row.fontShown) << row.font;
        EXPECT_EQ(h.Controller().BackgroundColour(), row.backgroundShown) << row.font;
    }
}

TEST(ReadAlbum, AReadStoppedPartWayKeepsEveryPlaceEditsNothingAndDeleteLaterTakesOnlyTheSelectedPicture)
{
    AppHarness h;
    const std::vector<Bytes> album = NoiseStreams(1, 6, {128, 128}, 50);
    SeedAlbum(h.emulator, album);
    // Picture 2's read fails once; the frame stays attached (it is powered up when plugged in at the start).
    const int step = First(ReadCommands({}, h.emulator.Flash()),
                           [&](const Sent& c) { return IsRead(c) && Address(c) == SeededPictureAddress(album, 1); });
    ASSERT_GT(step, 0);
    h.emulator.SetFaults({.failCommand = static_cast<uint64_t>(step)});
    h.prompt.QueueNo();
    ASSERT_TRUE(h.StartAndRead());
    ASSERT_TRUE(h.WaitSettled());

    // One message says which picture, and the list keeps a place for every picture of the frame.
    ASSERT_EQ(h.prompt.History().size(), 1);
    EXPECT_EQ(h.prompt.Texts()[0],
              QStringLiteral("Reading picture 2 of 6 from the DPF failed! Read the album again?"));
    app::CThumbListCtrl* list = h.Window().AlbumList();
    EXPECT_EQ(Captions(list), (QStringList{QStringLiteral("0001.bmp"), QStringLiteral("0002.bmp"),
                                           QStringLiteral("0003.bmp"), QStringLiteral("0004.bmp"),
                                           QStringLiteral("0005.bmp"), QStringLiteral("0006.bmp")}));
    const QStringList cache = h.Controller().CachePaths();
    ASSERT_EQ(cache.size(), 6);
    EXPECT_FALSE(cache[0].isEmpty());
    for (int i = 1; i < 6; ++i)
        EXPECT_TRUE(cache[i].isEmpty()) << i;
    EXPECT_TRUE(h.Window().TotalsText().startsWith(QStringLiteral("Total Pictures:\n 6 \n(")));
    EXPECT_FALSE(h.Controller().AlbumComplete());
    for (int id : {1019, 1006, 1001, 1048})
        EXPECT_FALSE(h.Window().Button(id)->isEnabled()) << id;
    EXPECT_TRUE(h.Window().Button(1033)->isEnabled());

    // Nothing can be added or deleted: not the previewed picture, not a drop, not the selected item.
    const QString picture = WritePicture(h.files.path(), QStringLiteral("new.jpg"), 300, 200, 9);
    h.Controller().OnTreePictureChosen(picture);
    EXPECT_FALSE(h.Controller().SingleAdd());
    h.Controller().OnFilesDropped({picture});
    EXPECT_FALSE(h.Flags().isAddingBatch);
    list->item(1)->setSelected(true);
    h.prompt.QueueYes();
    h.Controller().OnDelete();
    EXPECT_EQ(list->count(), 6);
    EXPECT_EQ(h.Controller().Store()->GetPictureCount(), 6);
    h.Controller().OnSynchronize();
    EXPECT_FALSE(h.Flags().isSending);

    // Read through once the frame is plugged in again: now the selected picture, and only it, goes.
    h.prompt.Clear();
    ASSERT_TRUE(h.Replug());
    ASSERT_TRUE(h.Controller().AlbumComplete());
    EXPECT_TRUE(h.prompt.Texts().isEmpty());
    list->clearSelection();
    list->item(1)->setSelected(true);
    h.prompt.QueueYes();
    h.Controller().OnDelete();
    EXPECT_EQ(SynchronizeAndWait(h), 0);
    std::vector<Bytes> expected = album;
    expected.erase(expected.begin() + 1);
    EXPECT_EQ(ReadBackAlbum(h.emulator), expected);
}
