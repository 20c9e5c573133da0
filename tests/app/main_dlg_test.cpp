#include "app/folder_tree_ctrl.h"
#include "app/main_dlg.h"
#include "app/scripted_prompt.h"
#include "app/text_progress_ctrl.h"
#include "app/thumb_list_ctrl.h"
#include "tests/app/app_harness.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

using namespace fotolume;
using namespace fotolume::app;
using namespace fotolume::apptest;

// Rectangles print as numbers in a failure, not as bytes.
static void PrintTo(const QRect& r, std::ostream* os)
{
    *os << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height();
}

namespace {

struct Place { const char* name; int id; QRect rect; };

// A screen of 1024 pixels or wider takes the first table in plain pixels; a narrower one scales the second.
// For a text height T the album list gives up T of its height, and the totals line, T high, sits T above
// the list's foot, T unscaled on every screen.
const auto kWidePlaces = [](int t) -> std::vector<Place> {
    return {{"preview", ids::kPreview, {17, 180, 505, 355}},
            {"folder tree", ids::kFolderTree, {2, 11, 535, 138}},
            {"album list", ids::kAlbumList, {647, 98, 246, 430 - t}},
            {"totals", ids::kTotals, {650, 528 - t, 243, t}},
            {"setting", ids::kSetting, {540, 338, 105, 23}},
            {"exit", ids::kExit, {771, 74, 123, 23}}};
};

// 540 x 800 / 920 = 469.6, 99 x 600 / 660 = 90, 105 x 800 / 920 = 91.3, 23 x 600 / 660 = 20.9,
// 156 x 600 / 660 = 141, 399 x 600 / 660 = 362; the status icon's height scales with the width.
const auto kNarrowPlaces = [](int t) -> std::vector<Place> {
    return {{"zoom in", ids::kZoomIn, {469, 90, 91, 20}},
            {"setting", ids::kSetting, {469, 240, 91, 20}},
            {"preview group", ids::kPreviewGroup, {1, 141, 466, 362}},
            {"preview", ids::kPreview, {14, 163, 439, 322}},
            {"album list", ids::kAlbumList, {560, 89, 213, 390 - t}},
            {"totals", ids::kTotals, {565, 480 - t, 211, t}},
            {"status icon", ids::kStatusIcon, {471, 12, 86, 39}}};
};

void ExpectPlaces(const std::vector<Place>& table, const std::function<QRect(int)>& placeOf)
{
    for (const Place& place : table)
        EXPECT_EQ(placeOf(place.id), place.rect) << place.name;
}

// A screen, how wide the window laid out on it is, where it goes, and where its lowest frame ends.
struct Screen { const char* name; QSize size; int width, left, lowest; std::vector<Place> (*places)(int t); };
void PrintTo(const Screen& screen, std::ostream* os) { *os << screen.name; }

const Screen kScreens[] = {
    {"Wide1280x1024", {1280, 1024}, 920, 180, 555, kWidePlaces},
    {"Narrow800x600", {800, 600}, 800, 0, 141 + 362, kNarrowPlaces},
};

} // namespace

class LaidOut : public testing::TestWithParam<Screen> {};
INSTANTIATE_TEST_SUITE_P(MainLayout, LaidOut, testing::ValuesIn(kScreens),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(LaidOut, TheLayoutPlacesEveryControlOfTheTable)
{
    const Screen& screen = GetParam();
    for (const auto& [t, statusHeight] : {std::pair{48, 20}, std::pair{45, 22}}) {
        const MainLayout layout = ComputeMainLayout(screen.size, t, statusHeight);
        EXPECT_EQ(layout.window, QSize(screen.width, screen.lowest + kStatusGap + statusHeight));
        EXPECT_EQ(layout.controls.size(), 21);
        ExpectPlaces(screen.places(t), [&](int id) { return layout.controls.value(id); });
    }
}

TEST(MainLayout, TheWindowIsCentredOnScreensItFitsAndPinnedToTheCornerOtherwise)
{
    EXPECT_EQ(ComputeLayoutPosition(QSize(1280, 1024), QSize(920, 630), false), QPoint(180, 197));
    EXPECT_EQ(ComputeLayoutPosition(QSize(800, 600), QSize(800, 572), true), QPoint(0, 14));
    EXPECT_EQ(ComputeLayoutPosition(QSize(700, 600), QSize(800, 572), true), QPoint(0, 0));
}

// The status bar spans the bottom edge, just below the lowest control: no blank band between.
void ExpectStatusBarCloses(CMainDlg& dlg)
{
    QWidget* status = dlg.findChild<QWidget*>(QStringLiteral("1013"));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->geometry().bottom(), dlg.height() - 1);
    EXPECT_EQ(status->width(), dlg.width());
    int lowest = 0;
    for (QWidget* child : dlg.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow() && child != status && !child->objectName().isEmpty() && child->isVisible())
            lowest = std::max(lowest, child->geometry().bottom() + 1);
    }
    EXPECT_EQ(status->geometry().top() - lowest, kStatusGap);
}

