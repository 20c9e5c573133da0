// The window's controls: the file browser's listing rules, the album list and small preview, the
// crop frame and the little arrows.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "compact/compact_controller.h"
#include "compact/compact_widgets.h"
#include "compact/file_browser.h"
#include "config/folders.h"
#include "config/ini_writer.h"
#include "tests/compact/compact_fixture.h"

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
    void Select(int index) {
        CFileBrowser* browser = m_window->Browser();
        browser->clearSelection();
        browser->Item(index).node->setSelected(true);
    }
};

QColor CentreOf(const std::string& bmp) {
    const QImage image(QString::fromStdString(bmp));
    return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
}

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
    ASSERT_TRUE(testsupport::SolidPicture(400, 300, Qt::magenta).save(volume.filePath(QStringLiteral("a.png"))));
    MakeFile(volume.filePath(QStringLiteral("b.txt")), "plain text");
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
    Start();
    m_window->ShowPicture(testsupport::SolidPicture(512, 256, Qt::gray), -1);
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

TEST_F(WindowTest, TheClickedPictureIsShownAndAddTakesTheSelectionOfEveryOpenFolder) {
    QTemporaryDir volume;
    MakeFolders(volume.path(), {QStringLiteral("first"), QStringLiteral("second/deeper")});
    ASSERT_TRUE(testsupport::SolidPicture(300, 200, Qt::red).save(volume.filePath(QStringLiteral("first/p1.png"))));
    ASSERT_TRUE(testsupport::SolidPicture(200, 300, Qt::green).save(volume.filePath(QStringLiteral("first/p2.png"))));
    ASSERT_TRUE(testsupport::SolidPicture(250, 250, Qt::blue).save(volume.filePath(QStringLiteral("second/q1.png"))));
    Start({volume.path()});
    CFileBrowser* browser = m_window->Browser();
    browser->Item(0).node->setExpanded(true);
    browser->Item(IndexOfName(QStringLiteral("first"))).node->setExpanded(true);
    // The later listing begins with a folder.
    browser->Item(IndexOfName(QStringLiteral("second"))).node->setExpanded(true);
    ASSERT_TRUE(browser->Item(IndexOfName(QStringLiteral("deeper"))).firstOfListing);
    const int p1 = IndexOfName(QStringLiteral("p1.png")), p2 = IndexOfName(QStringLiteral("p2.png")),
              q1 = IndexOfName(QStringLiteral("q1.png"));

    Click(p2);
    EXPECT_EQ(m_window->PictureView()->Picture().size(), QSize(200, 300));
    EXPECT_EQ(m_window->CurrentBrowserItem(), p2);
    // Ctrl-clicks: the picture clicked last is the one shown.
    browser->setCurrentItem(browser->Item(q1).node, 0, QItemSelectionModel::Select);
    EXPECT_EQ(m_window->PictureView()->Picture().size(), QSize(250, 250));
    browser->setCurrentItem(browser->Item(p1).node, 0, QItemSelectionModel::Select);
    EXPECT_EQ(m_window->PictureView()->Picture().size(), QSize(300, 200));

    // Add takes all three, top to bottom as the browser shows them.
    MyAddButtonHandler();
    Settle();
    ASSERT_EQ(AlbumNames(), QStringList({QStringLiteral("Picture1.bmp"), QStringLiteral("Picture2.bmp"),
                                         QStringLiteral("Picture3.bmp")}));
    const QColor expected[] = {Qt::red, Qt::green, Qt::blue};
    for (int n = 1; n <= 3; ++n) {
        const QColor centre = CentreOf(DataPath("Picture" + std::to_string(n) + ".bmp"));
        EXPECT_NEAR(centre.red(), expected[n - 1].red(), 8) << n;
        EXPECT_NEAR(centre.green(), expected[n - 1].green(), 8) << n;
        EXPECT_NEAR(centre.blue(), expected[n - 1].blue(), 8) << n;
    }
}

