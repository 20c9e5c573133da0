#include "app/thumb_list_ctrl.h"
#include "tests/support/qt_pictures.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>

using fotolume::app::CThumbListCtrl;
using fotolume::app::ComputeThumbGeometry;
using fotolume::app::ThumbGeometry;

namespace {

const auto Solid = fotolume::testsupport::SolidPicture;

// A list set up like the window does for a 160 x 128 panel, ThumbWidth 96, 3 columns.
class ThumbList : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_list.SetGeometry(96, 76, 5, 20);
        m_list.SetColumns(3);
        ASSERT_TRUE(m_list.CreateImageList());
    }

    void AddItems(int n)
    {
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(m_list.AddBitmap(Solid(96, 76, QColor(i * 20, 0, 0)),
                                         QString::asprintf("%04d.bmp", m_list.GetItemCount() + 1)));
    }

    QTemporaryDir m_dir;
    CThumbListCtrl m_list;
};

} // namespace

TEST(ThumbGeometrySetUp, HeightFollowsThePanelAndMissingValuesFallBack)
{
    EXPECT_EQ(ComputeThumbGeometry(96, 3, 128, 160, 400).height, 120);
    const ThumbGeometry wide = ComputeThumbGeometry(96, 3, 160, 128, 400);
    EXPECT_EQ(wide.width, 96);
    EXPECT_EQ(wide.height, 76); // 76.8 truncated
    EXPECT_EQ(wide.gapX, 5);
    EXPECT_EQ(wide.gapY, 20);
    EXPECT_EQ(wide.columns, 3);

    // No ThumbWidth in either settings file: cells that fit the list.
    const ThumbGeometry fallback = ComputeThumbGeometry(0, 3, 160, 128, 246);
    EXPECT_GT(fallback.width, 0);
    EXPECT_GT(fallback.height, 0);
    EXPECT_LE(fallback.columns * (fallback.width + fallback.gapX), 246);
    EXPECT_EQ(fallback.height, fallback.width * 128 / 160);

    // ThumbWidth wider than the list has room for: the cells shrink until every column shows, with its
    // gap and one to spare, and no narrower (the 800 x 600 layout leaves about 196 pixels).
    for (const int room : {206, 196, 120}) {
        const ThumbGeometry narrow = ComputeThumbGeometry(96, 2, 128, 160, room);
        EXPECT_LE(narrow.columns * narrow.width + (narrow.columns + 1) * narrow.gapX, room) << room;
        EXPECT_GT(narrow.columns * (narrow.width + 1) + (narrow.columns + 1) * narrow.gapX, room) << room;
        EXPECT_EQ(narrow.height, narrow.width * 160 / 128) << room;
    }
    EXPECT_EQ(ComputeThumbGeometry(96, 2, 128, 128, 196).width, 90);
    EXPECT_EQ(ComputeThumbGeometry(96, 2, 128, 128, 207).width, 96);

    // No column count and a panel of unknown size still give a usable grid.
    const ThumbGeometry odd = ComputeThumbGeometry(-4, 0, 0, 0, 10);
    EXPECT_GE(odd.columns, 1);
    EXPECT_GE(odd.width, 1);
    EXPECT_GE(odd.height, 1);
}

TEST_F(ThumbList, ItemsLieOnTheGridAndStayThereAfterTheViewLaysOut)
{
    m_list.resize(400, 400);
    AddItems(5);
    EXPECT_EQ(m_list.GridPosition(4), QPoint(106, 96));
    EXPECT_EQ(m_list.GridPosition(0), QPoint(5, 0));

    m_list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_list));
    QTest::qWait(20);
    m_list.doItemsLayout();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(m_list.GetItemPosition(i), m_list.GridPosition(i)) << i;
    EXPECT_EQ(m_list.GetItemPosition(4), QPoint(106, 96));
    EXPECT_EQ(m_list.GetItemCaption(4), QStringLiteral("0005.bmp"));
}