TEST_P(LaidOut, TheWindowOpensAnimatedAndPlacesEveryControlInside)
{
    const Screen& screen = GetParam();
    CScriptedPrompt prompt;
    CMainDlg dlg(apptest::WindowOptions(screen.size, &prompt));
    dlg.StartOpening();
    EXPECT_FALSE(dlg.IsAnimationFinished());
    EXPECT_LT(dlg.width(), screen.width);
    ASSERT_TRUE(OpenAndWaitForLayout(dlg));
    EXPECT_TRUE(dlg.IsAnimationFinished());
    EXPECT_EQ(dlg.width(), screen.width);
    EXPECT_EQ(dlg.pos(), QPoint(screen.left, (screen.size.height() - dlg.height()) / 2));
    ExpectPlaces(screen.places(dlg.TextHeightT()), [&](int id) { return dlg.Control(id)->geometry(); });
    EXPECT_EQ(dlg.RestoreRect(), dlg.geometry());
    for (QWidget* child : dlg.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() || child->objectName().isEmpty())
            continue;
        EXPECT_TRUE(QRect(QPoint(0, 0), dlg.size()).contains(child->geometry()))
            << child->objectName().toStdString();
    }
    ExpectStatusBarCloses(dlg);
    EXPECT_EQ(prompt.History().size(), 0);
}

// A main window on a 1280 x 1024 screen.
class MainWindow : public ::testing::Test {
protected:
    CScriptedPrompt m_prompt;
    CMainDlg m_dlg{apptest::WindowOptions(QSize(1280, 1024), &m_prompt)};
};

TEST_F(MainWindow, TheLayoutKeepsTheStatusTheReadLeft)
{
    m_dlg.ShowStatus(QStringLiteral("Reading Finished!"));
    ASSERT_TRUE(OpenAndWaitForLayout(m_dlg));
    EXPECT_EQ(m_dlg.StatusText(), QStringLiteral("Reading Finished!"));
    EXPECT_EQ(m_dlg.StatusLeftText(), QStringLiteral("Info:"));
}

TEST_F(MainWindow, ControlsCarryTheirIdsAndTemplateTexts)
{
    const struct {
        int id;
        const char* caption;
    } buttons[] = {{1004, "+"},       {1008, "-"},       {1012, "Clear"},  {1023, "RotateL"},
                   {1011, "RotateR"}, {1019, "Add"},     {1048, "Setting"}, {1033, "Save"},
                   {1034, "SaveAll"}, {1009, "All"},     {1006, "Delete"}, {1001, "Synchronize"},
                   {2, "Exit"}};
    for (const auto& b : buttons) {
        QPushButton* button = m_dlg.Button(b.id);
        ASSERT_NE(button, nullptr) << b.id;
        EXPECT_EQ(button->objectName(), QString::number(b.id));
        EXPECT_EQ(button->text(), QString::fromUtf8(b.caption)) << b.id;
        EXPECT_FALSE(button->toolTip().isEmpty()) << b.id;
    }
    EXPECT_EQ(m_dlg.Button(1033)->toolTip(), QStringLiteral("Save As"));
    EXPECT_EQ(m_dlg.Button(1012)->toolTip(), QStringLiteral("Clear Rect"));
    for (int id : {123, 1005, 1017, 1020, 1025, 1027, 1039, 1042})
        EXPECT_NE(m_dlg.Control(id), nullptr) << id;
    EXPECT_EQ(m_dlg.Control(123)->size(), QSize(505, 355));
    EXPECT_EQ(qobject_cast<QGroupBox*>(m_dlg.Control(1020))->title(), QStringLiteral("Preview: "));
    EXPECT_EQ(qobject_cast<QGroupBox*>(m_dlg.Control(1042))->title(), QStringLiteral("Pics In DPF:"));
    EXPECT_EQ(m_dlg.StatusLeftText(), QStringLiteral("Info:"));
    EXPECT_EQ(m_dlg.StatusText(), QStringLiteral("DPF Detached!"));
    EXPECT_EQ(m_dlg.windowTitle(), QStringLiteral("Fotolume"));
    m_dlg.SetTitle(QStringLiteral("Pixo"));
    EXPECT_EQ(m_dlg.windowTitle(), QStringLiteral("Pixo"));
}

