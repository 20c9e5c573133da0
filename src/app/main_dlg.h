// CMainDlg, Fotolume's main window: its controls, layout, texts, status bar, keys and menus. It holds no
// album state; the controller does.
#pragma once

#include <QBasicTimer>
#include <QDialog>
#include <QList>
#include <QMap>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>

#include "app/main_dlg_layout.h"
#include "app/prompt.h"
#include "app/text_lookup.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;

namespace fotolume::app {

class CFolderTreeCtrl;
class CTextProgressCtrl;
class CThumbListCtrl;

// What the totals text shows.
struct TotalsInfo {
    bool attached = false;
    int pictureCount = 0;
    int maxPictureCount = 0;  // 0: the album is limited by space only
    long long usedBytes = 0;
    long long totalBytes = 0;
};

// The totals text in its three forms: no frame, space-limited album,
// album with a maximum picture count.
QString FormatTotals(const QString& label, const TotalsInfo& info);

// One language of the context menu: command id 9002 + index, its name, and
// whether it is the current one.
struct LanguageMenuEntry {
    int id = 0;
    QString text;
    bool checked = false;
};

struct MainDlgOptions {
    QSize screenSize;           // empty: the primary screen's size
    TextLookup lookup;          // empty: the built-in English texts
    IPrompt* prompt = nullptr;  // not owned; null: Qt dialogs owned by the window
    QStringList computerRoots;  // non-empty: shown under the computer root instead of the mounted volumes
    QString desktopFolder;      // with picturesFolder: used instead of the user's standard folders
    QString picturesFolder;
};

// The main window of Fotolume: folder tree, preview, album list and its
// commands, totals, progress bar, status icon and status bar. Commands that
// need the album or the frame are reported as signals for the controller.
class CMainDlg : public QDialog {
    Q_OBJECT

public:
    explicit CMainDlg(MainDlgOptions options = {}, QWidget* parent = nullptr);
    ~CMainDlg() override;

    CFolderTreeCtrl* Tree() const { return m_tree; }
    CThumbListCtrl* AlbumList() const { return m_list; }
    CTextProgressCtrl* Progress() const { return m_progress; }
    QWidget* PreviewWidget() const { return m_preview; }
    QPushButton* Button(int id) const { return m_buttons.value(id); }
    QWidget* Control(int id) const;
    IPrompt& Prompt() const { return *m_prompt; }
    const TextLookup& Lookup() const { return m_lookup; }
    QSize ScreenSize() const { return m_screen; }

    // Puts the preview widget into the preview's place (id 123); the window
    // owns it from then on and enables or disables it with the commands.
    void SetPreviewWidget(QWidget* preview);
    void SetTextLookup(TextLookup lookup);
    // Replaces "Fotolume" in the caption by the product title.
    void SetTitle(const QString& title);
    QString Title() const { return m_title; }

    // Starts the opening animation; the layout follows at the first paint after it.
    void StartOpening();
    bool IsAnimationFinished() const { return m_animationDone; }
    bool IsLayoutDone() const { return m_layoutDone; }
    QRect RestoreRect() const { return m_restoreRect; }
    // Three times the height of the letter "f" in the window's font.
    int TextHeightT() const;

    // Enables or disables every command as one group; Exit stays enabled.
    void EnableCommands(bool on);
    // Add, Delete, Synchronize and Setting: off while the album in memory is not the frame's whole album.
    void EnableEditing(bool on);
    // Writes into the right part of the status bar. Safe from a worker.
    void ShowStatus(const QString& text);
    QString StatusText() const;
    QString StatusLeftText() const;
    void RecreateStatusBar();
    void SetStatusIcon(bool frameAttached);
    // No frame: says so in the status bar, empties the album list and
    // disables the commands; with the prompt it then asks for the frame to be
    // plugged in.
    void ShowDeviceMissing(bool withPrompt);
    bool StatusIconShowsFrame() const { return m_iconAttached; }

