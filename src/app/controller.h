// CMainController, Fotolume's controller: the window, the album store, settings and language, the picture
// cache, the workers and every state change of the program.
#pragma once

#include <QColor>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

#include "app/app_flags.h"
#include "app/frame_owner.h"
#include "app/main_dlg.h"
#include "app/worker_report.h"
#include "config/language.h"
#include "config/settings.h"

class QSocketNotifier;

namespace fotolume::device {
class IDriveBackend;
}
namespace fotolume::compose {
class CPreview;
}

namespace fotolume::app {

struct ReadOutcome;
struct AddOutcome;

struct ControllerOptions {
    std::filesystem::path programFolder;  // master settings and language files
    std::filesystem::path tempFolder;     // the private scratch folder
    std::unique_ptr<device::IDriveBackend> backend;
    int screenDepth = 32;   // bits per pixel of the display
    MainDlgOptions window;  // screen size, prompt, tree roots for tests
};

// Owns the window, the album store, the settings and language, the picture cache and the workers, and runs
// every state change on the window thread. Workers report through queued calls and never wait for the
// window; each worker is joined in the handler of its completion, its last report.
class CMainController : public QObject {
    Q_OBJECT

public:
    explicit CMainController(ControllerOptions options, QObject* parent = nullptr);
    ~CMainController() override;

    // Runs the start-up sequence. Returns -1 when the window should open,
    // else the exit code of a start that ends at once (no frame: 0).
    int Start();

    CMainDlg& Window() { return *m_dlg; }
    compose::CPreview* Preview() const { return m_preview; }
    AppFlags& Flags() { return m_flags; }
    // The store for the window thread; null while a worker holds it.
    album::CAlbumStore* Store() { return m_frame.Store(); }
    CFrameOwner& Frame() { return m_frame; }
    // The cache BMP of every album position; empty for a picture that cannot be shown.
    const QStringList& CachePaths() const { return m_cachePaths; }
    const QStringList& SourceFiles() const { return m_sourceFiles; }
    QString CacheFolder() const { return m_cacheFolder; }
    QString TempFolder() const { return m_tempFolder; }
    QSize PanelSize() const { return {m_panelWidth, m_panelHeight}; }
    int JpgQuality() const { return m_jpgQuality; }
    QString FirmwareVersion() const { return m_firmwareVersion; }
    int FlashSizeKB() const { return m_flashSizeKB; }
    QColor FontColour() const { return m_fontColour; }
    QColor BackgroundColour() const { return m_backgroundColour; }
    QString ProgressMode() const { return m_progressMode; }
    QString CorpLink() const { return m_corpLink; }
    const config::CSettings& Settings() const { return *m_settings; }
    const config::CLanguage& Language() const { return *m_language; }
    bool WorkerRunning() const;
    // Whether the album in memory is the frame's whole album: only then may it be edited and written.
    bool AlbumComplete() const { return m_albumComplete; }
    // Reads finished since start-up (the headless run waits for the first).
    int ReadsFinished() const { return m_readsFinished; }

    QString Text(const char* key, const char* def) const;
    void UpdateTotals();

    // Commands (connected to the window; public so tests drive them directly).
    void OnSynchronize();
    bool SingleAdd();
    void OnDelete();
    void OnSelectAll();
    void OnAlbumClicked();
    void OnTreePictureChosen(const QString& path);
    void OnTreeAddRequested(const QString& path);
    void OnFilesDropped(const QStringList& paths);
    void ApplyLanguage(int commandId);
    void OnSave();
    void OnSaveAll();
    void OnSetting();
    void OnAbout();
    void OnLeaveRequested();
    void OnContextMenuRequested(const QPoint& globalPos);

Q_SIGNALS:
    // A read ended and its outcome was handled.
    void readFinished(int code);
    void synchronizeFinished(int code);
    void addFinished(int code);
    // The window closed and no worker runs any more: the program may end.
    void finished();
    // The frame went away.
    void frameRemoved();

private:
    class CWindowReport;
    friend class CWindowReport;

    void ConnectWindow();
    void WatchPresence();
    void OnPresenceChanged(bool arrived);
    void OnArrival();
    void OnRemoval();
    void OnDpfAttach();
    void StartRead(bool resumed, bool restore, const ReadOutcome* asked);
    void OnReadFinished(int generation, const ReadOutcome& outcome);
    void AskRestore(int generation, const ReadOutcome& outcome);
    void ShowReadEnd(int generation, const ReadOutcome& outcome);
    void ShowUnreadPlaces(const ReadOutcome& outcome);
    void OnSyncFinished(int generation, int code);
    void OnReceivePic();
    void OnAddFinished(int generation, const AddOutcome& outcome);
    void OnSendProgress(int pictureNumber, int done, int total);
    // Before a write: the frame must be writable, and an interrupted write's album given up by the user.
    bool MayWrite(album::CAlbumStore& store);
    void ApplyCommandState();
    void RebuildLanguageMenu();
    void ClearPreview();
    bool LoadPreview(const QString& path, const QString& shownName);
    void JoinWorker();
    void ResumePendingAttach();
    void CheckIdleForQuit();
    void ShowMessage(const QString& text);
    void ApplyConnectInfo(const ConnectInfo& info);
    void AppendAlbumPicture(const QString& cachePath, const QImage& bitmap, const QString& caption);
    void AfterSingleAdd();
    void CleanUpForExit();

    ControllerOptions m_options;
    std::unique_ptr<CMainDlg> m_dlg;
    compose::CPreview* m_preview = nullptr;
    std::unique_ptr<config::CSettings> m_settings;
    std::unique_ptr<config::CLanguage> m_language;
    config::LanguageMenu m_menu;
    CFrameOwner m_frame;
    QSocketNotifier* m_notifier = nullptr;
    AppFlags m_flags;

    QString m_tempFolder;
    QString m_cacheFolder;
    QString m_streamFile;
    QString m_tempBmp;
    int m_jpgQuality = 90;
    QString m_progressMode = QStringLiteral("ON");
    QString m_corpLink;
    QString m_firmwareVersion;
    int m_flashSizeKB = 0;
    int m_panelWidth = 0;
    int m_panelHeight = 0;
    QColor m_fontColour{0, 0, 0};
    QColor m_backgroundColour{255, 255, 255};
    QStringList m_cachePaths;
    QStringList m_sourceFiles;
    bool m_albumComplete = false;

    // Workers: read or synchronize on m_worker, add on m_addThread.
    std::thread m_worker;
    std::thread m_addThread;
    // Raised by a removal or the end of the program: a read in progress stops, and what it still reports
    // is dropped (it belongs to a frame that is gone).
    std::shared_ptr<std::atomic<bool>> m_readCancel;
    std::atomic<bool> m_quitting{false};
    // Counts arrivals and removals; a worker's reports carry the count it started under.
    int m_generation = 0;
    std::atomic<int> m_sendGeneration{0};
    bool m_attachPending = false;
    bool m_windowClosed = false;
    int m_readsFinished = 0;
};

}  // namespace fotolume::app
