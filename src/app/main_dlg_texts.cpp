// The main window's texts: captions, tooltips, status bar, totals and the
// language menu.
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMetaObject>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>

#include "app/about_dlg.h"
#include "app/folder_tree_ctrl.h"
#include "app/main_dlg.h"
#include "app/thumb_list_ctrl.h"

namespace fotolume::app {

namespace {

bool OnOwnThread(const QObject* object) { return QThread::currentThread() == object->thread(); }

}  // namespace

QString FormatTotals(const QString& label, const TotalsInfo& info) {
    if (info.attached && info.maxPictureCount > 0)
        return QStringLiteral("%1:\n \n%2  / %3 ").arg(label).arg(info.pictureCount).arg(info.maxPictureCount);
    if (!info.attached) return QStringLiteral("%1:\n %2 \n(%3 KB / %4 KB)").arg(label).arg(0).arg(0).arg(0);
    return QStringLiteral("%1:\n %2 \n(%3 KB / %4 KB)")
        .arg(label)
        .arg(info.pictureCount)
        .arg(info.usedBytes / 1024)
        .arg(info.totalBytes / 1024);
}

void CMainDlg::ShowStatus(const QString& text) {
    if (!OnOwnThread(this)) {
        QMetaObject::invokeMethod(
            this, [this, text] { ShowStatus(text); }, Qt::QueuedConnection);
        return;
    }
    m_statusRight->setText(text);
    Q_EMIT statusShown(text);
}

QString CMainDlg::StatusText() const { return m_statusRight->text(); }

QString CMainDlg::StatusLeftText() const { return m_statusLeft->text(); }

void CMainDlg::RecreateStatusBar() {
    m_statusLeft->setText(m_lookup("STATUSBAR_LEFT", "Info:"));
    m_statusRight->clear();
    const int height = m_statusBar->sizeHint().height();
    m_statusBar->setGeometry(0, this->height() - height, width(), height);
}

void CMainDlg::SetStatusIcon(bool frameAttached) {
    m_iconAttached = frameAttached;
    const QString resource =
        frameAttached ? QStringLiteral(":/icons/frame_attached.png") : QStringLiteral(":/icons/no_frame.png");
    const QPixmap icon(resource);
    m_statusIcon->setPixmap(
        icon.scaled(m_statusIcon->size().boundedTo(icon.size()), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void CMainDlg::ShowDeviceMissing(bool withPrompt) {
    ShowStatus(m_lookup("DEVICEOFF_TIPS", "DPF Detached!"));
    m_list->DeleteAll();
    EnableCommands(false);
    if (withPrompt) ShowStatus(m_lookup("INSERTDEVICE_TIPS", "Please insert the DPF device!"));
}

void CMainDlg::SetTotals(const TotalsInfo& info) {
    m_totalsInfo = info;
    m_totals->setText(FormatTotals(m_lookup("IDC_STATIC_HIDSTATUS", "Total Pictures"), info));
}

void CMainDlg::ShowTotalsText(const QString& text) {
    if (!OnOwnThread(this)) {
        QMetaObject::invokeMethod(
            this, [this, text] { ShowTotalsText(text); }, Qt::QueuedConnection);
        return;
    }
    m_totals->setText(text);
}

QString CMainDlg::TotalsText() const { return m_totals->text(); }

void CMainDlg::SetRectTexts() {
    QPushButton* rect = Button(ids::kRect);
    if (m_rectOn) {
        rect->setText(m_lookup("IDC_BUTTON_CLEARRECT", "Clear"));
        rect->setToolTip(m_lookup("IDC_BUTTON_CLEARRECTTIPS", "Clear Rect"));
    } else {
        rect->setText(m_lookup("IDC_BUTTON_DRAWRECT", "Rect"));
        rect->setToolTip(m_lookup("IDC_BUTTON_DRAWRECTTIPS", "Draw Rect"));
    }
}

void CMainDlg::ApplyTexts() {
    m_tree->SetRootCaptions(m_lookup);
    m_previewGroup->setTitle(m_lookup("IDC_STATIC_PREVIEW", "Preview: "));
    m_albumGroup->setTitle(m_lookup("IDC_STATIC_PICSINDPF", "Pics In DPF:"));

    struct Texts {
        int id;
        const char* key;
        const char* caption;
        const char* tipKey;
        const char* tip;
    };
    static const Texts texts[] = {
        {ids::kZoomIn, "IDC_BUTTON_ZOOMIN", "+", "IDC_BUTTON_ZOOMINTIPS", "Zoom In"},
        {ids::kZoomOut, "IDC_BUTTON_ZOOMOUT", "-", "IDC_BUTTON_ZOOMOUTTIPS", "Zoom Out"},
        {ids::kSetting, "IDC_BTN_SETTING", "Setting", "IDC_BTN_SETTINGTIPS", "Setting"},
        {ids::kRotateLeft, "IDC_BUTTON_CHANGE_L", "RotateL", "IDC_BUTTON_CHANGE_LTIPS", "Rotate Left"},
        {ids::kRotateRight, "IDC_BUTTON_CHANGE", "RotateR", "IDC_BUTTON_CHANGETIPS", "Rotate Right"},
        {ids::kSynchronize, "IDC_BUTTON_SEND", "Synchronize", "IDC_BUTTON_SENDTIPS", "Synchronize"},
        {ids::kSelectAll, "IDC_BUTTON_SELECTALL", "All", "IDC_BUTTON_SELECTALLTIPS", "Select all"},
        {ids::kDelete, "IDC_BUTTON_DELECT", "Delete", "IDC_BUTTON_DELECTTIPS", "Delete"},
        {ids::kSave, "IDC_BUTTON_SAVE", "Save", "IDC_BUTTON_SAVETIPS", "Save As"},
        {ids::kSaveAll, "IDC_BUTTON_SAVEALL", "SaveAll", "IDC_BUTTON_SAVEALLTIPS", "Save all"},
        {ids::kExit, "ID_EXIT", "Exit", "ID_EXITTIPS", "Exit"},
        {ids::kAdd, "IDC_BTN_ADDTODPF", "Add", "IDC_BTN_ADDTODPFTIPS", "Add Photo"},
    };
    for (const Texts& t : texts) {
        QPushButton* button = Button(t.id);
        button->setText(m_lookup(t.key, t.caption));
        button->setToolTip(m_lookup(t.tipKey, t.tip));
    }
    SetRectTexts();
    m_aboutAction->setText(AboutMenuText(m_lookup, m_title));

    RecreateStatusBar();
    if (m_iconAttached)
        ShowStatus(m_lookup("DEVICEON_TIPS", "DPF Attach!!"));
    else
        ShowStatus(m_lookup("DEVICEOFF_TIPS", "DPF Detached!"));
    SetTotals(m_totalsInfo);
}

void CMainDlg::SetLanguageMenu(const QString& popupText, const QList<LanguageMenuEntry>& entries) {
    m_contextMenu->clear();
    m_languageMenu = nullptr;
    if (!popupText.isEmpty()) AddLanguageItems(popupText, entries);
    m_contextMenu->addAction(m_aboutAction);
}

void CMainDlg::AddLanguageItems(const QString& popupText, const QList<LanguageMenuEntry>& entries) {
    m_languageMenu = m_contextMenu->addMenu(popupText);
    for (const LanguageMenuEntry& entry : entries) {
        QAction* action = m_languageMenu->addAction(entry.text);
        action->setCheckable(true);
        action->setChecked(entry.checked);
        action->setData(entry.id);
        const int id = entry.id;
        connect(action, &QAction::triggered, this, [this, id] { Q_EMIT languageChosen(id); });
    }
    m_contextMenu->addSeparator();
}

}  // namespace fotolume::app
