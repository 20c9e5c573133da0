// The settings dialog (the frame's two text colours), the colour conversions and the colour write.
#pragma once

#include <QColor>
#include <QDialog>
#include <QRect>
#include <cstdint>
#include <functional>
#include <optional>

#include "app/prompt.h"
#include "app/text_lookup.h"

class QPushButton;

namespace fotolume::album {
class CAlbumStore;
}

namespace fotolume::app {

class CMainDlg;

// The two colours of the frame's own text display, as the window holds them.
struct FrameColors {
    QColor font = QColor(0, 0, 0);
    QColor background = QColor(255, 255, 255);
};

// 24-bit colour to the frame's RGB565: red in the top 5 bits, green in the
// middle 6, blue in the low 5.
std::uint16_t ToRgb565(const QColor& colour);
// The frame's RGB565 to a 24-bit colour; the low bits stay 0.
QColor FromRgb565(std::uint16_t value);
// The colours stored on the frame as the window shows them. Equal colours
// (an erased list holds 0xFFFF twice) would make the frame's text invisible,
// so they read as black on white.
FrameColors ColorsFromFrame(std::uint16_t font, std::uint16_t background);

// Control ids of the settings dialog.
namespace setting_ids {
constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kFontColor = 1058;
constexpr int kBackground = 1059;
constexpr int kFontSwatch = 1060;
constexpr int kBackgroundSwatch = 1061;
}  // namespace setting_ids

// The "Setting" dialog: chooses the font and background colours of the frame.
// It works on copies; the caller takes them with Colors() after OK.
class CSettingDlg : public QDialog {
    Q_OBJECT

public:
    CSettingDlg(const FrameColors& colours, IPrompt& prompt, TextLookup lookup, QWidget* parent = nullptr);

    FrameColors Colors() const { return m_colours; }
    QPushButton* Button(int id) const;
    // Where the swatches are painted, in the dialog's coordinates.
    QRect FontSwatchRect() const;
    QRect BackgroundSwatchRect() const;

    // The two colour buttons: the chooser preset to the working colour; a
    // confirmed choice becomes the working colour and is shown at once.
    void ChooseFontColor();
    void ChooseBackgroundColor();
    // Repaints both swatches.
    void ShowColor();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* AddButton(int id, const QRect& rect);
    QWidget* AddSwatch(int id, const QRect& rect);

    FrameColors m_colours;
    IPrompt& m_prompt;
    TextLookup m_lookup;
    QWidget* m_fontSwatch = nullptr;
    QWidget* m_backgroundSwatch = nullptr;
};

// Runs the settings dialog over the window: the chosen colours on OK,
// nothing on Cancel.
std::optional<FrameColors> AskFrameColors(CMainDlg& window, const FrameColors& colours);

// The window's sequence after OK: commands off, the cable warning, both
// colours written to the frame, progress 0, totals, commands back as they
// were and the focus on "Setting". A failed write keeps the new colours in
// the window (the album in memory has them too, so the next synchronize
// stores them) and says so in one message. Without updateTotals the totals
// keep their values with the current thumbnail count. Returns 0 when the
// frame took the colours, else the album error code.
int ApplyFrameColors(CMainDlg& window, album::CAlbumStore* store, const FrameColors& colours,
                     const std::function<void()>& updateTotals = {});

// Ends an open settings dialog of the window as cancelled (the frame went
// away). True when one was open.
bool CancelSettingDialog(QWidget* window);

}  // namespace fotolume::app