TEST_F(MainWindow, TotalsTextInItsThreeForms)
{
    const QString label = QStringLiteral("Total Pictures");
    EXPECT_EQ(FormatTotals(label, {}), QStringLiteral("Total Pictures:\n 0 \n(0 KB / 0 KB)"));
    const TotalsInfo spaceOnly{.attached = true, .pictureCount = 7, .usedBytes = 1200LL * 1024 + 1023,
                               .totalBytes = 2048LL * 1024};
    EXPECT_EQ(FormatTotals(label, spaceOnly), QStringLiteral("Total Pictures:\n 7 \n(1200 KB / 2048 KB)"));
    TotalsInfo counted = spaceOnly;
    counted.maxPictureCount = 10;
    EXPECT_EQ(FormatTotals(label, counted), QStringLiteral("Total Pictures:\n \n7  / 10 "));
    // Without a frame the figures are zero whatever was known before.
    TotalsInfo detached = spaceOnly;
    detached.attached = false;
    EXPECT_EQ(FormatTotals(label, detached), QStringLiteral("Total Pictures:\n 0 \n(0 KB / 0 KB)"));

    m_dlg.SetTotals(spaceOnly);
    EXPECT_EQ(m_dlg.TotalsText(), QStringLiteral("Total Pictures:\n 7 \n(1200 KB / 2048 KB)"));
    m_dlg.ShowTotalsText(QStringLiteral("Don't pullout USB cable \nwhile reading or writing!"));
    EXPECT_EQ(m_dlg.TotalsText(), QStringLiteral("Don't pullout USB cable \nwhile reading or writing!"));
    // Re-texting for a language brings the totals back under the new label.
    m_dlg.SetTextLookup([](const char* key, const char* def) {
        return qstrcmp(key, "IDC_STATIC_HIDSTATUS") == 0 ? QStringLiteral("Bilder") : QString::fromUtf8(def);
    });
    m_dlg.ApplyTexts();
    EXPECT_EQ(m_dlg.TotalsText(), QStringLiteral("Bilder:\n 7 \n(1200 KB / 2048 KB)"));
}

TEST_F(MainWindow, ReTextingUsesTheLanguageAndFallsBackToDefaults)
{
    CScriptedPrompt prompt;
    const TextLookup german = [](const char* key, const char* def) {
        static const QMap<QString, QString> texts = {
            {QStringLiteral("IDC_BUTTON_SEND"), QStringLiteral("Abgleichen")},
            {QStringLiteral("IDC_BUTTON_SENDTIPS"), QStringLiteral("Mit dem Rahmen abgleichen")},
            {QStringLiteral("STATUSBAR_LEFT"), QStringLiteral("Hinweis:")},
            {QStringLiteral("DEVICEON_TIPS"), QStringLiteral("Rahmen da")},
            {QStringLiteral("MY_PICTURE"), QStringLiteral("Meine Bilder")},
        };
        return texts.value(QString::fromUtf8(key), QString::fromUtf8(def));
    };
    CMainDlg dlg(apptest::WindowOptions(QSize(1280, 1024), &prompt, german));
    EXPECT_EQ(dlg.Button(1001)->text(), QStringLiteral("Abgleichen"));
    EXPECT_EQ(dlg.Button(1001)->toolTip(), QStringLiteral("Mit dem Rahmen abgleichen"));
    EXPECT_EQ(dlg.Button(1033)->text(), QStringLiteral("Save")); // key missing: default
    EXPECT_EQ(dlg.StatusLeftText(), QStringLiteral("Hinweis:"));
    EXPECT_EQ(dlg.Tree()->PicturesRoot()->text(0), QStringLiteral("Meine Bilder"));
    EXPECT_EQ(dlg.Tree()->ComputerRoot()->text(0), QStringLiteral("My Computer"));

    dlg.ShowStatus(QStringLiteral("Reading Finished!"));
    dlg.SetStatusIcon(true);
    dlg.ApplyTexts();
    EXPECT_EQ(dlg.StatusText(), QStringLiteral("Rahmen da"));
}

