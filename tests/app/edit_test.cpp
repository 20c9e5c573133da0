// Editing the album: drops, the single add at falling quality, Delete and the limits.
#include "tests/app/app_harness.h"

#include "app/drop_queue.h"
#include "app/folder_tree_ctrl.h"
#include "app/thumb_list_ctrl.h"
#include "compose/preview.h"

#include "album/album_store.h"
#include "codec/picture_files.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace fotolume;
using namespace fotolume::apptest;

namespace {

const QString kMemFull =
    QStringLiteral("The maximum number of images has been reached.  Delete some images before adding any more.");

uint32_t LastLength(album::CAlbumStore& store)
{
    album::PicEntry entry;
    store.GetPictureEntry(store.GetPictureCount() - 1, entry);
    return entry.length;
}

} // namespace

TEST(DropQueue, TakesTheFirst125ItemsAndPictureExtensionsInAnyCase)
{
    QTemporaryDir dir;
    QStringList dropped;
    for (int i = 0; i < 130; ++i)
        dropped.append(Touch(dir.filePath(QStringLiteral("p%1.jpg").arg(i, 3, 10, QLatin1Char('0')))));
    const QStringList queued = app::CollectDroppedFiles(dropped);
    ASSERT_EQ(queued.size(), app::kMaxDroppedItems);
    EXPECT_EQ(queued, dropped.mid(0, 125));

    EXPECT_EQ(app::CollectDroppedFiles({dir.filePath(QStringLiteral("Photo.JPEG")), dir.filePath(QStringLiteral("a.Gif")),
                                        dir.filePath(QStringLiteral("notes.txt")), dir.filePath(QStringLiteral("b.png"))}),
              (QStringList{dir.filePath(QStringLiteral("Photo.JPEG")), dir.filePath(QStringLiteral("a.Gif"))}));
}

TEST(DropQueue, AFolderGivesItsOwnPicturesWithTheirCaseButNotItsSubfolders)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("Holiday/Sub"));
    const QString folder = dir.filePath(QStringLiteral("Holiday"));
    Touch(folder + QStringLiteral("/Beach.JPG"));
    Touch(folder + QStringLiteral("/a.bmp"));
    Touch(folder + QStringLiteral("/notes.txt"));
    Touch(folder + QStringLiteral("/Sub/deep.jpg"));
    EXPECT_EQ(app::CollectDroppedFiles({folder}),
              (QStringList{folder + QStringLiteral("/a.bmp"), folder + QStringLiteral("/Beach.JPG")}));
}

TEST(Edit, AFolderDropAddsItsPicturesOnTheAddWorker)
{
    AppHarness h;
    ASSERT_TRUE(h.StartAndRead());
    const QString folder = h.files.filePath(QStringLiteral("Trip"));
    QDir(h.files.path()).mkpath(QStringLiteral("Trip/Sub"));
    WritePicture(folder, QStringLiteral("ONE.JPG"), 300, 200, 1);
    WritePicture(folder, QStringLiteral("two.bmp"), 200, 300, 2);
    WritePicture(folder + QStringLiteral("/Sub"), QStringLiteral("three.jpg"), 200, 200, 3);
    Touch(folder + QStringLiteral("/broken.jpg"));

    QSignalSpy added(&h.Controller(), &app::CMainController::addFinished);
    h.Controller().OnFilesDropped({folder});
    EXPECT_TRUE(h.Flags().isAddingBatch);
    EXPECT_FALSE(h.Window().Button(1001)->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return added.count() == 1 && !h.Controller().WorkerRunning(); }));
    EXPECT_EQ(added.constLast().at(0).toInt(), 0);
    EXPECT_EQ(h.Window().AlbumList()->count(), 2);
    EXPECT_EQ(h.Window().AlbumList()->GetItemCaption(1), QStringLiteral("0002.bmp"));
    EXPECT_EQ(h.Controller().CachePaths().size(), 2);
    // One message at the end, naming the file that could not be read.
    EXPECT_EQ(h.prompt.Texts(), QStringList{QStringLiteral("The picture is destroyed!\n") + folder +
                                            QStringLiteral("/broken.jpg")});
    EXPECT_FALSE(h.Flags().isAddingBatch);
    EXPECT_TRUE(h.Flags().isModified);
    EXPECT_TRUE(h.Window().Button(1001)->isEnabled());
    EXPECT_EQ(h.Controller().Store()->GetPictureCount(), 2);
}