TEST_F(WindowTest, TheAlbumListAlwaysHighlightsThePictureDeleteRemoves) {
    PutPictures({Qt::red, Qt::green, Qt::blue});
    Start();
    QTreeWidget* album = m_window->AlbumList();
    CSmallPreview* preview = m_window->SmallPreview();
    album->setCurrentItem(album->topLevelItem(1));
    m_window->PictureView()->SetPicture(testsupport::SolidPicture(320, 240, Qt::gray));

    // Adding rebuilds the list; picture 2 stays highlighted, current and in the small preview.
    MyAddButtonHandler();
    Settle();
    ASSERT_EQ(AlbumNames().size(), 4);
    ASSERT_EQ(album->selectedItems().size(), 1);
    EXPECT_EQ(album->selectedItems().constFirst(), album->topLevelItem(1));
    EXPECT_EQ(Text("CUPI", 0), QStringLiteral("002"));
    EXPECT_EQ(preview->PicturePath(), QString::fromStdString(DataPath("DPFPicture2.bmp")));
    MyDelButtonHandler();
    Settle();
    EXPECT_EQ(AlbumNames(), QStringList({QStringLiteral("DPFPicture1.bmp"), QStringLiteral("DPFPicture3.bmp"),
                                         QStringLiteral("Picture4.bmp")}));

    // No highlight, nothing current: Delete would take the last picture, as it then says.
    album->clearSelection();
    EXPECT_EQ(Text("CUPI", 0), QStringLiteral("000"));
    EXPECT_EQ(gmyCurrentSelectItem, 0);
    EXPECT_TRUE(preview->PicturePath().isEmpty());

    // Delete All empties the small preview too, and is used once.
    album->setCurrentItem(album->topLevelItem(0));
    ASSERT_FALSE(preview->Picture().isNull());
    auto* deleteAll = m_window->findChild<QCheckBox*>(ControlName("dela", 0));
    deleteAll->click();
    MyDelButtonHandler();
    Settle();
    EXPECT_TRUE(AlbumNames().isEmpty());
    EXPECT_TRUE(preview->Picture().isNull());
    EXPECT_FALSE(deleteAll->isChecked());
    EXPECT_EQ(gmyDeleteAll, 0);
    MyAddButtonHandler();
    MyAddButtonHandler();
    Settle();
    MyDelButtonHandler();
    Settle();
    EXPECT_EQ(AlbumNames().size(), 1);
}

TEST_F(WindowTest, ReadAgainTheHighlightedFileIsShownAndGoneTheTotalsAreEmpty) {
    QTemporaryDir volume;
    ASSERT_TRUE(testsupport::SolidPicture(400, 300, Qt::magenta).save(volume.filePath(QStringLiteral("a.png"))));
    PutPictures({Qt::red});
    Start({volume.path()});
    m_window->Browser()->Item(0).node->setExpanded(true);
    const int file = IndexOfName(QStringLiteral("a.png"));
    Click(file);
    ASSERT_TRUE(m_window->PictureView()->Transform().HasPicture());

    Plug(false);
    EXPECT_EQ(Text("TOPI", 0), QStringLiteral("0K/0K"));
    EXPECT_EQ(Text("CUPI", 0), QStringLiteral("000"));
    EXPECT_FALSE(m_window->PictureView()->Transform().HasPicture());

    Plug(true);
    EXPECT_EQ(m_window->PictureView()->Picture().size(), QSize(400, 300));
    EXPECT_EQ(m_window->CurrentBrowserItem(), file);
    MyAddButtonHandler();
    Settle();
    EXPECT_EQ(AlbumNames().size(), 2);
}

TEST_F(WindowTest, InsideTheCropFrameTheViewShowsWhatTheFrameGets) {
    Start();
    // Cover fit 1.0: the picture just fills the frame's height; moved up, the frame's lower rows are bare.
    m_window->ShowPicture(testsupport::SolidPicture(256, 128, Qt::yellow), -1);
    m_window->findChild<CLittleArrows*>(ControlName("trns", 11))->setValue(40);
    const QImage composed = m_window->ComposedPicture();
    const QImage shown = m_window->PictureView()->grab().toImage();
    const QRectF frame = m_window->PictureView()->Transform().NormalizedDrawRect();
    ASSERT_EQ(composed.size(), QSize(128, 128));
    EXPECT_EQ(composed.pixelColor(64, 110), QColor(Qt::black));
    for (const QPoint at : {QPoint(64, 20), QPoint(64, 110), QPoint(10, 120)}) {
        const QColor view = shown.pixelColor(int(frame.x()) + at.x(), int(frame.y()) + at.y());
        const QColor frameGets = composed.pixelColor(at);
        EXPECT_NEAR(view.red(), frameGets.red(), 8) << at.x() << "," << at.y();
        EXPECT_NEAR(view.green(), frameGets.green(), 8) << at.x() << "," << at.y();
        EXPECT_NEAR(view.blue(), frameGets.blue(), 8) << at.x() << "," << at.y();
    }
}