TEST_F(MainWindow, EnableCommandsNeverDisablesExit)
{
    auto* preview = new QWidget;
    m_dlg.SetPreviewWidget(preview);
    EXPECT_EQ(m_dlg.PreviewWidget(), preview);
    EXPECT_EQ(preview->objectName(), QStringLiteral("123"));
    EXPECT_EQ(preview->geometry(), kWidePlaces(0).front().rect);
    EXPECT_EQ(m_dlg.findChildren<QWidget*>(QStringLiteral("123")).size(), 1);

    m_dlg.EnableCommands(false);
    for (int id : kCommandIds)
        EXPECT_FALSE(m_dlg.Button(id)->isEnabled()) << id;
    EXPECT_FALSE(m_dlg.Tree()->isEnabled());
    EXPECT_FALSE(m_dlg.AlbumList()->isEnabled());
    EXPECT_FALSE(preview->isEnabled());
    EXPECT_TRUE(m_dlg.Button(ids::kExit)->isEnabled());

    m_dlg.EnableCommands(true);
    for (int id : kCommandIds)
        EXPECT_TRUE(m_dlg.Button(id)->isEnabled()) << id;
    EXPECT_TRUE(preview->isEnabled());
}

TEST_F(MainWindow, StatusIconAndStatusTextFromAWorker)
{
    auto* icon = qobject_cast<QLabel*>(m_dlg.Control(ids::kStatusIcon));
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(m_dlg.StatusIconShowsFrame());
    const QImage detached = icon->pixmap().toImage();
    m_dlg.SetStatusIcon(true);
    EXPECT_TRUE(m_dlg.StatusIconShowsFrame());
    const QImage attached = icon->pixmap().toImage();
    EXPECT_FALSE(detached.isNull());
    EXPECT_FALSE(attached.isNull());
    EXPECT_NE(detached, attached);

    std::thread worker([this] {
        for (int i = 1; i <= 3; ++i)
            m_dlg.ShowStatus(QStringLiteral("Reading Pictures:%1 / 3").arg(i));
        m_dlg.ShowTotalsText(QStringLiteral("warn"));
    });
    worker.join();
    EXPECT_EQ(m_dlg.StatusText(), QStringLiteral("DPF Detached!"));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_dlg.StatusText(), QStringLiteral("Reading Pictures:3 / 3"));
    EXPECT_EQ(m_dlg.TotalsText(), QStringLiteral("warn"));
}

TEST_F(MainWindow, LanguageMenuReportsTheChoice)
{
    m_dlg.SetLanguageMenu(QStringLiteral("Language"),
                        {{9002, QStringLiteral("English"), true}, {9003, QStringLiteral("Deutsch"), false}});
    QMenu* menu = m_dlg.ContextMenu();
    // The language popup, a separator and the About entry.
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions().at(2), m_dlg.AboutAction());
    QMenu* languages = menu->actions().at(0)->menu();
    ASSERT_NE(languages, nullptr);
    EXPECT_EQ(menu->actions().at(0)->text(), QStringLiteral("Language"));
    ASSERT_EQ(languages->actions().size(), 2);
    EXPECT_TRUE(languages->actions().at(0)->isChecked());
    EXPECT_FALSE(languages->actions().at(1)->isChecked());

    QSignalSpy chosen(&m_dlg, &CMainDlg::languageChosen);
    languages->actions().at(1)->trigger();
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toInt(), 9003);

    m_dlg.PopupContextMenu(QPoint(10, 10));
    EXPECT_TRUE(menu->isVisible());
    menu->hide();

    // A language file without the menu key leaves only the About entry.
    m_dlg.SetLanguageMenu(QString(), {{9002, QStringLiteral("English"), true}});
    EXPECT_EQ(menu->actions(), QList<QAction*>{m_dlg.AboutAction()});
}

