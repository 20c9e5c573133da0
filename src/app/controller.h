#pragma once

#include "frame_owner.h"
#include "main_dlg.h"
#include "worker_report.h"

#include "config/language.h"
#include "config/settings.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>

#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>

class QSocketNotifier;

namespace fotolume::device {
class IDriveBackend;
}
namespace fotolume::compose {
class CPreview;
}

namespace fotolume::app {

struct ControllerOptions {
    std::filesystem::path programFolder; // master settings and language files
    std::filesystem::path tempFolder;    // the private scratch folder
    std::unique_ptr<device::IDriveBackend> backend;
    int screenDepth = 32;                // bits per pixel of the display
    MainDlgOptions window;               // screen size, prompt, tree roots for tests
};

// Fotolume's controller: owns the window, the album store, the settings and
// language, the picture cache and the workers, and runs every state change
// on the window thread in the handlers of the registered messages.
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
    AppFlags& Flags() { return m_dlg->Flags(); }
    // The store for the window thread; null while a worker holds it.
    album::CAlbumStore* Store() { return m_frame.Store(); }
    CFrameOwner& Frame() { return m_frame; }
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

    // Save, SaveAll and Setting belong to the export and settings dialogs;
    // their owner connects here.
    void OnSaveRequested();
    void OnSaveAllRequested();
    void OnSettingRequested();

Q_SIGNALS:
    // A read ended and its "FinishThread" was handled.
    void readFinished(int code);
    void synchronizeFinished(int code);
    void addFinished(int code);
    // The window closed and no worker runs any more: the program may end.
    void finished();
    // The frame went away: a settings dialog still open ends as cancelled.
    void frameRemoved();
    // The commands the export and settings work takes over.
    void saveRequested();
    void saveAllRequested();
    void settingRequested();

private:
    class CWindowReport;
    friend class CWindowReport;

    void ConnectWindow();
    void InstallExportAndSettings();
    void WatchPresence();
    void OnAppMessage(const QString& name, qintptr wParam, qintptr lParam);
    void OnArrival();
    void OnRemoval();
    void OnDpfAttach();
    void OnFinishThread(int code);
    void OnDownloadFinished(int code);
    void OnReceivePic();
    void OnProcessFinish(int code);
    void OnLeaving();
    void OnWindowFinished();
    void OnSendProgress(int pictureNumber, int done, int total);
    void RebuildLanguageMenu();
    void ClearPreview();
    bool LoadPreview(const QString& path);
    void ReapWorkers();
    void ResumePendingAttach();
    void CheckIdleForQuit();
    void ShowMessage(const QString& text);
    void ApplyConnectInfo(const ConnectInfo& info);
    void AppendAlbumPicture(const QString& cachePath, const QImage& bitmap, const QString& caption);
    void AfterSingleAdd();

    ControllerOptions m_options;
    std::unique_ptr<CMainDlg> m_dlg;
    compose::CPreview* m_preview = nullptr;
    std::unique_ptr<config::CSettings> m_settings;
    std::unique_ptr<config::CLanguage> m_language;
    config::LanguageMenu m_menu;
    CFrameOwner m_frame;
    QSocketNotifier* m_notifier = nullptr;

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

    // Workers: read or synchronize on m_worker, add on m_addThread.
    std::thread m_worker;
    std::thread m_addThread;
    // Raised by a removal: the read in progress stops and its later reports
    // are dropped (they belong to a frame that is gone).
    std::shared_ptr<std::atomic<bool>> m_readCancel;
    int m_generation = 0;
    int m_readGeneration = 0;
    bool m_attachPending = false;
    // Worker threads started and not yet past their last statement; the
    // destructor serves the window thread until it is 0.
    std::atomic<int> m_liveWorkers{0};
    std::atomic<int> m_sendGeneration{0};
    bool m_windowClosed = false;
    int m_readsFinished = 0;
};

} // namespace fotolume::app
