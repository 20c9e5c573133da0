#include "app/setting_dlg.h"

#include <QGroupBox>
#include <QMap>
#include <QPainter>
#include <QPushButton>
#include <utility>

#include "album/album_error.h"
#include "album/album_store.h"
#include "app/dialog_units.h"
#include "app/main_dlg.h"
#include "app/text_progress_ctrl.h"
#include "app/thumb_list_ctrl.h"

namespace fotolume::app {

std::uint16_t ToRgb565(const QColor& colour) {
    const int r = colour.red();
    const int g = colour.green();
    const int b = colour.blue();
    return static_cast<std::uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

QColor FromRgb565(std::uint16_t value) {
    return QColor(((value >> 11) & 0x1F) << 3, ((value >> 5) & 0x3F) << 2, (value & 0x1F) << 3);
}

FrameColors ColorsFromFrame(std::uint16_t font, std::uint16_t background) {
    FrameColors colours{FromRgb565(font), FromRgb565(background)};
    if (colours.font == colours.background) return FrameColors{};
    return colours;
}

CSettingDlg::CSettingDlg(const FrameColors& colours, IPrompt& prompt, TextLookup lookup, QWidget* parent)
    : QDialog(parent), m_colours(colours), m_prompt(prompt), m_lookup(std::move(lookup)) {
    if (!m_lookup) m_lookup = &DefaultText;
    setObjectName(QStringLiteral("Setting"));
    const CDialogUnits du(fontMetrics());
    setFixedSize(du.Size(203, 86));

    auto* group = new QGroupBox(this);
    group->setGeometry(du.Rect(7, 7, 189, 52));
    m_fontSwatch = AddSwatch(setting_ids::kFontSwatch, du.Rect(19, 18, 72, 12));
    m_backgroundSwatch = AddSwatch(setting_ids::kBackgroundSwatch, du.Rect(19, 39, 72, 12));

    QPushButton* ok = AddButton(setting_ids::kOk, du.Rect(35, 62, 50, 14));
    QPushButton* cancel = AddButton(setting_ids::kCancel, du.Rect(117, 62, 50, 14));
    QPushButton* font = AddButton(setting_ids::kFontColor, du.Rect(97, 17, 93, 15));
    QPushButton* background = AddButton(setting_ids::kBackground, du.Rect(97, 38, 93, 15));
    ok->setDefault(true);
    ok->setAutoDefault(true);

    setWindowTitle(m_lookup("IDC_BTN_SETTING", "Setting"));
    font->setText(m_lookup("FONTCOLOR_TIPS", "&Fontcolor"));
    background->setText(m_lookup("BACKGROUND_TIPS", "&Background"));
    ok->setText(m_lookup("IDOK_TIPS", "OK"));
    cancel->setText(m_lookup("CANCEL_TIPS", "Cancel"));

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(font, &QPushButton::clicked, this, &CSettingDlg::ChooseFontColor);
    connect(background, &QPushButton::clicked, this, &CSettingDlg::ChooseBackgroundColor);
}

QPushButton* CSettingDlg::AddButton(int id, const QRect& rect) {
    auto* button = new QPushButton(this);
    button->setObjectName(QString::number(id));
    button->setAutoDefault(false);
    button->setGeometry(rect);
    return button;
}

QWidget* CSettingDlg::AddSwatch(int id, const QRect& rect) {
    // Only marks where the dialog paints the colour; never shown itself.
    auto* swatch = new QWidget(this);
    swatch->setObjectName(QString::number(id));
    swatch->setGeometry(rect);
    swatch->setEnabled(false);
    swatch->hide();
    return swatch;
}

QPushButton* CSettingDlg::Button(int id) const {
    return findChild<QPushButton*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

QRect CSettingDlg::FontSwatchRect() const { return m_fontSwatch->geometry(); }

QRect CSettingDlg::BackgroundSwatchRect() const { return m_backgroundSwatch->geometry(); }

void CSettingDlg::ChooseFontColor() {
    if (const std::optional<QColor> chosen = m_prompt.AskColor(m_colours.font)) {
        m_colours.font = chosen->toRgb();
        update(FontSwatchRect());
    }
}

void CSettingDlg::ChooseBackgroundColor() {
    if (const std::optional<QColor> chosen = m_prompt.AskColor(m_colours.background)) {
        m_colours.background = chosen->toRgb();
        update(BackgroundSwatchRect());
    }
}

void CSettingDlg::ShowColor() { update(); }

void CSettingDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    // An outline, so that a swatch of the dialog's own colour (white) still shows where it is.
    const QColor outline = palette().color(QPalette::WindowText);
    for (const auto& [rect, colour] :
         {std::pair{FontSwatchRect(), m_colours.font}, std::pair{BackgroundSwatchRect(), m_colours.background}}) {
        painter.fillRect(rect, colour);
        painter.setPen(outline);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
    }
}

void CSettingDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    update();
}

int ApplyFrameColors(CMainDlg& window, album::CAlbumStore* store, const FrameColors& colours,
                     const std::function<void()>& updateTotals) {
    const TextLookup& text = window.Lookup();
    // The buttons come back as they were: editing may be off for an album that was not read whole.
    QMap<QWidget*, bool> enabled;
    for (int id : {ids::kAdd, ids::kDelete, ids::kSynchronize, ids::kSetting})
        enabled.insert(window.Button(id), window.Button(id)->isEnabled());
    window.EnableCommands(false);
    window.ShowTotalsText(text("WARN_TIPS", "Don't pullout USB cable \nwhile reading or writing!"));
    int code = album::ErrTransfer;
    if (store) {
        // The write runs on the window thread: another program's claim is waited for only briefly.
        store->SetClaimWait(std::chrono::milliseconds(500));
        try {
            store->SetColors(ToRgb565(colours.font), ToRgb565(colours.background));
            code = 0;
        } catch (const album::CAlbumError& error) {
            code = error.Code();
        }
        store->SetClaimWait(device::kClaimWait);
    }
    window.Progress()->SetPos(0);
    if (updateTotals) {
        updateTotals();
    } else {
        TotalsInfo totals = window.Totals();
        totals.pictureCount = window.AlbumList()->GetItemCount();
        window.SetTotals(totals);
    }
    window.EnableCommands(true);
    for (auto it = enabled.constBegin(); it != enabled.constEnd(); ++it) it.key()->setEnabled(it.value());
    if (QPushButton* setting = window.Button(ids::kSetting)) setting->setFocus(Qt::OtherFocusReason);
    if (code == album::ErrLayout)
        window.Prompt().Message(text("LAYOUT_TIPS",
                                     "The memory layout of this DPF is not one that can be "
                                     "written safely; its album can only be read."));
    else if (code == album::ErrFrameBusy)
        window.Prompt().Message(text("DPFBUSY_TIPS", "Another program is using the DPF; try again when it has finished."));
    else if (code != 0)
        window.Prompt().Message(text("SETCOLOR_FAIL_TIPS", "Writing the colors to the DPF failed!"));
    return code;
}

std::optional<FrameColors> AskFrameColors(CMainDlg& window, const FrameColors& colours) {
    auto* dialog = new CSettingDlg(colours, window.Prompt(), window.Lookup(), &window);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    const FrameColors chosen = dialog->Colors();
    delete dialog;
    if (!accepted) return std::nullopt;
    return chosen;
}

bool CancelSettingDialog(QWidget* window) {
    if (!window) return false;
    bool found = false;
    for (CSettingDlg* dialog : window->findChildren<CSettingDlg*>()) {
        if (dialog->isVisible()) {
            dialog->reject();
            found = true;
        }
    }
    return found;
}

}  // namespace fotolume::app