TEST(ScriptedPrompt, AnswersFromItsQueueAndRecordsEveryQuestion)
{
    CScriptedPrompt prompt;
    prompt.QueueYes();
    prompt.QueueCancel();
    prompt.QueueFolder(QStringLiteral("/tmp/out"));
    prompt.QueueColor(QColor(0x40, 0x80, 0xFF));

    prompt.Message(QStringLiteral("hello"), QStringLiteral("Message"), IPrompt::Icon::Exclamation);
    EXPECT_TRUE(prompt.AskYesNo(QStringLiteral("q1")));
    EXPECT_EQ(prompt.AskYesNoCancel(QStringLiteral("q2")), IPrompt::Answer::Cancel);
    EXPECT_EQ(prompt.AskFolder(QStringLiteral("Choose Save Directory")), QStringLiteral("/tmp/out"));
    EXPECT_EQ(prompt.AskColor(Qt::black), QColor(0x40, 0x80, 0xFF));
    EXPECT_EQ(prompt.Pending(), 0);
    EXPECT_EQ(prompt.Unanswered(), 0);

    // Nothing queued: the cautious answers, counted as unanswered.
    EXPECT_FALSE(prompt.AskYesNo(QStringLiteral("q3")));
    EXPECT_TRUE(prompt.AskSaveFile({QStringLiteral("BMP"), QStringLiteral("bmp files (*.bmp)"), true}).isEmpty());
    EXPECT_EQ(prompt.LastSaveRequest().defaultExtension, QStringLiteral("BMP"));
    EXPECT_FALSE(prompt.AskColor(Qt::white).has_value());
    EXPECT_EQ(prompt.Unanswered(), 3);

    // An answer of the wrong kind is not consumed by another question.
    prompt.QueueSaveFile(QStringLiteral("/tmp/x.bmp"));
    EXPECT_FALSE(prompt.AskYesNo(QStringLiteral("q4")));
    EXPECT_EQ(prompt.Pending(), 1);
    EXPECT_EQ(prompt.AskSaveFile({}), QStringLiteral("/tmp/x.bmp"));

    EXPECT_EQ(prompt.Texts().first(), QStringLiteral("hello"));
    EXPECT_EQ(prompt.History().first().caption, QStringLiteral("Message"));
    EXPECT_EQ(prompt.History().first().icon, IPrompt::Icon::Exclamation);
    EXPECT_EQ(prompt.CountOf(CScriptedPrompt::Kind::YesNo), 3);
    EXPECT_EQ(prompt.Texts().at(3), QStringLiteral("Choose Save Directory"));
}

TEST_F(MainWindow, DeviceMissingEmptiesTheAlbumAndDisablesCommands)
{
    CThumbListCtrl& list = *m_dlg.AlbumList();
    list.SetUp(ComputeThumbGeometry(64, 3, 128, 128, 246));
    ASSERT_TRUE(list.AddBitmap(QImage(64, 64, QImage::Format_RGB32), QStringLiteral("0001.bmp")));

    m_dlg.ShowDeviceMissing(false);
    EXPECT_EQ(list.GetItemCount(), 0);
    EXPECT_FALSE(m_dlg.Button(ids::kSynchronize)->isEnabled());
    EXPECT_TRUE(m_dlg.Button(ids::kExit)->isEnabled());
    EXPECT_EQ(m_dlg.StatusText(), QStringLiteral("DPF Detached!"));

    m_dlg.ShowDeviceMissing(true);
    EXPECT_EQ(m_dlg.StatusText(), QStringLiteral("Please insert the DPF device!"));
    EXPECT_TRUE(m_prompt.History().isEmpty());
}
