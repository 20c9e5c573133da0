// MacFotolume's window: the controls, found by identifier and wired to the controller, and the
// controller's status operations carried out on the window thread.
#pragma once

#include <QMainWindow>

#include <deque>
#include <functional>
#include <memory>

#include "compact/compact_view.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSocketNotifier;
class QTreeWidget;

namespace fotolume::compact {

class CFileBrowser;
class CLittleArrows;
class CPictureView;
class CSmallPreview;
class IMacPrompt;

// A control's object name: its four-character signature followed by its number, "trns10".
QString ControlName(const char* signature, int number);

// The event type of the program's own 'draw' event.
int DrawEventType();

class CMacWindow : public QMainWindow, public ICompactView {
    Q_OBJECT
public:
    // prompt: where questions go (not owned; nullptr = real dialogs).
    explicit CMacWindow(IMacPrompt* prompt = nullptr, QWidget* parent = nullptr);
    ~CMacWindow() override;

    // The window texts from the language file.
    void ApplyTexts();
    // Finds every control by identifier and wires it; false (the rest left unwired) when one is missing.
    bool AttachHandlers();
    void ListVolumes(const QStringList& roots, const QStringList& frameDevices = {});
    // Watches the device link's notification descriptor on this thread.
    void WatchDevice(int fd);
    // What happens once the user confirmed leaving (default: end the event loop with 0).
    void SetQuitAction(std::function<void()> quit) { m_quit = std::move(quit); }
    // The close box and the quit command.
    void OnQuit();

    CFileBrowser* Browser() const { return m_browser; }
    CPictureView* PictureView() const { return m_view; }
    CSmallPreview* SmallPreview() const { return m_preview; }
    QTreeWidget* AlbumList() const { return m_album; }
    int CurrentBrowserItem() const { return m_currentBrowserItem; }

    // ICompactView
    void SetNotes(const std::string& text) override;
    void SetDownLoadPrcess(int percent) override;
    void SetPicNumInfo(const std::string& totals, const std::string& current) override;
    void SetControlPanlEnable(bool on) override;
    void InvalidateMyWindow() override;
    void ShowAlbumList(AlbumListing listing, AlbumListAfter after) override;
    void ReleasePreviewImages() override;
    void SetPanelFrame(int width, int height) override;
    void SetDownloadBlocked(const std::string& reason) override;
    void ClearDeleteAll() override;
    void RedrawViews() override;
    void ShowPicture(const QImage& picture, int browserIndex) override;
    void MarkNotPicture(int browserIndex) override;
    void AdvanceBrowser() override;
    void Ask(std::function<void()> question) override;
    void CarryOutPending() override;
    QImage ComposedPicture() const override;
    compose::CCompactTransform Transform() const override;
    std::vector<int> SelectedPictureItems() const override;
    std::string BrowserItemPath(int browserIndex) const override;

Q_SIGNALS:
    // Every information text, in the order shown (tests count them).
    void NotesShown(const QString& text);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildInterface();
    // Runs fn here now when called on the window thread, else queues it to the window thread.
    void OnWindowThread(std::function<void()> fn);
    void OnBrowserSelection();
    void OnAlbumSelection();
    bool LoadIntoView(int browserIndex);
    void ShowBrowserSelection();
    void AfterPictureSelected();
    void OnScale(int value);
    void UpdateTranslateRanges();
    void SyncDrawRect();

    std::unique_ptr<IMacPrompt> m_ownPrompt;
    IMacPrompt* m_prompt = nullptr;
    std::function<void()> m_quit;
    QSocketNotifier* m_notifier = nullptr;
    std::deque<std::function<void()>> m_waitingQuestions;
    bool m_questionOpen = false;
    int m_currentBrowserItem = -1;

    // Found by identifier in AttachHandlers.
    CFileBrowser* m_browser = nullptr;
    QTreeWidget* m_album = nullptr;
    CPictureView* m_view = nullptr;
    CSmallPreview* m_preview = nullptr;
    QLabel* m_notes = nullptr;
    QLabel* m_totals = nullptr;
    QLabel* m_current = nullptr;
    QProgressBar* m_progress = nullptr;
    CLittleArrows* m_rotate = nullptr;
    CLittleArrows* m_scale = nullptr;
    CLittleArrows* m_translateX = nullptr;
    CLittleArrows* m_translateY = nullptr;
    QCheckBox* m_fit = nullptr;
    QCheckBox* m_deleteAll = nullptr;
    QPushButton* m_download = nullptr;
    QString m_downloadBlocked;  // why DownLoad stays off; empty: it follows the group
    std::vector<QWidget*> m_commandGroup;
};

}  // namespace fotolume::compact
