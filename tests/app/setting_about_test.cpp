#include "app/about_dlg.h"
#include "app/main_dlg.h"
#include "app/read_worker.h"
#include "app/scripted_prompt.h"
#include "app/setting_dlg.h"
#include "app/text_progress_ctrl.h"
#include "app/thumb_list_ctrl.h"

#include "album/album_store.h"
#include "tests/app/app_harness.h"
#include "tests/support/emulated_frame.h"

#include <QAction>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>


using namespace fotolume;
using namespace fotolume::app;

namespace {

// The offscreen backing store keeps about six bits per channel.
void ExpectShown(const QImage& shot, const QPoint& at, const QColor& colour)
{
    const QColor shown = shot.pixelColor(at);
    EXPECT_NEAR(shown.red(), colour.red(), 4) << colour.name().toStdString();
    EXPECT_NEAR(shown.green(), colour.green(), 4) << colour.name().toStdString();
    EXPECT_NEAR(shown.blue(), colour.blue(), 4) << colour.name().toStdString();
}

} // namespace

TEST(FrameColours, ConvertBothWays)
{
    EXPECT_EQ(ToRgb565(QColor(0x40, 0x80, 0xFF)), 0x441F);
    EXPECT_EQ(FromRgb565(0x441F), QColor(0x40, 0x80, 0xF8));
    EXPECT_EQ(ToRgb565(QColor(255, 255, 255)), 0xFFFF);
    EXPECT_EQ(ToRgb565(QColor(0, 0, 0)), 0x0000);
    // The low bits are not replicated on the way back, by the setting dialog nor by the read.
    for (const auto& [stored, colour] : {std::pair{0xFFFF, QColor(0xF8, 0xFC, 0xF8)}, std::pair{0xF800, QColor(0xF8, 0, 0)},
                                         std::pair{0x07E0, QColor(0, 0xFC, 0)}, std::pair{0x001F, QColor(0, 0, 0xF8)}}) {
        EXPECT_EQ(FromRgb565(static_cast<std::uint16_t>(stored)), colour) << stored;
        EXPECT_EQ(ColourFrom565(static_cast<unsigned>(stored)), colour) << stored;
    }
}

TEST(FrameColours, EqualStoredColoursReadAsBlackOnWhite)
{
    for (const std::uint16_t same : {std::uint16_t{0x0000}, std::uint16_t{0xFFFF}, std::uint16_t{0x441F}}) {
        const FrameColors colours = ColorsFromFrame(same, same);
        EXPECT_EQ(colours.font, QColor(0, 0, 0)) << same;
        EXPECT_EQ(colours.background, QColor(255, 255, 255)) << same;
    }
    const FrameColors red_on_blue = ColorsFromFrame(0xF800, 0x001F);
    EXPECT_EQ(red_on_blue.font, QColor(0xF8, 0, 0));
    EXPECT_EQ(red_on_blue.background, QColor(0, 0, 0xF8));
}

