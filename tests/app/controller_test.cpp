// Start-up, arrival, removal and leaving of the controller on a simulated frame.
#include "tests/app/app_harness.h"

#include "app/about_dlg.h"
#include "app/folder_tree_ctrl.h"
#include "app/setting_dlg.h"
#include "app/text_progress_ctrl.h"
#include "app/thumb_list_ctrl.h"
#include "compose/preview.h"

#include "config/settings.h"

#include <QDir>
#include <QFile>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QScrollBar>
#include <QTimer>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace fotolume;
using namespace fotolume::apptest;

namespace {

bool CommandsEnabled(app::CMainDlg& dlg, bool on)
{
    for (int id : kCommandIds) {
        if (dlg.Button(id)->isEnabled() != on)
            return false;
    }
    return dlg.AlbumList()->isEnabled() == on && dlg.Tree()->isEnabled() == on &&
           dlg.PreviewWidget()->isEnabled() == on && dlg.Button(2)->isEnabled();
}

} // namespace

TEST(Controller, NoFrameAtStartExplainsHowToAttachOneAndEndsWithZero)
{
    AppHarness h({}, false);
    ASSERT_EQ(h.Start(), 0);
    const QStringList asked = h.prompt.Texts();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].startsWith(QStringLiteral("Please plug in your DPF using the provided USB cable")));
    EXPECT_TRUE(asked[0].contains(QStringLiteral("\"UPDATE\" mode.")));
    EXPECT_FALSE(h.Window().isVisible());
    EXPECT_FALSE(h.Window().StatusIconShowsFrame());
    EXPECT_EQ(h.Window().StatusText(), QStringLiteral("Please insert the DPF device!"));
    EXPECT_FALSE(h.Controller().Frame().HasStore());
}

TEST(Controller, ADisplayBelowSixteenBitsRefusesToStart)
{
    AppHarness h;
    h.screenDepth = 8;
    EXPECT_EQ(h.Start(), 1);
    ASSERT_EQ(h.prompt.Texts().size(), 1);
    EXPECT_TRUE(h.prompt.Texts()[0].startsWith(QStringLiteral("The color quality of the system is less than 16 bit")));
}

TEST(Controller, StartWithAFrameReadsItAndEnablesTheCommands)
{
    AppHarness h;
    ASSERT_TRUE(config::WriteSetting(h.program.filePath(QStringLiteral("StartInfoUnicode.ini")).toStdString(),
                                     "Titlename", "PixFrame"));
    ASSERT_TRUE(h.StartAndRead(NoiseStreams(1, 3)));
    app::CMainDlg& dlg = h.Window();
    EXPECT_TRUE(h.Flags().isConnected);
    EXPECT_FALSE(h.Flags().isReading);
    EXPECT_FALSE(h.Flags().isModified);
    EXPECT_TRUE(dlg.StatusIconShowsFrame());
    EXPECT_TRUE(CommandsEnabled(dlg, true));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("PixFrame"));
    EXPECT_EQ(dlg.AlbumList()->count(), 3);
    EXPECT_EQ(h.Controller().CachePaths().size(), 3);
    EXPECT_EQ(h.Controller().PanelSize(), QSize(128, 128));
    EXPECT_EQ(h.Controller().FirmwareVersion(), QStringLiteral("1.00"));
    EXPECT_EQ(h.Controller().FlashSizeKB(), 2048);
    EXPECT_EQ(dlg.StatusText(), QStringLiteral("Reading Finished!"));
    // The frame's clock was set while reading.
    EXPECT_NE(h.emulator.LastClock()[0], 0);
    EXPECT_EQ(h.prompt.Texts(), QStringList());
    // Totals: three pictures, space-limited album of a 2 MB flash.
    EXPECT_TRUE(dlg.TotalsText().startsWith(QStringLiteral("Total Pictures:\n 3 \n(")));
    EXPECT_TRUE(dlg.TotalsText().endsWith(QStringLiteral(" KB / 2048 KB)")));
}

TEST(Controller, RemovalEmptiesTheViewAndArrivalReadsAgain)
{
    AppHarness h;
    ASSERT_TRUE(h.StartAndRead(NoiseStreams(1, 3)));
    app::CMainDlg& dlg = h.Window();
    const QString cache = h.Controller().CacheFolder();
    ASSERT_EQ(QDir(cache).entryList(QDir::Files).size(), 3);
    QSignalSpy removed(&h.Controller(), &app::CMainController::frameRemoved);

    h.Plug(false);
    ASSERT_TRUE(WaitFor([&] { return !h.Flags().isConnected; }));
    EXPECT_TRUE(h.statuses.contains(QStringLiteral("DPF Detached!")));
    EXPECT_FALSE(dlg.StatusIconShowsFrame());
    EXPECT_EQ(dlg.AlbumList()->count(), 0);
    EXPECT_TRUE(CommandsEnabled(dlg, false));
    EXPECT_EQ(dlg.TotalsText(), QStringLiteral("Total Pictures:\n 0 \n(0 KB / 0 KB)"));
    EXPECT_EQ(h.Controller().FlashSizeKB(), 0);
    EXPECT_EQ(dlg.Progress()->GetPos(), 0);
    EXPECT_EQ(removed.count(), 1);

    h.statuses.clear();
    h.Plug(true);
    ASSERT_TRUE(h.WaitForRead(1));
    EXPECT_TRUE(h.statuses.contains(QStringLiteral("DPF Connected!")));
    EXPECT_TRUE(dlg.StatusIconShowsFrame());
    EXPECT_EQ(dlg.AlbumList()->count(), 3);
    // The cache was emptied on arrival and refilled by the read: no leftovers.
    EXPECT_EQ(QDir(cache).entryList(QDir::Files).size(), 3);
    EXPECT_TRUE(CommandsEnabled(dlg, true));
}