TEST_F(ThumbList, FreedSlotsAreReusedLastFreedFirst)
{
    AddItems(6);
    ASSERT_EQ(m_list.GetImageCount(), 6);

    m_list.DeleteItem(2); // image slot 2
    m_list.DeleteItem(4); // the former item 5, image slot 5
    EXPECT_EQ(m_list.GetItemCount(), 4);
    EXPECT_EQ(m_list.GetFreeSlots(), (std::vector<int>{2, 5}));

    ASSERT_TRUE(m_list.AddBitmap(Solid(96, 76, Qt::green), QStringLiteral("new1")));
    ASSERT_TRUE(m_list.AddBitmap(Solid(96, 76, Qt::blue), QStringLiteral("new2")));
    EXPECT_EQ(m_list.GetImageIndex(4), 5);
    EXPECT_EQ(m_list.GetImageIndex(5), 2);
    EXPECT_EQ(m_list.GetImageCount(), 6);
    EXPECT_TRUE(m_list.GetFreeSlots().empty());
    // The reused slot shows the new picture.
    EXPECT_EQ(m_list.GetSlotImage(5).pixel(10, 10), QColor(Qt::green).rgb());
    EXPECT_EQ(m_list.GetSlotImage(2).pixel(10, 10), QColor(Qt::blue).rgb());

    // Every item uses a distinct slot.
    std::vector<int> used;
    for (int i = 0; i < m_list.GetItemCount(); ++i)
        used.push_back(m_list.GetImageIndex(i));
    std::sort(used.begin(), used.end());
    EXPECT_EQ(used, (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

TEST_F(ThumbList, DeleteAllFreesEverySlotAndLeavesAnEmptyListAlone)
{
    m_list.DeleteAll();
    EXPECT_EQ(m_list.GetItemCount(), 0);
    EXPECT_TRUE(m_list.GetFreeSlots().empty());
    EXPECT_TRUE(m_list.updatesEnabled());

    AddItems(3);
    m_list.DeleteAll();
    EXPECT_EQ(m_list.GetItemCount(), 0);
    EXPECT_EQ(m_list.GetFreeSlots().size(), 3u);
    EXPECT_EQ(m_list.GetImageCount(), 3);
    EXPECT_TRUE(m_list.updatesEnabled());
    // The image list does not grow while freed slots remain.
    AddItems(2);
    EXPECT_EQ(m_list.GetImageCount(), 3);
}

TEST_F(ThumbList, RelayoutClosesTheHoleLeftByADeletion)
{
    m_list.resize(400, 400);
    AddItems(5);
    m_list.DeleteItem(1);
    m_list.Relayout();
    m_list.doItemsLayout();
    ASSERT_EQ(m_list.GetItemCount(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(m_list.GetItemPosition(i), m_list.GridPosition(i)) << i;
    EXPECT_EQ(m_list.GetItemCaption(1), QStringLiteral("0003.bmp"));
}

TEST_F(ThumbList, AddFromFileStretchesToTheCellAndRefusesWhatItCannotRead)
{
    // A tall picture with a 4-pixel black border round a white middle.
    QImage source(40, 100, QImage::Format_RGB32);
    source.fill(Qt::black);
    for (int y = 4; y < 96; ++y)
        for (int x = 4; x < 36; ++x)
            source.setPixel(x, y, qRgb(255, 255, 255));
    const QString bmp = m_dir.filePath(QStringLiteral("0000.bmp"));
    ASSERT_TRUE(source.save(bmp, "BMP"));

    CThumbListCtrl bare;
    EXPECT_FALSE(bare.AddFromFile(bmp, QStringLiteral("0001.bmp"))); // no image list yet
    ASSERT_TRUE(m_list.AddFromFile(bmp, QStringLiteral("0001.bmp")));
    const QImage cell = m_list.GetSlotImage(m_list.GetImageIndex(0));
    ASSERT_EQ(cell.size(), QSize(96, 76));
    // Stretched, not cropped: the border shows on all four sides.
    for (const QPoint edge : {QPoint(48, 0), QPoint(48, 75), QPoint(0, 38), QPoint(95, 38)})
        EXPECT_LT(qRed(cell.pixel(edge)), 60) << edge.x() << ',' << edge.y();
    EXPECT_GT(qRed(cell.pixel(48, 38)), 200);

    const QString broken = m_dir.filePath(QStringLiteral("broken.bmp"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("BM not really");
    file.close();
    m_list.DeleteItem(0);
    EXPECT_FALSE(m_list.AddFromFile(broken, QStringLiteral("x")));
    EXPECT_FALSE(m_list.AddFromFile(m_dir.filePath(QStringLiteral("missing.bmp")), QStringLiteral("x")));
    EXPECT_EQ(m_list.GetItemCount(), 0);
    EXPECT_EQ(m_list.GetImageCount(), 1);
    EXPECT_EQ(m_list.GetFreeSlots(), (std::vector<int>{0}));
}

TEST_F(ThumbList, AddsFromAWorkerLandOnTheWindowThreadInCallOrder)
{
    QStringList files;
    for (int i = 0; i < 3; ++i) {
        files.append(m_dir.filePath(QString::asprintf("%04d.bmp", i)));
        ASSERT_TRUE(Solid(64, 48, QColor(10 + i * 100, 0, 0)).save(files.last(), "BMP"));
    }
    AddItems(2);
    bool allRead = true;
    std::thread worker([&] {
        m_list.DeleteAll();
        for (int i = 0; i < 3; ++i) {
            allRead = m_list.AddFromFile(files[i], QString::asprintf("%04d.bmp", i + 1)) && allRead;
            m_list.EnsureItemVisible(i);
        }
    });
    worker.join();
    EXPECT_TRUE(allRead);
    EXPECT_EQ(m_list.GetItemCount(), 2); // nothing changed off the window thread
    QCoreApplication::processEvents();
    ASSERT_EQ(m_list.GetItemCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m_list.GetItemCaption(i), QString::asprintf("%04d.bmp", i + 1));
        EXPECT_NEAR(qRed(m_list.GetSlotImage(m_list.GetImageIndex(i)).pixel(5, 5)), 10 + i * 100, 2);
    }
    // The two slots freed by the clear were reused; the image list grew by one only.
    EXPECT_EQ(m_list.GetImageCount(), 3);
}

TEST_F(ThumbList, ReleaseDropsTheImagesAndSetUpStartsAfresh)
{
    AddItems(3);
    m_list.DeleteItem(0);
    m_list.Release();
    EXPECT_FALSE(m_list.HasImageList());
    EXPECT_EQ(m_list.GetImageCount(), 0);
    EXPECT_TRUE(m_list.GetFreeSlots().empty());
    EXPECT_EQ(m_list.GetItemCount(), 0);
    EXPECT_FALSE(m_list.AddBitmap(Solid(96, 76, Qt::red), QStringLiteral("x")));

    m_list.SetUp(ComputeThumbGeometry(64, 4, 128, 128, 400));
    ASSERT_TRUE(m_list.AddBitmap(Solid(10, 10, Qt::red), QStringLiteral("0001.bmp")));
    EXPECT_EQ(m_list.GetSlotImage(0).size(), QSize(64, 64));
    EXPECT_EQ(m_list.GridPosition(5), QPoint(5 + 1 * 69, 84));
}
