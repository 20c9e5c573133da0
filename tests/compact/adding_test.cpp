// Adding pictures (single and batch, with the album's limits and the quality search) and deleting them.
#include <QImage>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>

#include "compact/compact_controller.h"
#include "compact/compact_widgets.h"
#include "compact/file_browser.h"
#include "tests/compact/compact_fixture.h"

namespace fotolume::compact::testing {
namespace {

namespace fs = std::filesystem;

// Records every encoding and can pretend the streams are larger than they are.
class CRecordingConverter : public CPictureConverter {
public:
    int EnCode(const std::string& bmp, const std::string& stream, int width, int height, int quality,
               int yValue) override {
        qualities.push_back(quality);
        yValues.push_back(yValue);
        const int size = CPictureConverter::EnCode(bmp, stream, width, height, quality, yValue);
        if (size == 0) return 0;
        return quality > fitsFrom ? reportedSize : size;
    }
    std::vector<int> qualities, yValues;
    int fitsFrom = 0;  // qualities above this report reportedSize
    int reportedSize = 1 << 30;
};

class AddingTest : public CompactTest {
protected:
    CRecordingConverter* UseRecorder() {
        auto recorder = std::make_unique<CRecordingConverter>();
        CRecordingConverter* raw = recorder.get();
        MyJPG = std::move(recorder);
        return raw;
    }
    void ShowPicture() { m_window->PictureView()->SetPicture(testsupport::PatternPicture(300, 200)); }
};

TEST_F(AddingTest, QualitySearchStepsDownFromTheHeadersQualityAndGivesUp) {
    sim::NewFrame layout;
    layout.maxPictures = 10;
    layout.quality = 85;
    layout.yValue = 2;
    NewFlash(layout);
    Start();
    CRecordingConverter* recorder = UseRecorder();
    ShowPicture();
    MyAddButtonHandler();
    Settle();
    EXPECT_EQ(recorder->qualities, std::vector<int>({85, 75, 65, 55, 45, 35, 25, 15, 5}));
    EXPECT_EQ(recorder->yValues.front(), 2);
    EXPECT_EQ(Text("devl", 0), QStringLiteral("Couldn't Process the Picture!"));
    EXPECT_EQ(gmyTotalePictureNum, 0);
    EXPECT_EQ(gmyTotalePicture, 0);
    EXPECT_TRUE(AlbumNames().isEmpty());
    EXPECT_FALSE(fs::exists(EdataPath("Picture1.bmp")));

    // Found at 45: added, and the search's last quality is kept.
    recorder->qualities.clear();
    recorder->fitsFrom = 45;
    MyAddButtonHandler();
    Settle();
    EXPECT_EQ(recorder->qualities, std::vector<int>({85, 75, 65, 55, 45}));
    EXPECT_EQ(G_CurQuanlity, 45);
    EXPECT_EQ(AlbumNames(), QStringList({QStringLiteral("Picture1.bmp")}));
    EXPECT_EQ(Text("TOPI", 0), QStringLiteral("001/010"));
    EXPECT_EQ(GetNode(*gmyPictureData, 1)->sequence, 1001);
    EXPECT_FALSE(GetNode(*gmyPictureData, 1)->onFrame);
}

TEST_F(AddingTest, TheAlbumStopsAt509AndAtTheFreeSpace) {
    Start();
    ShowPicture();
    const QImage composed = m_window->ComposedPicture();
    ASSERT_EQ(composed.size(), QSize(128, 128));

    gmyTotalePictureNum = 509;
    gmyTotalePicture = 600;
    EXPECT_FALSE(AddComposedPicture(composed, false));
    Settle();
    EXPECT_EQ(Text("devl", 0), QStringLiteral("Can't add anymore pictures!"));
    EXPECT_EQ(gmyTotalePictureNum, 509);
    EXPECT_EQ(gmyTotalePicture, 600);

    gmyTotalePictureNum = gmyTotalePicture = 0;
    TotolFlashSizeForPic = 10;
    EXPECT_FALSE(AddComposedPicture(composed, false));
    Settle();
    EXPECT_EQ(Text("devl", 0), QStringLiteral("Can't add anymore pictures!"));
    EXPECT_EQ(gmyPictureData->count, 0);

    TotolFlashSizeForPic = 1 << 20;
    EXPECT_TRUE(AddComposedPicture(composed, false));
    EXPECT_LT(TotolFlashSizeForPic, 1 << 20);
    EXPECT_EQ(GetNode(*gmyPictureData, 1)->size, (1 << 20) - TotolFlashSizeForPic);
}

TEST_F(AddingTest, DeletingWithNothingSelectedRemovesTheLastPicture) {
    const std::vector<Slot> slots = PutPictures({Qt::red, Qt::green, Qt::blue, Qt::white});
    Start();
    const int freeBefore = TotolFlashSizeForPic;
    ASSERT_EQ(gmyCurrentSelectItem, 0);
    MyDelButtonHandler();
    Settle();
    EXPECT_EQ(AlbumNames(), QStringList({QStringLiteral("DPFPicture1.bmp"), QStringLiteral("DPFPicture2.bmp"),
                                         QStringLiteral("DPFPicture3.bmp")}));
    EXPECT_EQ(album::ReadEntry(G_PictureList, 3).flag, 0);
    EXPECT_EQ(TotolFlashSizeForPic, freeBefore + int(slots[3].length));
    EXPECT_EQ(Text("devl", 0), QStringLiteral("The sequence number: 3"));
    // The list then selects its last item.
    EXPECT_EQ(gmyCurrentSelectItem, 3);
    EXPECT_EQ(Text("CUPI", 0), QStringLiteral("003"));

    // A selected picture in the middle: the list closes up behind it.
    m_window->AlbumList()->setCurrentItem(m_window->AlbumList()->topLevelItem(0));
    ASSERT_EQ(gmyCurrentSelectItem, 1);
    MyDelButtonHandler();
    Settle();
    EXPECT_EQ(AlbumNames(), QStringList({QStringLiteral("DPFPicture2.bmp"), QStringLiteral("DPFPicture3.bmp")}));
    EXPECT_EQ(album::ReadEntry(G_PictureList, 0).address, slots[1].address);
    EXPECT_EQ(album::ReadEntry(G_PictureList, 1).address, slots[2].address);
    EXPECT_FALSE(fs::exists(DataPath("DPFPicture1.bmp")));

    // Delete All empties the album and frees the whole picture area.
    gmyDeleteAll = 1;
    MyDelButtonHandler();
    Settle();
    EXPECT_TRUE(AlbumNames().isEmpty());
    EXPECT_EQ(TotolFlashSizeForPic, int(m_layout.flashSize - m_layout.listAddress - 4096));
    EXPECT_EQ(album::ReadEntry(G_PictureList, 0).flag, 0);
    EXPECT_EQ(G_PictureList[0], 'A');
    EXPECT_EQ(Text("CUPI", 0), QStringLiteral("000"));
}

TEST_F(AddingTest, BatchAddTakesTheSelectedFilesInListingOrderAndSkipsNonPictures) {
    QTemporaryDir volume;
    testsupport::PatternPicture(200, 150).save(volume.filePath(QStringLiteral("a.png")));
    testsupport::PatternPicture(150, 200).save(volume.filePath(QStringLiteral("b.png")));
    QFile text(volume.filePath(QStringLiteral("c.txt")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    testsupport::PatternPicture(100, 100).save(volume.filePath(QStringLiteral("d.png")));
    Start({volume.path()});

    CFileBrowser* browser = m_window->Browser();
    browser->OpenContainer(0);
    ASSERT_EQ(browser->ItemCount(), 5);
    {
        const QSignalBlocker blocker(browser);  // select without loading each one
        for (int i : {1, 2, 3}) browser->Item(i).node->setSelected(true);
    }
    MyAddButtonHandler();
    Settle();
    EXPECT_EQ(AlbumNames(), QStringList({QStringLiteral("Picture1.bmp"), QStringLiteral("Picture2.bmp")}));
    EXPECT_FALSE(browser->Item(3).possiblyPicture);
    EXPECT_TRUE(browser->Item(1).possiblyPicture);
    EXPECT_EQ(gmyIsTransferData, 0);
    EXPECT_TRUE(CommandsEnabled());
    EXPECT_TRUE(SelPicArrayRef.empty());
    // a.png went first: its composed bitmap is Picture1 and differs from b.png's.
    EXPECT_NE(QImage(QString::fromStdString(DataPath("Picture1.bmp"))),
              QImage(QString::fromStdString(DataPath("Picture2.bmp"))));
}

}  // namespace
}  // namespace fotolume::compact::testing