TEST_F(WindowTest, TheWindowSpeaksTheChosenLanguageThroughout) {
    QTemporaryDir resources;
    const std::filesystem::path file = std::filesystem::path(resources.path().toStdString()) / "Language.ini";
    std::filesystem::copy_file(config::ExecutableFolder() / "Language.ini", file);
    ASSERT_EQ(config::WriteIniString(file, std::string_view("language"), std::string_view("language_1"),
                                     std::string_view("German")),
              0);
    m_resources = file.parent_path();
    Start();
    EXPECT_EQ(m_window->findChild<QMenu*>(QStringLiteral("file"))->title(), QStringLiteral("&Datei"));
    EXPECT_EQ(m_window->findChild<QAction*>(QStringLiteral("quit"))->text(), QStringLiteral("&Beenden"));
    EXPECT_EQ(m_window->AlbumList()->headerItem()->text(0), QStringLiteral("Name"));
    EXPECT_EQ(Text("upld", 0), QStringLiteral("Alle speichern"));

    // A question's buttons too: the one before a download gives up an album not restored.
    gmyRecoveryDeclined = true;
    m_backend->ClearSent();
    MyDownLoadButtonHandler();
    Settle();
    ASSERT_EQ(m_prompt.Asked().size(), 1);
    EXPECT_TRUE(m_prompt.Asked().constFirst().endsWith(QStringLiteral("|Ja|Nein")))
        << m_prompt.Asked().constFirst().toStdString();
    EXPECT_TRUE(m_backend->SentCommands().empty());
}

// The program itself, as started from a shell without a display.
TEST(MacFotolumeProgram, HelpsAndTakesItsScreenshotWithoutADisplay) {
    const QString program = QString::fromStdString((config::ExecutableFolder() / "MacFotolume").string());
    ASSERT_TRUE(QFileInfo::exists(program));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(QString::fromLatin1(name));
    const auto run = [&](const QStringList& arguments, QString& out, QString& err) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) return -1;
        out = QString::fromLocal8Bit(process.readAllStandardOutput());
        err = QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitCode();
    };
    const QStringList options = {QStringLiteral("--frames"),  QStringLiteral("--browse"), QStringLiteral("--screenshot"),
                                 QStringLiteral("--picture"), QStringLiteral("--adds"),   QStringLiteral("--download")};
    QString out, err;
    ASSERT_EQ(run({QStringLiteral("--help")}, out, err), 0) << err.toStdString();
    const QString usage = out.section(QLatin1Char('\n'), 0, 0);
    for (const QString& option : options) EXPECT_TRUE(usage.contains(option)) << usage.toStdString();
    EXPECT_EQ(run({QStringLiteral("--bogus")}, out, err), 1);
    EXPECT_TRUE(err.contains(QStringLiteral("--bogus")) && err.contains(QStringLiteral("--browse"))) << err.toStdString();

    QTemporaryDir work;
    QDir(work.path()).mkpath(QStringLiteral("frames"));
    QDir(work.path()).mkpath(QStringLiteral("pictures"));
    const QString picture = work.filePath(QStringLiteral("pictures/a.png"));
    ASSERT_TRUE(testsupport::SolidPicture(300, 200, Qt::cyan).save(picture));
    const QString shot = work.filePath(QStringLiteral("shot.png"));
    EXPECT_EQ(run({QStringLiteral("--frames"), work.filePath(QStringLiteral("frames")), QStringLiteral("--browse"),
                   work.filePath(QStringLiteral("pictures")), QStringLiteral("--screenshot"), shot,
                   QStringLiteral("--picture"), picture},
                  out, err),
              0)
        << err.toStdString();
    EXPECT_FALSE(QImage(shot).isNull());
}

}  // namespace
}  // namespace fotolume::compact::testing
