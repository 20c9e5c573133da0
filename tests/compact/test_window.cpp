// The window's controls: the file browser's listing rules, the album list and small preview, the
// crop frame and the little arrows.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "compact_fixture.h"
#include "compact_widgets.h"
#include "controller.h"
#include "file_browser.h"

namespace fotolume::compact::testing {
namespace {

class WindowTest : public CompactTest {
protected:
    QStringList ChildNames(int index) const {
        QStringList names;
        QTreeWidgetItem* node = m_window->Browser()->Item(index).node;
        for (int i = 0; i < node->childCount(); ++i) names << node->child(i)->text(0);
        return names;
    }
    int IndexOfName(const QString& name) const {
        CFileBrowser* browser = m_window->Browser();
        for (int i = browser->ItemCount() - 1; i >= 0; --i) {
            if (!browser->Item(i).released && browser->Item(i).name == name) return i;
        }
        return -1;
    }
    void Select(int index) {
        CFileBrowser* browser = m_window->Browser();
        browser->clearSelection();
        browser->Item(index).node->setSelected(true);
    }
};

void MakeFolders(const QString& root, const QStringList& names) {
    for (const QString& name : names) QDir(root).mkpath(name);
}

void MakeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST_F(WindowTest, TheFileBrowserListsVolumesAndFoldersByItsRules) {
    QTemporaryDir first, second, frameDisk;
    const QStringList systemNames = {QStringLiteral("tmp"), QStringLiteral("etc"), QStringLiteral("var"),
                                     QStringLiteral("Network")};
    MakeFolders(first.path(), systemNames + QStringList{QStringLiteral("Pictures"), QStringLiteral(".hidden"),
                                                        QStringLiteral("Viewer.app")});
    MakeFolders(second.path(), systemNames);
    MakeFile(frameDisk.filePath(QStringLiteral("LanguageUnicode.ini")), "x");
    MakeFile(first.filePath(QStringLiteral("notes.txt")), "hello");
    NewFlash();
    Start({first.path(), frameDisk.path(), second.path()});

    CFileBrowser* browser = m_window->Browser();
    // The frame's own disk is left out; the others are containers, ids from 2.
    ASSERT_EQ(browser->ItemCount(), 2);
    EXPECT_EQ(browser->Item(0).path, first.path());
    EXPECT_EQ(browser->Item(0).id, 2);
    EXPECT_EQ(browser->Item(1).path, second.path());
    EXPECT_TRUE(browser->Item(1).isContainer);
    EXPECT_FALSE(browser->Item(1).possiblyPicture);

    browser->Item(0).node->setExpanded(true);
    EXPECT_EQ(ChildNames(0), QStringList({QStringLiteral("notes.txt"), QStringLiteral("Pictures"),
                                          QStringLiteral("Viewer.app")}));
    const int viewer = IndexOfName(QStringLiteral("Viewer.app"));
    EXPECT_FALSE(browser->Item(viewer).isContainer);
    EXPECT_TRUE(browser->Item(IndexOfName(QStringLiteral("Pictures"))).isContainer);
    EXPECT_TRUE(browser->Item(IndexOfName(QStringLiteral("notes.txt"))).firstOfListing);
    EXPECT_FALSE(browser->Item(viewer).firstOfListing);
    EXPECT_EQ(browser->Item(viewer).id, viewer + 2);

    // Other volumes keep folders of those names.
    browser->Item(1).node->setExpanded(true);
    QStringList second_names = ChildNames(1);
    second_names.sort();
    QStringList expected = systemNames;
    expected.sort();
    EXPECT_EQ(second_names, expected);

    // Closing a folder lets go of its items; opening it again lists them anew.
    const int before = browser->ItemCount();
    browser->Item(0).node->setExpanded(false);
    EXPECT_TRUE(browser->Item(viewer).released);
    browser->Item(0).node->setExpanded(true);
    EXPECT_EQ(browser->ItemCount(), before + 3);
}

TEST_F(WindowTest, ATextFileSaysCouldNotProcessOnceAndLeavesTheViewEmpty) {
    QTemporaryDir volume;
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(Qt::magenta);
    ASSERT_TRUE(picture.save(volume.filePath(QStringLiteral("a.png"))));
    MakeFile(volume.filePath(QStringLiteral("b.txt")), "plain text");
    NewFlash();
    Start({volume.path()});
    CFileBrowser* browser = m_window->Browser();
    browser->Item(0).node->setExpanded(true);
    QSignalSpy notes(m_window.get(), &CMacWindow::NotesShown);

    Select(IndexOfName(QStringLiteral("a.png")));
    EXPECT_TRUE(m_window->PictureView()->Transform().HasPicture());
    EXPECT_EQ(m_window->CurrentBrowserItem(), IndexOfName(QStringLiteral("a.png")));

    const int text = IndexOfName(QStringLiteral("b.txt"));
    Select(text);
    EXPECT_EQ(notes.count(), 1);
    EXPECT_EQ(notes.at(0).at(0).toString(), QStringLiteral("Couldn't Process!"));
    EXPECT_FALSE(browser->Item(text).possiblyPicture);
    EXPECT_FALSE(m_window->PictureView()->Transform().HasPicture());

    Select(IndexOfName(QStringLiteral("a.png")));
    Select(text);
    EXPECT_EQ(notes.count(), 1);
    EXPECT_FALSE(m_window->PictureView()->Transform().HasPicture());
    EXPECT_TRUE(m_window->PictureView()->Picture().isNull());
}

TEST_F(WindowTest, SelectingAlbumItemThreeOfSevenShowsItInTheSmallPreview) {
    NewFlash();
    const std::vector<QColor> colours = {Qt::red,  Qt::green,  Qt::blue,     Qt::black,
                                         Qt::cyan, Qt::yellow, Qt::darkGray};
    PutPictures(colours);
    Start();
    ASSERT_EQ(AlbumNames().size(), 7);
    m_window->AlbumList()->setCurrentItem(m_window->AlbumList()->topLevelItem(2));
    Settle();
    EXPECT_EQ(gmyCurrentSelectItem, 3);
    EXPECT_EQ(Text("CUPI", 0), QStringLiteral("003"));
    CSmallPreview* preview = m_window->SmallPreview();
    EXPECT_EQ(preview->PicturePath(), QString::fromStdString(DataPath("DPFPicture3.bmp")));
    // A square panel in the 200 x 150 view: 150 x 150, centred.
    EXPECT_EQ(preview->PictureRect(), QRect(25, 0, 150, 150));
    const QImage shown = preview->grab().toImage();
    const QColor centre = shown.pixelColor(100, 75), outside = shown.pixelColor(5, 75);
    EXPECT_LT(centre.red(), 20);
    EXPECT_LT(centre.green(), 20);
    EXPECT_GT(centre.blue(), 230);
    EXPECT_GT(outside.red(), 100);  // the view's background beside the picture
}

TEST_F(WindowTest, TheCropFrameFollowsTheMouseAndStaysInTheView) {
    NewFlash();
    Start();
    QWidget* overlay = m_window->findChild<QWidget*>(ControlName("rect", 130));
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(gmyDrawrect.x, (580 - 128) / 2.0f);
    EXPECT_EQ(gmyDrawrect.y, (400 - 128) / 2.0f);
    // Dragged from inside far past the right edge: flush with it.
    QTest::mousePress(overlay, Qt::LeftButton, {}, QPoint(290, 200));
    QTest::mouseMove(overlay, QPoint(900, 200));
    QTest::mouseRelease(overlay, Qt::LeftButton, {}, QPoint(900, 200));
    EXPECT_EQ(gmyDrawrect.x, 580.0f - 128.0f);
    EXPECT_EQ(gmyDrawrect.width, 128.0f);
    // Stretched from a corner outside it up and left: the panel size, extending that way.
    QTest::mousePress(overlay, Qt::LeftButton, {}, QPoint(300, 300));
    QTest::mouseMove(overlay, QPoint(250, 250));
    QTest::mouseRelease(overlay, Qt::LeftButton, {}, QPoint(250, 250));
    EXPECT_EQ(gmyDrawrect.x, 300.0f - 128.0f);
    EXPECT_EQ(gmyDrawrect.y, 300.0f - 128.0f);
    EXPECT_EQ(gmyDrawrect.height, 128.0f);
}

TEST_F(WindowTest, ControlsAreFoundByIdentifierAndSwitchedAsOneGroup) {
    NewFlash();
    Start();
    for (const auto& [signature, number] : std::vector<std::pair<const char*, int>>{
             {"slet", 0}, {"delp", 0}, {"dela", 0}, {"load", 0}, {"upld", 0}, {"open", 0}, {"suts", 0},
             {"rota", 0}, {"scal", 1}, {"trns", 10}, {"trns", 11}, {"CLVW", 0}, {"pict", 0}, {"mVue", 130},
             {"rect", 130}, {"prev", 0}, {"devl", 0}, {"TOPI", 0}, {"CUPI", 0}, {"dnpr", 0}}) {
        EXPECT_NE(m_window->findChild<QWidget*>(ControlName(signature, number)), nullptr) << signature << number;
    }
    EXPECT_EQ(m_window->findChild<QWidget*>(ControlName("mVue", 130))->size(), QSize(580, 400));
    EXPECT_EQ(m_window->AlbumList()->headerItem()->text(0), QStringLiteral("NAME"));
    SetControlPanlEnable(false);
    for (const char* signature : {"slet", "delp", "dela", "load", "upld", "open", "suts", "rota", "CLVW", "pict"}) {
        EXPECT_FALSE(m_window->findChild<QWidget*>(ControlName(signature, 0))->isEnabled()) << signature;
    }
    EXPECT_FALSE(m_window->findChild<QWidget*>(ControlName("trns", 11))->isEnabled());
    // The 'draw' event brings them back while the frame is there.
    InvalidateMyWindow();
    Settle();
    EXPECT_TRUE(CommandsEnabled());
    Plug(false);
    InvalidateMyWindow();
    Settle();
    EXPECT_FALSE(CommandsEnabled());

    auto* deleteAll = m_window->findChild<QCheckBox*>(ControlName("dela", 0));
    deleteAll->setEnabled(true);
    deleteAll->click();
    EXPECT_EQ(gmyDeleteAll, 1);
}

TEST_F(WindowTest, LittleArrowsWrapAndTheScaleSnapsToTheCoverFit) {
    NewFlash();
    Start();
    QImage picture(512, 256, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    m_window->ShowPicture(picture, -1);
    auto* scale = m_window->findChild<CLittleArrows*>(ControlName("scal", 1));
    auto* rotate = m_window->findChild<CLittleArrows*>(ControlName("rota", 0));
    // Cover fit of 512 x 256 on 128 x 128: 0.5, shown as 51.
    EXPECT_EQ(scale->value(), 51);
    scale->setValue(20);
    EXPECT_EQ(scale->value(), 51);
    EXPECT_EQ(m_window->PictureView()->Transform().ScaleValue(), 51);
    rotate->setValue(rotate->maximum());
    rotate->stepBy(1);
    EXPECT_EQ(rotate->value(), rotate->minimum());
    rotate->stepBy(-1);
    EXPECT_EQ(rotate->value(), rotate->maximum());
    EXPECT_EQ(m_window->PictureView()->Transform().Rotation(), rotate->maximum());
    auto* translateX = m_window->findChild<CLittleArrows*>(ControlName("trns", 10));
    EXPECT_EQ(translateX->maximum(), 261);  // the scaled picture's width at 51 %
}

TEST_F(WindowTest, TheNewCommandIsTakenWithoutEffectAndTheQuitCommandAsks) {
    NewFlash();
    PutPictures({Qt::red});
    Start();
    m_window->show();
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    auto* newCommand = m_window->findChild<QAction*>(QStringLiteral("new "));
    ASSERT_NE(newCommand, nullptr);
    QSignalSpy taken(newCommand, &QAction::triggered);
    const QString notes = Text("devl", 0);

    QTest::keyClick(m_window.get(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(taken.count(), 1);
    EXPECT_TRUE(m_prompt.Asked().isEmpty());
    EXPECT_EQ(m_quits, 0);
    EXPECT_EQ(AlbumNames(), QStringList{QStringLiteral("DPFPicture1.bmp")});
    EXPECT_EQ(Text("devl", 0), notes);
    EXPECT_TRUE(CommandsEnabled());

    auto* quit = m_window->findChild<QAction*>(QStringLiteral("quit"));
    ASSERT_NE(quit, nullptr);
    m_prompt.QueueOk(true);
    quit->trigger();
    EXPECT_EQ(m_prompt.Asked(), QStringList{QStringLiteral("MacFotolume|Really want to quit?|OK|Canle")});
    EXPECT_EQ(m_quits, 1);
}

}  // namespace
}  // namespace fotolume::compact::testing