TEST(Edit, DropsAreRefusedWhileReadingOrWithoutAFrame)
{
    AppHarness h;
    ASSERT_EQ(h.Start(), -1);
    const QString picture = WritePicture(h.files.path(), QStringLiteral("a.jpg"), 200, 200, 1);
    h.Flags().isReading = true;
    h.Controller().OnFilesDropped({picture});
    EXPECT_FALSE(h.Flags().isAddingBatch);
    ASSERT_TRUE(h.WaitForRead(0));
    h.Flags().isConnected = false;
    h.Controller().OnFilesDropped({picture});
    EXPECT_FALSE(h.Flags().isAddingBatch);
    EXPECT_TRUE(h.Controller().SourceFiles().isEmpty());
}

TEST(Edit, SingleAddShowsWhatTheFrameWillShowAndAdvancesTheTree)
{
    AppHarness h;
    ASSERT_TRUE(h.StartAndRead());
    // Nothing previewed: nothing to add.
    EXPECT_FALSE(h.Controller().SingleAdd());
    EXPECT_EQ(h.Window().AlbumList()->count(), 0);

    const QString first = WritePicture(h.files.path(), QStringLiteral("a.jpg"), 300, 200, 1);
    const QString second = WritePicture(h.files.path(), QStringLiteral("b.jpg"), 300, 200, 2);
    SelectInTree(h, QStringLiteral("a.jpg"));
    ASSERT_EQ(h.Window().CurrentPreviewFile(), first);
    app::CFolderTreeCtrl* tree = h.Window().Tree();

    ASSERT_TRUE(h.Controller().SingleAdd());
    EXPECT_TRUE(h.Flags().isModified);
    EXPECT_EQ(h.Window().AlbumList()->GetItemCaption(0), QStringLiteral("0001.bmp"));
    // The tree moved on to the next picture, which is now previewed.
    ASSERT_NE(tree->currentItem(), nullptr);
    EXPECT_EQ(tree->currentItem()->text(0), QStringLiteral("b.jpg"));
    EXPECT_EQ(h.Window().CurrentPreviewFile(), second);

    // The cache bitmap is the stored stream decoded back.
    album::CAlbumStore* store = h.Controller().Store();
    const QString stream = h.temp.filePath(QStringLiteral("check.bin"));
    QFile out(stream);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(reinterpret_cast<const char*>(store->PictureData(0)), LastLength(*store));
    out.close();
    const QString decoded = h.temp.filePath(QStringLiteral("check.bmp"));
    ASSERT_TRUE(codec::CKv318Encoder::DeCode(stream.toStdString(), decoded.toStdString(), 128, 128));
    EXPECT_EQ(QImage(h.Controller().CachePaths()[0]).convertToFormat(QImage::Format_RGB32),
              QImage(decoded).convertToFormat(QImage::Format_RGB32));

    // A double-click in the tree adds without moving the selection.
    h.Controller().OnTreeAddRequested(second);
    EXPECT_EQ(h.Window().AlbumList()->count(), 2);
    EXPECT_EQ(tree->currentItem()->text(0), QStringLiteral("b.jpg"));
    EXPECT_TRUE(h.Flags().autoAdvance);
}

