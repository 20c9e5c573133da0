// Writing the album to the frame and adding dropped files: starting those workers and handling their ends.
#include <QMetaObject>
#include <cstdio>

#include "album/album_error.h"
#include "album/album_store.h"
#include "app/add_worker.h"
#include "app/app_folders.h"
#include "app/controller.h"
#include "app/sync_worker.h"
#include "app/text_progress_ctrl.h"
#include "app/thumb_list_ctrl.h"
#include "app/window_report.h"
#include "compose/preview.h"

namespace fotolume::app {

bool CMainController::MayWrite(album::CAlbumStore& store) {
    if (!store.IsLayoutWritable()) {
        std::fprintf(stderr, "Fotolume: %s\n", store.LayoutProblemText().c_str());
        ShowMessage(Text("LAYOUT_TIPS",
                         "The memory layout of this DPF is not one that can be written safely; "
                         "its album can only be read."));
        return false;
    }
    if (!store.Recovery().Pending()) return true;
    // The user kept the interrupted write's album for later; writing now would lose it for good.
    const int generation = m_generation;
    if (!m_dlg->Prompt().AskYesNo(Text("DISCARD_TIPS",
                                       "The album of the interrupted synchronize can still be "
                                       "restored from this DPF. Give it up and write over it?")))
        return false;
    if (generation != m_generation || !m_flags.isConnected || WorkerRunning() || m_frame.Store() != &store)
        return false;
    store.Recovery().Discard();
    return true;
}

void CMainController::OnSynchronize() {
    if (m_flags.isAddingBatch || !m_flags.isModified || !m_albumComplete || WorkerRunning()) return;
    album::CAlbumStore* window = m_frame.Store();
    if (!window || !MayWrite(*window)) return;
    album::CAlbumStore* store = m_frame.LendTo(CFrameOwner::User::SyncWorker);
    if (!store) return;
    m_dlg->EnableCommands(false);
    if (m_progressMode == QLatin1String("OFF")) m_dlg->Progress()->show();
    m_flags.isSending = true;
    const QString warn = Text("WARN_TIPS", "Don't pullout USB cable \nwhile reading or writing!");
    const int generation = m_generation;
    auto report = std::make_shared<CWindowReport>(this, generation);
    m_sendGeneration = generation;
    m_worker = std::thread([this, store, warn, report, generation] {
        const int code = RunSynchronize(*store, warn, *report);
        m_frame.GiveBack();
        QMetaObject::invokeMethod(
            this, [this, generation, code] { OnSyncFinished(generation, code); }, Qt::QueuedConnection);
    });
}

void CMainController::OnSendProgress(int pictureNumber, int done, int total) {
    // Called on the synchronize worker: formatted and shown on the window thread.
    const int generation = m_sendGeneration.load();
    QMetaObject::invokeMethod(
        this,
        [this, generation, pictureNumber, done, total] {
            if (generation != m_generation) return;
            m_dlg->Progress()->SetPos(SendingPercent(done, total));
            m_dlg->ShowStatus(
                SendingStatus(Text("DOWNLOADING_TIPS", "Sending"), pictureNumber, m_dlg->AlbumList()->count()));
        },
        Qt::QueuedConnection);
}

void CMainController::OnSyncFinished(int generation, int code) {
    JoinWorker();
    m_flags.isReading = false;
    m_flags.isSending = false;
    // After a failure the frame does not hold the album, so it stays marked as not synchronized: a second
    // Synchronize writes it again and leaving still warns.
    if (code == 0) m_flags.isModified = false;
    const bool current = generation == m_generation;
    if (current) {
        UpdateTotals();
        m_dlg->Progress()->SetPos(0);
        if (m_flags.isConnected) ApplyCommandState();
        if (m_frame.FramePresent()) m_dlg->ShowStatus(Text("DOWNFINISH_TIPS", " Synchronize Finished!"));
    }
    if (m_flags.isQuitPending) CleanUpForExit();
    Q_EMIT synchronizeFinished(code);
    ResumePendingAttach();
    CheckIdleForQuit();
    if (code == 0 || code == kSyncStopped || m_windowClosed) return;
    if (code == album::ErrLayout)
        ShowMessage(Text("LAYOUT_TIPS",
                         "The memory layout of this DPF is not one that can be written safely; "
                         "its album can only be read."));
    else if (code == album::ErrFrameBusy)
        ShowMessage(Text("DPFBUSY_TIPS", "Another program is using the DPF; try again when it has finished."));
    else if (code == album::ErrFrameChanged)
        ShowMessage(Text("FRAMECHANGED_TIPS",
                         "Another program changed the album on the DPF since it was read. Read it again first."));
    else if (code == album::ErrNoRecord)
        ShowMessage(Text("NORECORD_TIPS",
                         "No recovery record could be kept in your cache folder, so nothing was written to the DPF."));
    else
        ShowMessage(Text("DOWNLOADFAIL_TIPS",
                         "Download pics failed!If you donot pull out the USB cable, please "
                         "change an USB port or USB cable and try again!"));
}

void CMainController::OnReceivePic() {
    album::CAlbumStore* store = m_frame.LendTo(CFrameOwner::User::AddWorker);
    if (!store) {
        m_flags.isAddingBatch = false;
        if (m_flags.isConnected) ApplyCommandState();
        return;
    }
    m_flags.isAddingBatch = true;
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
    job.cancel = &m_quitting;
    const int generation = m_generation;
    auto report = std::make_shared<CWindowReport>(this, generation);
    m_addThread = std::thread([this, job, report, generation] {
        const AddOutcome outcome = RunAddFiles(job, *report);
        m_frame.GiveBack();
        QMetaObject::invokeMethod(
            this, [this, generation, outcome] { OnAddFinished(generation, outcome); }, Qt::QueuedConnection);
    });
}

void CMainController::OnAddFinished(int generation, const AddOutcome& outcome) {
    if (m_addThread.joinable()) m_addThread.join();
    m_flags.isAddingBatch = false;
    const bool current = generation == m_generation;
    if (current) {
        UpdateTotals();
        if (outcome.added > 0) m_flags.isModified = true;
        CThumbListCtrl* list = m_dlg->AlbumList();
        list->setFocus();
        list->EnsureItemVisible(list->count() - 1);
        const QString shown = m_dlg->CurrentPreviewFile();
        if (!shown.isEmpty() && m_preview) m_preview->SetPicture(shown);
    }
    const bool present = m_frame.FramePresent();
    if (present && m_flags.isConnected) ApplyCommandState();
    Q_EMIT addFinished(outcome.full ? 1 : 0);
    ResumePendingAttach();
    CheckIdleForQuit();

    QStringList lines;
    if (!outcome.unreadable.isEmpty())
        lines.append(Text("PICDESTROY_TIPS", "The picture is destroyed!") + QLatin1Char('\n') +
                     outcome.unreadable.join(QLatin1Char('\n')));
    if (outcome.full)
        lines.append(Text("MEMFULL_TIPS_1",
                          "The maximum number of images has been reached.  Delete some images "
                          "before adding any more."));
    if (!lines.isEmpty() && current && !m_windowClosed) ShowMessage(lines.join(QLatin1Char('\n')));
    // A full album may only mean that the frame went: let the removal run.
    if (outcome.full && !present && m_flags.isConnected) OnRemoval();
}

}  // namespace fotolume::app