    void SetTotals(const TotalsInfo& info);
    // Shows a text instead of the totals (the warning while reading or
    // sending). Safe from a worker.
    void ShowTotalsText(const QString& text);
    QString TotalsText() const;
    const TotalsInfo& Totals() const { return m_totalsInfo; }

    // Re-texts every control for the current language, recreates the status
    // bar, reformats the totals and registers the tooltips.
    void ApplyTexts();
    void SetLanguageMenu(const QString& popupText, const QList<LanguageMenuEntry>& entries);
    QMenu* ContextMenu() const { return m_contextMenu; }
    // The About entry, last in the context menu: a Linux window has no system menu.
    QAction* AboutAction() const { return m_aboutAction; }
    // Opens the language menu at a global position.
    void PopupContextMenu(const QPoint& globalPos);

    void SetCurrentPreviewFile(const QString& path) { m_currentPreviewFile = path; }
    QString CurrentPreviewFile() const { return m_currentPreviewFile; }
    bool IsRectOn() const { return m_rectOn; }
    void ToggleRect();

    // Exit, Ctrl+E or the window's close button: asks the controller, which
    // decides by its state and closes the window with CloseAccepted.
    void RequestLeave();
    void CloseAccepted();
    // Moves the window back to where the opening animation left it.
    void RestoreWindowRect();
    // Restores a minimised window and brings it to the front (a second start).
    void BringToFront();

Q_SIGNALS:
    void synchronizeRequested();
    void deleteRequested();
    void selectAllRequested();
    void addRequested();
    void saveRequested();
    void saveAllRequested();
    void settingRequested();
    void zoomRequested(int step);
    void rotateRequested(bool left);
    void rectModeChanged(bool on);
    void languageChosen(int commandId);
    void aboutRequested();
    void treePictureChosen(const QString& path);
    void treeAddRequested(const QString& path);
    void albumClicked();
    // Local files and folders dropped on the window.
    void filesDropped(const QStringList& paths);
    void leaveRequested();
    // A right click on the window's own surface.
    void contextMenuRequested(const QPoint& globalPos);
    // The right part of the status bar now shows text (window thread).
    void statusShown(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateControls();
    QPushButton* AddButton(int id, const char* caption);
    void ConnectCommands();
    void PlaceControls(const MainLayout& layout);
    void ApplyLayout();
    void AnimationStep();
    bool TranslateKey(QKeyEvent* event);
    void TriggerCommand(int id);
    void SetRectTexts();
    void AddLanguageItems(const QString& popupText, const QList<LanguageMenuEntry>& entries);
    void OnDrop(const QStringList& paths);

    TextLookup m_lookup;
    std::unique_ptr<IPrompt> m_ownPrompt;
    IPrompt* m_prompt = nullptr;
    QSize m_screen;
    QString m_title;

    CFolderTreeCtrl* m_tree = nullptr;
    CThumbListCtrl* m_list = nullptr;
    CTextProgressCtrl* m_progress = nullptr;
    QWidget* m_preview = nullptr;
    QGroupBox* m_previewGroup = nullptr;
    QGroupBox* m_albumGroup = nullptr;
    QLabel* m_totals = nullptr;
    QLabel* m_statusIcon = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QLabel* m_statusLeft = nullptr;
    QLabel* m_statusRight = nullptr;
    QMap<int, QPushButton*> m_buttons;
    QMenu* m_contextMenu = nullptr;
    QMenu* m_languageMenu = nullptr;
    QAction* m_aboutAction = nullptr;

    QBasicTimer m_animationTimer;
    QSize m_fullSize;
    QSize m_animatedSize;
    int m_stepWidth = 10;
    int m_stepHeight = 15;
    bool m_animationDone = false;
    bool m_layoutDone = false;
    QRect m_restoreRect;

    bool m_iconAttached = false;
    bool m_rectOn = true;
    bool m_closing = false;
    QString m_currentPreviewFile;
    TotalsInfo m_totalsInfo;
};

}  // namespace fotolume::app