TEST(Controller, ThumbnailSettingsOfTheMasterTakeEffectAtTheNextConnect)
{
    AppHarness h;
    const std::string master = h.program.filePath(QStringLiteral("StartInfoUnicode.ini")).toStdString();
    ASSERT_TRUE(config::WriteSetting(master, "ThumbWidth", "40"));
    ASSERT_TRUE(config::WriteSetting(master, "ThumbColumn", "3"));
    ASSERT_TRUE(h.StartAndRead());
    EXPECT_EQ(h.Window().AlbumList()->Geometry().width, 40);
    EXPECT_EQ(h.Window().AlbumList()->Geometry().columns, 3);

    ASSERT_TRUE(config::WriteSetting(master, "ThumbWidth", "60"));
    ASSERT_TRUE(h.Replug());
    EXPECT_EQ(h.Window().AlbumList()->Geometry().width, 60);
    EXPECT_EQ(config::ReadSetting(h.Controller().Settings().WorkingFile(), "ThumbWidth", 0), 60);
}

TEST(Controller, LeavingEmptiesTheCacheAndEndsOnceNoWorkerRuns)
{
    AppHarness h;
    ASSERT_TRUE(h.StartAndRead(NoiseStreams(1, 3)));
    QSignalSpy ended(&h.Controller(), &app::CMainController::finished);
    h.Window().show();

    h.prompt.QueueNo();
    h.Window().RequestLeave();
    EXPECT_EQ(h.prompt.Texts().constLast(), QStringLiteral("Really want to quit?"));
    EXPECT_TRUE(h.Window().isVisible());
    EXPECT_EQ(ended.count(), 0);

    h.prompt.QueueYes();
    h.Window().RequestLeave();
    EXPECT_FALSE(h.Window().isVisible());
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(QDir(h.Controller().CacheFolder()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(h.Controller().CachePaths().isEmpty());
}

TEST(Controller, LeavingWhileReadingIsRefused)
{
    AppHarness h;
    SeedAlbum(h.emulator, NoiseStreams(1, 3));
    ASSERT_EQ(h.Start(), -1);
    // Asked while the read reports its first picture: its end cannot have been handled yet.
    bool asked = false;
    QObject::connect(&h.Window(), &app::CMainDlg::statusShown, [&](const QString& text) {
        if (text.startsWith(QStringLiteral("Reading Pictures:")) && !asked) {
            asked = true;
            EXPECT_TRUE(h.Flags().isReading);
            h.Window().RequestLeave();
        }
    });
    ASSERT_TRUE(h.WaitForRead(0));
    ASSERT_TRUE(asked);
    EXPECT_EQ(h.prompt.Texts(), QStringList{QStringLiteral("Sending data, Please operate after sending finished!")});
    EXPECT_EQ(h.Window().AlbumList()->count(), 3);
}

TEST(Controller, ThePreviewSitsInItsPlaceAndItsDoubleClickAdds)
{
    AppHarness h;
    ASSERT_TRUE(h.StartAndRead());
    compose::CPreview* preview = h.Controller().Preview();
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(h.Window().PreviewWidget(), preview);
    const QString picture = WritePicture(h.files.path(), QStringLiteral("a.jpg"), 300, 200, 7);
    h.Controller().OnTreePictureChosen(picture);
    ASSERT_EQ(h.Window().CurrentPreviewFile(), picture);
    Q_EMIT preview->doublecliked();
    ASSERT_TRUE(WaitFor([&] { return h.Window().AlbumList()->count() == 1; }));
    EXPECT_TRUE(h.Flags().isModified);
}

TEST(Controller, TheLanguageMenuSwitchesTheTextsAndRemembersTheChoice)
{
    AppHarness h;
    ASSERT_TRUE(h.StartAndRead());
    QMenu* menu = h.Window().ContextMenu();
    ASSERT_GE(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Language"));
    EXPECT_EQ(menu->actions().back(), h.Window().AboutAction()) << "the About entry closes the menu";
    QMenu* languages = menu->actions()[0]->menu();
    ASSERT_NE(languages, nullptr);
    ASSERT_GE(languages->actions().size(), 2);
    EXPECT_TRUE(languages->actions()[0]->isChecked());

    // Choosing the second language from the menu.
    languages->actions()[1]->trigger();
    EXPECT_EQ(h.Window().Button(1001)->text(), QStringLiteral("Synchronisieren"));
    EXPECT_EQ(h.Window().ContextMenu()->actions()[0]->text(), QStringLiteral("Sprache"));
    QMenu* after = h.Window().ContextMenu()->actions()[0]->menu();
    EXPECT_FALSE(after->actions()[0]->isChecked());
    EXPECT_TRUE(after->actions()[1]->isChecked());
    const auto working = h.Controller().Settings().WorkingFile();
    EXPECT_EQ(config::ReadSetting(working, "LangIndex", -1), 1);
    EXPECT_EQ(config::ReadSetting(working, "Language", ""), "German");
}

TEST(Controller, OnAn800By600ScreenEveryAlbumColumnShowsWhole)
{
    AppHarness h;
    h.screen = QSize(800, 600);
    std::vector<Bytes> pictures = NoiseStreams(1, 3);
    pictures.push_back(pictures[0]);
    SeedAlbum(h.emulator, pictures);
    ASSERT_EQ(h.Start(), -1);
    ASSERT_TRUE(OpenAndWaitForLayout(h.Window()));
    ASSERT_TRUE(h.WaitForRead(0));
    app::CThumbListCtrl* list = h.Window().AlbumList();
    ASSERT_EQ(list->count(), 4);
    QCoreApplication::processEvents();
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
    for (int i = 0; i < list->count(); ++i) {
        const QRect place = list->visualItemRect(list->item(i));
        EXPECT_LE(place.right(), list->viewport()->width()) << i;
    }
    // The second column is there at all: pictures 1 and 2 share a row.
    EXPECT_EQ(list->visualItemRect(list->item(1)).top(), list->visualItemRect(list->item(0)).top());
    EXPECT_GE(list->visualItemRect(list->item(1)).left(), list->Geometry().gapX + list->Geometry().width);
    EXPECT_EQ(h.Window().StatusText(), QStringLiteral("Reading Finished!"));
}

TEST(Controller, TheLanguageMenuOpensOnlyWhileNeitherReadingNorSending)
{
    AppHarness h;
    ASSERT_TRUE(h.StartAndRead());
    QMenu* menu = h.Window().ContextMenu();
    for (bool* busy : {&h.Flags().isReading, &h.Flags().isSending}) {
        *busy = true;
        h.Controller().OnContextMenuRequested(QPoint(10, 10));
        EXPECT_FALSE(menu->isVisible());
        *busy = false;
    }
    h.Controller().OnContextMenuRequested(QPoint(10, 10));
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
}

TEST(Controller, SaveSettingAndAboutRunFromTheWindowsCommands)
{
    AppHarness h;
    ASSERT_TRUE(h.StartAndRead(NoiseStreams(1, 3)));
    app::CMainDlg& dlg = h.Window();
    app::CThumbListCtrl* list = dlg.AlbumList();
    QTemporaryDir out;
    list->clearSelection();
    list->item(0)->setSelected(true);
    list->item(2)->setSelected(true);
    h.prompt.Clear();
    h.prompt.QueueYes();
    h.prompt.QueueFolder(out.path());
    dlg.Button(1033)->click();
    EXPECT_TRUE(QFile::exists(out.filePath(QStringLiteral("0001.bmp"))));
    EXPECT_FALSE(QFile::exists(out.filePath(QStringLiteral("0002.bmp"))));
    EXPECT_TRUE(QFile::exists(out.filePath(QStringLiteral("0003.bmp"))));

    // Ignored while a batch add runs; SaveAll also while reading.
    h.prompt.Clear();
    h.Flags().isAddingBatch = true;
    h.Controller().OnSave();
    h.Controller().OnSaveAll();
    h.Flags().isAddingBatch = false;
    h.Flags().isReading = true;
    h.Controller().OnSaveAll();
    h.Flags().isReading = false;
    EXPECT_TRUE(h.prompt.History().isEmpty());

    // Setting: the chosen colour goes to the frame and stays in the window, without a message.
    QTimer::singleShot(0, &dlg, [&] {
        auto* dialog = dlg.findChild<app::CSettingDlg*>();
        ASSERT_NE(dialog, nullptr);
        h.prompt.QueueColor(QColor(0, 128, 0));
        dialog->Button(app::setting_ids::kBackground)->click();
        dialog->Button(app::setting_ids::kOk)->click();
    });
    dlg.Button(1048)->click();
    EXPECT_EQ(h.Controller().BackgroundColour(), QColor(0, 128, 0));
    EXPECT_EQ(h.prompt.CountOf(app::CScriptedPrompt::Kind::Message), 0);
    uint16_t font = 0;
    uint16_t background = 0;
    h.Controller().Store()->GetColors(font, background);
    EXPECT_EQ(background, app::ToRgb565(QColor(0, 128, 0)));

    QString aboutFlash;
    QTimer::singleShot(0, &dlg, [&] {
        auto* about = qobject_cast<app::CAboutDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        aboutFlash = about->Label(app::about_ids::kFlashSize)->text();
        about->accept();
    });
    dlg.AboutAction()->trigger();
    EXPECT_EQ(aboutFlash, QStringLiteral("Flash Size: 2048 KB"));
}