TEST(Edit, QualityFallsUntilThePictureFitsAndAPictureThatNeverFitsIsRefused)
{
    AppHarness h;
    ASSERT_TRUE(h.StartAndRead());
    const QString source = WritePicture(h.files.path(), QStringLiteral("big.jpg"), 500, 400, 5);
    h.Controller().OnTreePictureChosen(source);
    const QImage crop = h.Controller().Preview()->GetCropBitmap();
    const size_t at10 = PictureStream(crop, 10).size();
    const size_t at20 = PictureStream(crop, 20).size();
    ASSERT_GT(at20, at10);

    album::CAlbumStore* store = h.Controller().Store();
    const uint32_t free = store->GetFreeSpaceForPicture();
    const uint32_t wanted = static_cast<uint32_t>(at10 + (at20 - at10) / 2);
    Bytes filler(free - wanted, 0x11);
    ASSERT_TRUE(store->AddPictureData(filler.data(), static_cast<uint32_t>(filler.size())));
    ASSERT_EQ(store->GetFreeSpaceForPicture(), wanted);

    ASSERT_TRUE(h.Controller().SingleAdd());
    EXPECT_EQ(LastLength(*store), at10);
    EXPECT_TRUE(h.prompt.Texts().isEmpty());

    // Now less room than even quality 10 needs.
    h.Controller().OnTreePictureChosen(source);
    const int before = store->GetPictureCount();
    EXPECT_FALSE(h.Controller().SingleAdd());
    EXPECT_EQ(store->GetPictureCount(), before);
    EXPECT_EQ(h.prompt.Texts(), QStringList{kMemFull});
    EXPECT_EQ(h.Window().AlbumList()->count(), 1);
    EXPECT_EQ(QDir(h.Controller().CacheFolder()).entryList(QDir::Files).size(), 1);
}

TEST(Edit, AnAlbumAtItsMaximumCountRefusesEveryAdd)
{
    sim::NewFrame frame;
    frame.maxPictures = 2;
    AppHarness h(frame);
    ASSERT_TRUE(h.StartAndRead(NoiseStreams(10, 2, {128, 128}, 50)));
    ASSERT_EQ(h.Window().AlbumList()->count(), 2);
    EXPECT_EQ(h.Window().TotalsText(), QStringLiteral("Total Pictures:\n \n2  / 2 "));

    const QString picture = WritePicture(h.files.path(), QStringLiteral("small.jpg"), 64, 64, 9);
    h.Controller().OnTreePictureChosen(picture);
    EXPECT_FALSE(h.Controller().SingleAdd());
    EXPECT_EQ(h.prompt.Texts(), QStringList{kMemFull});

    EXPECT_EQ(DropAndWait(h, {picture, picture}), 1);
    EXPECT_EQ(h.prompt.Texts(), (QStringList{kMemFull, kMemFull}));
    EXPECT_EQ(h.Controller().Store()->GetPictureCount(), 2);
    EXPECT_TRUE(h.Window().Button(1001)->isEnabled());
}

TEST(Edit, DeletingItemsTwoAndFourOfFiveRenumbersAndRemovesTheirCacheFiles)
{
    AppHarness h;
    const std::vector<Bytes> seeds = NoiseStreams(10, 5, {128, 128}, 50);
    ASSERT_TRUE(h.StartAndRead(seeds));
    const QStringList cache = h.Controller().CachePaths();
    ASSERT_EQ(cache.size(), 5);

    app::CThumbListCtrl* list = h.Window().AlbumList();
    // Nothing selected: the user is told, nothing asked.
    list->clearSelection();
    h.Controller().OnDelete();
    EXPECT_EQ(h.prompt.Texts(), QStringList{QStringLiteral("Please select at least a pic before you delete it!")});
    h.prompt.Clear();

    list->item(1)->setSelected(true);
    list->item(3)->setSelected(true);
    h.prompt.QueueNo();
    h.Controller().OnDelete();
    EXPECT_EQ(list->count(), 5);

    h.prompt.QueueYes();
    h.Controller().OnDelete();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->GetItemCaption(0), QStringLiteral("0001.bmp"));
    EXPECT_EQ(list->GetItemCaption(1), QStringLiteral("0002.bmp"));
    EXPECT_EQ(list->GetItemCaption(2), QStringLiteral("0003.bmp"));
    EXPECT_EQ(h.Controller().CachePaths(), (QStringList{cache[0], cache[2], cache[4]}));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(QFile::exists(cache[i]), i != 1 && i != 3) << i;
    EXPECT_TRUE(h.Flags().isModified);
    album::CAlbumStore* store = h.Controller().Store();
    ASSERT_EQ(store->GetPictureCount(), 3);
    const size_t kept[] = {0, 2, 4};
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(std::equal(seeds[kept[i]].begin(), seeds[kept[i]].end(), store->PictureData(i))) << i;
    EXPECT_EQ(h.Window().CurrentPreviewFile(), cache[4]);
}

