// The three workers: starting them, their reports and their completion messages.
#include "controller.h"

#include "add_worker.h"
#include "app_folders.h"
#include "app_messages.h"
#include "read_worker.h"
#include "sync_worker.h"
#include "text_progress_ctrl.h"
#include "thumb_list_ctrl.h"

#include "album/album_store.h"
#include "preview.h"

#include <QMetaObject>
#include <QPushButton>
#include <QTimer>

namespace fotolume::app {

// Runs every report of one worker on the window thread, in the order made.
// Reports of a worker whose frame went away since it started are dropped;
// the completion message always arrives.
class CMainController::CWindowReport : public IWorkerReport {
public:
    CWindowReport(CMainController* controller, int generation)
        : m_controller(controller), m_generation(generation)
    {
    }

    void ShowTotalsText(const QString& text) override
    {
        Post([text](CMainController& c) { c.m_dlg->ShowTotalsText(text); });
    }
    void ShowStatus(const QString& text) override
    {
        Post([text](CMainController& c) { c.m_dlg->ShowStatus(text); });
    }
    void SetProgress(int percent) override
    {
        Post([percent](CMainController& c) { c.m_dlg->Progress()->SetPos(percent); });
    }
    void ShowMessage(const QString& text) override
    {
        Post([text](CMainController& c) { c.ShowMessage(text); });
    }
    void ClearAlbumView() override
    {
        Post([](CMainController& c) {
            c.m_dlg->AlbumList()->DeleteAll();
            c.m_cachePaths.clear();
        });
    }
    void ConnectChecked(const ConnectInfo& info) override
    {
        Post([info](CMainController& c) { c.ApplyConnectInfo(info); });
    }
    void AlbumHeaderRead(const QColor& font, const QColor& background, int flashSizeKB) override
    {
        Post([font, background, flashSizeKB](CMainController& c) {
            c.m_fontColour = font;
            c.m_backgroundColour = background;
            c.m_flashSizeKB = flashSizeKB;
        });
    }
    void AppendPicture(const QString& cachePath, const QImage& bitmap, const QString& caption) override
    {
        Post([cachePath, bitmap, caption](CMainController& c) { c.AppendAlbumPicture(cachePath, bitmap, caption); });
    }
    void PreviewFileChosen(const QString& path) override
    {
        Post([path](CMainController& c) { c.m_dlg->SetCurrentPreviewFile(path); });
    }
    void AlbumModified() override
    {
        Post([](CMainController& c) { c.Flags().isModified = true; });
    }
    bool AskYesNo(const QString& text) override
    {
        CMainController* controller = m_controller;
        const int generation = m_generation;
        bool yes = false;
        QMetaObject::invokeMethod(
            controller,
            [controller, generation, &text, &yes] {
                if (controller->m_generation != generation || controller->m_readCancel->load())
                    return;
                yes = controller->m_dlg->Prompt().AskYesNo(text);
                // A removal while the question was open makes the answer moot.
                yes = yes && controller->m_generation == generation;
            },
            Qt::BlockingQueuedConnection);
        return yes;
    }
    void Finish(const char* message, int code, bool waitForWindow) override
    {
        const QString name = QString::fromLatin1(message);
        if (waitForWindow)
            SendAppMessage(m_controller->m_dlg.get(), name, code);
        else
            PostAppMessage(m_controller->m_dlg.get(), name, code);
    }

private:
    template <typename Call>
    void Post(Call call)
    {
        CMainController* controller = m_controller;
        const int generation = m_generation;
        QMetaObject::invokeMethod(
            controller,
            [controller, generation, call] {
                if (controller->m_generation == generation)
                    call(*controller);
            },
            Qt::QueuedConnection);
    }