TEST(SettingDialog, TextsFromTheLanguageWithEnglishDefaults)
{
    CScriptedPrompt prompt;
    CSettingDlg english(FrameColors{}, prompt, {});
    EXPECT_EQ(english.windowTitle(), QStringLiteral("Setting"));
    EXPECT_EQ(english.Button(setting_ids::kFontColor)->text(), QStringLiteral("&Fontcolor"));
    EXPECT_EQ(english.Button(setting_ids::kBackground)->text(), QStringLiteral("&Background"));
    EXPECT_EQ(english.Button(setting_ids::kOk)->text(), QStringLiteral("OK"));
    EXPECT_EQ(english.Button(setting_ids::kCancel)->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(english.Button(setting_ids::kOk)->isDefault());

    const QMap<QString, QString> german{{QStringLiteral("IDC_BTN_SETTING"), QStringLiteral("Einstellung")},
                                        {QStringLiteral("FONTCOLOR_TIPS"), QStringLiteral("&Schriftfarbe")},
                                        {QStringLiteral("CANCEL_TIPS"), QStringLiteral("Abbrechen")}};
    CSettingDlg translated(FrameColors{}, prompt, [&german](const char* key, const char* def) {
        return german.value(QString::fromUtf8(key), QString::fromUtf8(def));
    });
    EXPECT_EQ(translated.windowTitle(), QStringLiteral("Einstellung"));
    EXPECT_EQ(translated.Button(setting_ids::kFontColor)->text(), QStringLiteral("&Schriftfarbe"));
    EXPECT_EQ(translated.Button(setting_ids::kCancel)->text(), QStringLiteral("Abbrechen"));
    EXPECT_EQ(translated.Button(setting_ids::kOk)->text(), QStringLiteral("OK"));
}

TEST(SettingDialog, SwatchesShowTheWorkingColoursAndTheChooserChangesThem)
{
    CScriptedPrompt prompt;
    CSettingDlg dialog(FrameColors{QColor(10, 20, 30), QColor(200, 210, 220)}, prompt, {});
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QRect font = dialog.FontSwatchRect();
    const QRect background = dialog.BackgroundSwatchRect();
    ASSERT_FALSE(font.isEmpty());
    EXPECT_LT(font.right(), dialog.Button(setting_ids::kFontColor)->geometry().left());
    EXPECT_LT(font.bottom(), background.top());

    QImage shot = dialog.grab().toImage();
    ExpectShown(shot, font.center(), QColor(10, 20, 30));
    ExpectShown(shot, background.center(), QColor(200, 210, 220));

    // The chooser opens on the working colour; cancelling it changes nothing.
    prompt.QueueColorCancel();
    dialog.Button(setting_ids::kFontColor)->click();
    EXPECT_EQ(prompt.History().constLast().text, QColor(10, 20, 30).name());
    EXPECT_EQ(dialog.Colors().font, QColor(10, 20, 30));

    prompt.QueueColor(QColor(0x40, 0x80, 0xFF));
    dialog.Button(setting_ids::kFontColor)->click();
    prompt.QueueColor(QColor(1, 2, 3));
    dialog.Button(setting_ids::kBackground)->click();
    EXPECT_EQ(prompt.History().constLast().text, QColor(200, 210, 220).name());
    EXPECT_EQ(dialog.Colors().font, QColor(0x40, 0x80, 0xFF));
    EXPECT_EQ(dialog.Colors().background, QColor(1, 2, 3));
    shot = dialog.grab().toImage();
    ExpectShown(shot, font.center(), QColor(0x40, 0x80, 0xFF));
    ExpectShown(shot, background.center(), QColor(1, 2, 3));

    // A white swatch on the light dialog still shows its edges.
    prompt.QueueColor(QColor(255, 255, 255));
    dialog.Button(setting_ids::kBackground)->click();
    shot = dialog.grab().toImage();
    ExpectShown(shot, background.center(), QColor(255, 255, 255));
    ExpectShown(shot, background.topLeft(), dialog.palette().color(QPalette::WindowText));
    ExpectShown(shot, background.bottomRight(), dialog.palette().color(QPalette::WindowText));
    EXPECT_NE(shot.pixelColor(background.topLeft() - QPoint(2, 2)), shot.pixelColor(background.topLeft()));
}

// The main window and a new frame on the in-process emulator, read as the read worker reads it.
class SettingOnFrame : public ::testing::Test {
protected:
    SettingOnFrame() : m_window(apptest::WindowOptions(QSize(1280, 1024), &m_prompt))
    {
        testsupport::BindStore(m_store, m_emulator);
        testsupport::ReadAlbum(m_store, false);
    }

    // The little-endian word at offset in the list block.
    std::uint16_t ListWord(std::uint32_t offset)
    {
        const std::uint32_t at = m_layout.listAddress + offset;
        return static_cast<std::uint16_t>(m_emulator.Flash().at(at) | m_emulator.Flash().at(at + 1) << 8);
    }

    CScriptedPrompt m_prompt;
    sim::NewFrame m_layout;
    testsupport::NewFrameEmulator m_emulator{m_layout};
    album::CAlbumStore m_store;
    CMainDlg m_window;
    FrameColors m_colours;
};

TEST_F(SettingOnFrame, CancelLeavesFrameAndWindowUnchanged)
{
    const std::vector<std::uint8_t> before = m_emulator.Flash();
    const QString totals = m_window.TotalsText();
    bool swatchChanged = false;
    QTimer::singleShot(0, &m_window, [&] { // once the dialog's modal loop runs
        auto* dialog = m_window.findChild<CSettingDlg*>();
        ASSERT_NE(dialog, nullptr);
        m_prompt.QueueColor(QColor(255, 0, 0));
        dialog->Button(setting_ids::kFontColor)->click();
        swatchChanged = dialog->Colors().font == QColor(255, 0, 0);
        dialog->Button(setting_ids::kCancel)->click();
    });
    EXPECT_FALSE(AskFrameColors(m_window, m_colours).has_value());
    EXPECT_TRUE(swatchChanged);
    EXPECT_EQ(m_colours.font, QColor(0, 0, 0));
    EXPECT_EQ(m_colours.background, QColor(255, 255, 255));
    EXPECT_TRUE(m_emulator.Flash() == before);
    EXPECT_EQ(m_window.TotalsText(), totals);
    EXPECT_EQ(m_window.findChild<CSettingDlg*>(), nullptr);
}

TEST_F(SettingOnFrame, OkWritesBothColoursToTheListBlock)
{
    m_window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    m_window.Progress()->SetPos(40);
    QTimer::singleShot(0, &m_window, [&] { // once the dialog's modal loop runs
        auto* dialog = m_window.findChild<CSettingDlg*>();
        ASSERT_NE(dialog, nullptr);
        m_prompt.QueueColor(QColor(0x40, 0x80, 0xFF));
        dialog->Button(setting_ids::kFontColor)->click();
        m_prompt.QueueColor(QColor(0xF8, 0xFC, 0x00));
        dialog->Button(setting_ids::kBackground)->click();
        dialog->Button(setting_ids::kOk)->click();
    });
    const std::optional<FrameColors> chosen = AskFrameColors(m_window, m_colours);
    ASSERT_TRUE(chosen.has_value());
    m_colours = *chosen;
    EXPECT_EQ(ApplyFrameColors(m_window, &m_store, m_colours), 0);
    EXPECT_EQ(m_colours.font, QColor(0x40, 0x80, 0xFF));
    EXPECT_EQ(m_colours.background, QColor(0xF8, 0xFC, 0x00));

    // The list on the flash: magic, background at bytes 4-5, font at 6-7.
    const std::vector<std::uint8_t>& flash = m_emulator.Flash();
    EXPECT_EQ(std::string(flash.begin() + m_layout.listAddress, flash.begin() + m_layout.listAddress + 4),
              "ABFS");
    EXPECT_EQ(ListWord(4), 0xFFE0);
    EXPECT_EQ(ListWord(6), 0x441F);
    // A fresh read of the frame gives the same colours back.
    std::uint16_t font = 0, background = 0;
    m_store.ReadPictureList();
    m_store.GetColors(font, background);
    EXPECT_EQ(font, 0x441F);
    EXPECT_EQ(background, 0xFFE0);

    // The window after the sequence.
    EXPECT_EQ(m_window.Progress()->GetPos(), 0);
    EXPECT_NE(m_window.TotalsText(), QStringLiteral("Don't pullout USB cable \nwhile reading or writing!"));
    EXPECT_TRUE(m_window.Button(ids::kSave)->isEnabled());
    EXPECT_TRUE(m_window.AlbumList()->isEnabled());
    EXPECT_EQ(m_window.focusWidget(), m_window.Button(ids::kSetting));
    EXPECT_EQ(m_prompt.CountOf(CScriptedPrompt::Kind::Message), 0);
}

TEST_F(SettingOnFrame, AFailedWriteKeepsTheNewColoursAndSaysSo)
{
    sim::FlashFaults faults;
    faults.vanishAfter = m_emulator.CommandCount() + 1;
    m_emulator.SetFaults(faults);
    const FrameColors chosen{QColor(0, 0, 248), QColor(248, 248, 0)};
    EXPECT_EQ(ApplyFrameColors(m_window, &m_store, chosen), album::ErrTransfer);
    EXPECT_EQ(m_prompt.Texts(), QStringList{QStringLiteral("Writing the colors to the DPF failed!")});
    EXPECT_TRUE(m_window.Button(ids::kSetting)->isEnabled());
    // The album in memory holds the new colours for the next synchronize.
    std::uint16_t font = 0, background = 0;
    m_store.GetColors(font, background);
    EXPECT_EQ(font, ToRgb565(chosen.font));
    EXPECT_EQ(background, ToRgb565(chosen.background));
}

TEST_F(SettingOnFrame, AFrameRemovedWhileTheDialogIsOpenCancelsIt)
{
    bool cancelled = false;
    QTimer::singleShot(0, &m_window, [&] { // once the dialog's modal loop runs
        m_prompt.QueueColor(QColor(255, 0, 0));
        m_window.findChild<CSettingDlg*>()->Button(setting_ids::kFontColor)->click();
        cancelled = CancelSettingDialog(&m_window);
    });
    EXPECT_FALSE(AskFrameColors(m_window, m_colours).has_value());
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(m_colours.font, QColor(0, 0, 0));
    EXPECT_FALSE(CancelSettingDialog(&m_window));
}

TEST(AboutBox, ShowsTitleNoticeFlashSizeFirmwareAndAddress)
{
    const AboutInfo info{QStringLiteral("Kiwi"), QStringLiteral("https://frames.example/<b>x</b>"),
                         QStringLiteral("(c) Kiwi makers"), 2048, QStringLiteral("1.00")};
    CAboutDlg about(info);
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Kiwi"));
    EXPECT_EQ(about.Label(about_ids::kProductName)->text(), QStringLiteral("Kiwi"));
    EXPECT_EQ(about.Label(about_ids::kNotice)->text(), QStringLiteral("(c) Kiwi makers"));
    EXPECT_EQ(about.Label(about_ids::kFlashSize)->text(), QStringLiteral("Flash Size: 2048 KB"));
    EXPECT_EQ(about.Label(about_ids::kFirmware)->text(), QStringLiteral("Firmware Ver: 1.00"));
    EXPECT_EQ(about.Label(about_ids::kCorpLink)->text(), info.corpLink);
    EXPECT_EQ(about.Label(about_ids::kCorpLink)->textFormat(), Qt::PlainText);
}

TEST(AboutBox, BeforeAnyFrameWasRead)
{
    CAboutDlg about(AboutInfo{});
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Fotolume"));
    EXPECT_EQ(about.Label(about_ids::kFlashSize)->text(), QStringLiteral("Flash Size: 0 KB"));
    EXPECT_EQ(about.Label(about_ids::kFirmware)->text(), QStringLiteral("Firmware Ver: "));
    EXPECT_TRUE(about.Label(about_ids::kNotice)->text().isEmpty());
}

TEST(AboutBox, EntryLastInTheContextMenuFollowsTitleAndLanguage)
{
    CScriptedPrompt prompt;
    QString about = QStringLiteral("About");
    CMainDlg window(apptest::WindowOptions(QSize(1280, 1024), &prompt, [&about](const char* key, const char* def) {
        return QString::fromUtf8(key) == QLatin1String("ABOUT_SYSMENU") ? about : QString::fromUtf8(def);
    }));
    QAction* entry = window.AboutAction();
    EXPECT_EQ(entry->text(), QStringLiteral("About Fotolume(&A)..."));
    window.SetTitle(QStringLiteral("Kiwi"));
    EXPECT_EQ(entry->text(), QStringLiteral("About Kiwi(&A)..."));
    window.SetLanguageMenu(QStringLiteral("Language"), {{9002, QStringLiteral("English"), true}});
    about = QStringLiteral("Über");
    window.ApplyTexts();
    EXPECT_EQ(entry->text(), QStringLiteral("Über Kiwi(&A)..."));
    EXPECT_EQ(window.ContextMenu()->actions().constLast(), entry);
    window.SetLanguageMenu({}, {});
    EXPECT_EQ(window.ContextMenu()->actions(), QList<QAction*>{entry});
}