TEST(Edit, SelectAllAndAnAlbumClickPreviewTheCachedPicture)
{
    AppHarness h;
    ASSERT_TRUE(h.StartAndRead(NoiseStreams(10, 3, {128, 128}, 50)));
    app::CThumbListCtrl* list = h.Window().AlbumList();
    list->clearSelection();
    list->item(2)->setSelected(true);
    h.Controller().OnAlbumClicked();
    EXPECT_EQ(h.Window().CurrentPreviewFile(), h.Controller().CachePaths()[2]);
    EXPECT_TRUE(h.Controller().Preview()->Composition().HasPicture());

    h.Flags().isAddingBatch = true;
    h.Controller().OnSelectAll();
    EXPECT_EQ(list->SelectedIndices().size(), 1);
    h.Flags().isAddingBatch = false;
    h.Controller().OnSelectAll();
    EXPECT_EQ(list->SelectedIndices().size(), 3);
}

TEST(Edit, AClickOnTheAlbumPreviewsOncePerClickAndAnUnreadableTileShowsNothing)
{
    AppHarness h;
    std::vector<Bytes> pictures = NoiseStreams(10, 3, {128, 128}, 50);
    pictures[2] = Bytes(2000, 0x5A);
    ASSERT_TRUE(h.StartAndRead(pictures));
    h.Window().show();
    h.prompt.Clear();
    app::CThumbListCtrl* list = h.Window().AlbumList();
    list->clearSelection();
    QSignalSpy clicked(&h.Window(), &app::CMainDlg::albumClicked);
    auto click = [&](int row) {
        const QRect place = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, place.center());
    };
    click(1);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(h.Window().CurrentPreviewFile(), h.Controller().CachePaths()[1]);
    // The tree's picture replaces it; a click on the still selected item brings it back, once.
    const QString tree = WritePicture(h.files.path(), QStringLiteral("t.jpg"), 200, 200, 4);
    h.Controller().OnTreePictureChosen(tree);
    click(1);
    EXPECT_EQ(clicked.count(), 2);
    EXPECT_EQ(h.Window().CurrentPreviewFile(), h.Controller().CachePaths()[1]);
    // The damaged picture has no file: the preview empties without a message.
    click(2);
    EXPECT_EQ(clicked.count(), 3);
    EXPECT_TRUE(h.Window().CurrentPreviewFile().isEmpty());
    EXPECT_TRUE(h.prompt.History().isEmpty());
}

TEST(Edit, TheTreeMovingOnToAFileThatIsNoPictureNamesIt)
{
    AppHarness h;
    ASSERT_TRUE(h.StartAndRead());
    WritePicture(h.files.path(), QStringLiteral("a.jpg"), 300, 200, 1);
    const QString broken = Touch(h.files.filePath(QStringLiteral("b.jpg")));
    SelectInTree(h, QStringLiteral("a.jpg"));
    app::CFolderTreeCtrl* tree = h.Window().Tree();
    ASSERT_TRUE(h.Controller().SingleAdd());
    ASSERT_EQ(tree->currentItem()->text(0), QStringLiteral("b.jpg"));
    EXPECT_EQ(h.prompt.Texts(), QStringList{QStringLiteral("The picture is destroyed!\n") + broken});
    EXPECT_TRUE(h.Window().CurrentPreviewFile().isEmpty());
    // Nothing previewed, nothing to add.
    EXPECT_FALSE(h.Controller().SingleAdd());
    EXPECT_EQ(h.Window().AlbumList()->count(), 1);
}