    CMainController* m_controller;
    int m_generation;
};

void CMainController::ApplyConnectInfo(const ConnectInfo& info)
{
    if (info.hasFirmware)
        m_firmwareVersion = info.firmwareVersion;
    if (!info.ok)
        return;
    m_panelWidth = info.panelWidth;
    m_panelHeight = info.panelHeight;
    if (m_preview)
        m_preview->SetRectSize(m_panelWidth, m_panelHeight);
    CThumbListCtrl* list = m_dlg->AlbumList();
    list->SetUp(ComputeThumbGeometry(info.thumbWidth, info.thumbColumn, m_panelWidth, m_panelHeight,
                                     list->viewport()->width()));
}

void CMainController::AppendAlbumPicture(const QString& cachePath, const QImage& bitmap, const QString& caption)
{
    CThumbListCtrl* list = m_dlg->AlbumList();
    list->AddBitmap(bitmap, caption);
    list->EnsureItemVisible(list->count() - 1);
    m_cachePaths.append(cachePath);
}

void CMainController::ReapWorkers()
{
    // Only called once a worker's completion message was handled, so the
    // thread has nothing left to wait for.
    if (m_worker.joinable())
        m_worker.join();
}

// --- Read -------------------------------------------------------------------------------------------

void CMainController::OnDpfAttach()
{
    Flags().isConnected = true;
    m_dlg->EnableCommands(false);
    // A worker from before a removal may still be winding down; the read
    // starts when it has ended, never beside it.
    if (m_frame.IsLent() || m_worker.joinable() || m_addThread.joinable()) {
        Flags().isReading = true;
        m_attachPending = true;
        return;
    }
    album::CAlbumStore* store = m_frame.LendTo(CFrameOwner::User::ReadWorker);
    if (!store)
        return;
    Flags().isReading = true;
    m_panelWidth = 0;
    m_panelHeight = 0;

    m_readCancel = std::make_shared<std::atomic<bool>>(false);
    ReadJob job;
    job.store = store;
    job.settings = m_settings.get();
    job.cacheFolder = m_cacheFolder;
    job.streamFile = m_streamFile;
    job.cancel = m_readCancel.get();
    job.texts.warn = Text("WARN_TIPS", "Don't pullout USB cable \nwhile reading or writing!");
    job.texts.reading = Text("READ_TIPS", "Reading Pictures");
    job.texts.finished = Text("READFINISH_TIPS", "Reading Finished!");
    job.texts.noPictures = Text("NOPICS_TIPS", "No photos in device!");
    job.texts.clockFailed = Text("SYNCHRONIZETIME_TIPS", "Synchronize time failed!");
    job.texts.panelZero = Text("LCDSIZEZERO_TIPS", "LCD width is 0, it must have something wrong with your DPF!");
    job.texts.recoverAsk = Text("RECOVER_TIPS_1", "The last synchronize with this DPF was interrupted. Restore the "
                                                  "album from the pictures still on the DPF?");
    job.texts.recoverDamaged = Text("RECOVER_TIPS_2", "Some pictures were damaged by the interruption; only the "
                                                      "undamaged pictures can be restored.");
    job.texts.recovered = Text("RECOVER_TIPS_3", "Album restored!");
    job.texts.notRecovered = Text("RECOVER_TIPS_4", "The album could not be restored!");

    auto report = std::make_shared<CWindowReport>(this, m_generation);
    std::shared_ptr<std::atomic<bool>> cancel = m_readCancel;
    ++m_liveWorkers;
    m_worker = std::thread([this, job, report, cancel] {
        const int code = RunReadAlbum(job, *report);
        m_frame.GiveBack();
        report->Finish(msg::kFinishThread, code, false);
        --m_liveWorkers;
    });
    m_readGeneration = m_generation;
}

void CMainController::OnFinishThread(int code)
{
    ReapWorkers();
    const bool current = m_readGeneration == m_generation;
    Flags().isReading = false;
    if (current) {
        UpdateTotals();
        m_dlg->Progress()->SetPos(0);
        if (Flags().isConnected) {
            if (code == kReadPictureDropped)
                ShowMessage(Text("PICDESTROY_TIPS", "The picture is destroyed!"));
            m_dlg->EnableCommands(true);
        }
        ++m_readsFinished;
        Q_EMIT readFinished(code);
    }
    ResumePendingAttach();
    CheckIdleForQuit();
}

void CMainController::ResumePendingAttach()
{
    if (!m_attachPending)
        return;
    m_attachPending = false;
    if (Flags().isConnected)
        PostAppMessage(m_dlg.get(), QString::fromLatin1(msg::kDpfAttach));
}

// --- Synchronize ------------------------------------------------------------------------------------

void CMainController::OnSynchronize()
{
    if (Flags().isAddingBatch || !Flags().isModified)
        return;
    album::CAlbumStore* store = m_frame.LendTo(CFrameOwner::User::SyncWorker);
    if (!store)
        return;
    ReapWorkers();
    m_dlg->EnableCommands(false);
    if (m_progressMode == QLatin1String("OFF"))
        m_dlg->Progress()->show();
    Flags().isSending = true;
    const QString warn = Text("WARN_TIPS", "Don't pullout USB cable \nwhile reading or writing!");
    auto report = std::make_shared<CWindowReport>(this, m_generation);
    m_sendGeneration = m_generation;
    ++m_liveWorkers;
    m_worker = std::thread([this, store, warn, report] {
        const int code = RunSynchronize(*store, warn, *report);
        m_frame.GiveBack();
        report->Finish(msg::kDownloadFinished, code, true);
        --m_liveWorkers;
    });
}

void CMainController::OnSendProgress(int pictureNumber, int done, int total)
{
    // Called on the synchronize worker: formatted and shown on the window thread.
    const int generation = m_sendGeneration.load();
    QMetaObject::invokeMethod(
        this,
        [this, generation, pictureNumber, done, total] {
            if (generation != m_generation)
                return;
            m_dlg->Progress()->SetPos(SendingPercent(done, total));
            m_dlg->ShowStatus(SendingStatus(Text("DOWNLOADING_TIPS", "Sending"), pictureNumber,
                                            m_dlg->AlbumList()->count()));
        },
        Qt::QueuedConnection);
}

void CMainController::OnDownloadFinished(int code)
{
    // The worker waits in its send until this returns; it is joined after.
    QTimer::singleShot(0, this, [this] {
        ReapWorkers();
        ResumePendingAttach();
        CheckIdleForQuit();
    });
    UpdateTotals();
    Flags().isReading = false;
    Flags().isSending = false;
    // After a failure the frame does not hold the album (its list may be
    // erased), so the album stays marked as not synchronized: Synchronize
    // can write it again and leaving still warns.
    if (code == 0)
        Flags().isModified = false;
    m_dlg->EnableCommands(true);
    m_dlg->Progress()->SetPos(0);
    if (code != 0)
        ShowMessage(Text("DOWNLOADFAIL_TIPS", "Download pics failed!If you donot pull out the USB cable, please "
                                              "change an USB port or USB cable and try again!"));
    if (m_frame.FramePresent())
        m_dlg->ShowStatus(Text("DOWNFINISH_TIPS", " Synchronize Finished!"));
    if (Flags().isQuitPending) {
        CleanPictureCache(m_cacheFolder);
        CleanTemporaryFiles(m_tempFolder);
    }
    Q_EMIT synchronizeFinished(code);
}

// --- Add dropped files ------------------------------------------------------------------------------

void CMainController::OnReceivePic()
{
    album::CAlbumStore* store = m_frame.LendTo(CFrameOwner::User::AddWorker);
    if (!store) {
        Flags().isAddingBatch = false;
        return;
    }
    Flags().isAddingBatch = true;
    AddJob job;
    job.store = store;
    job.files = m_sourceFiles;
    job.cacheFolder = m_cacheFolder;
    job.streamFile = m_streamFile;
    job.previewClient = m_preview ? m_preview->size() : QSize();
    job.rectMode = m_dlg->IsRectOn();
    job.panelWidth = m_panelWidth;
    job.panelHeight = m_panelHeight;
    job.jpgQuality = m_jpgQuality;
    job.destroyedText = Text("PICDESTROY_TIPS", "The picture is destroyed!");
    auto report = std::make_shared<CWindowReport>(this, m_generation);
    ++m_liveWorkers;
    m_addThread = std::thread([this, job, report] {
        const int code = RunAddFiles(job, *report);
        m_frame.GiveBack();
        report->Finish(msg::kProcessFinish, code, false);
        --m_liveWorkers;
    });
}

void CMainController::OnProcessFinish(int code)
{
    if (m_addThread.joinable())
        m_addThread.join();
    Flags().isAddingBatch = false;
    UpdateTotals();
    Flags().isModified = true;
    CThumbListCtrl* list = m_dlg->AlbumList();
    list->setFocus();
    list->EnsureItemVisible(list->count() - 1);
    const QString shown = m_dlg->CurrentPreviewFile();
    if (!shown.isEmpty() && m_preview)
        m_preview->SetPicture(shown);
    const bool present = m_frame.FramePresent();
    if (code == 1) {
        ShowMessage(Text("MEMFULL_TIPS_1", "The maximum number of images has been reached.  Delete some images "
                                           "before adding any more."));
        if (!present)
            PostAppMessage(m_dlg.get(), QString::fromLatin1(msg::kUsbDeviceChange), 0);
    }
    if (present)
        m_dlg->EnableCommands(true);
    Q_EMIT addFinished(code);
    ResumePendingAttach();
    CheckIdleForQuit();
}

} // namespace fotolume::app
