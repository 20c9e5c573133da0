// Reading the frame: the read worker, the restore question and how the read's end is shown.
#include <QMetaObject>
#include <cstdio>

#include "album/album_store.h"
#include "app/controller.h"
#include "app/read_worker.h"
#include "app/text_progress_ctrl.h"
#include "app/thumb_list_ctrl.h"
#include "app/window_report.h"

namespace fotolume::app {

void CMainController::OnDpfAttach() {
    m_flags.isConnected = true;
    m_dlg->EnableCommands(false);
    // A worker from before a removal may still be winding down; the read
    // starts when it has ended, never beside it.
    if (WorkerRunning()) {
        m_flags.isReading = true;
        m_attachPending = true;
        return;
    }
    m_albumComplete = false;
    m_panelWidth = 0;
    m_panelHeight = 0;
    m_readCancel = std::make_shared<std::atomic<bool>>(false);
    StartRead(false, false, nullptr);
}

void CMainController::StartRead(bool resumed, bool restore, const ReadOutcome* asked) {
    album::CAlbumStore* store = m_frame.LendTo(CFrameOwner::User::ReadWorker);
    if (!store) {
        m_flags.isReading = false;
        return;
    }
    m_flags.isReading = true;
    ReadJob job;
    job.store = store;
    job.settings = m_settings.get();
    job.cacheFolder = m_cacheFolder;
    job.streamFile = m_streamFile;
    job.cancel = m_readCancel.get();
    job.resumed = resumed;
    job.restore = restore;
    if (asked) job.found = asked->found;
    job.texts.warn = Text("WARN_TIPS", "Don't pullout USB cable \nwhile reading or writing!");
    job.texts.reading = Text("READ_TIPS", "Reading Pictures");
    job.texts.finished = Text("READFINISH_TIPS", "Reading Finished!");
    job.texts.noPictures = Text("NOPICS_TIPS", "No photos in device!");

    const int generation = m_generation;
    auto report = std::make_shared<CWindowReport>(this, generation);
    std::shared_ptr<std::atomic<bool>> cancel = m_readCancel;
    m_worker = std::thread([this, job, report, cancel, generation] {
        const ReadOutcome outcome = RunReadAlbum(job, *report);
        m_frame.GiveBack();
        QMetaObject::invokeMethod(
            this, [this, generation, outcome] { OnReadFinished(generation, outcome); }, Qt::QueuedConnection);
    });
}

void CMainController::OnReadFinished(int generation, const ReadOutcome& outcome) {
    JoinWorker();
    // A read of a frame that went away since: the removal has reset the view.
    if (generation != m_generation) {
        ResumePendingAttach();
        CheckIdleForQuit();
        return;
    }
    if (outcome.askRestore) {
        AskRestore(generation, outcome);
        return;
    }
    m_flags.isReading = false;
    m_flags.isModified = false;
    m_albumComplete = outcome.Complete();
    ShowUnreadPlaces(outcome);
    UpdateTotals();
    m_dlg->Progress()->SetPos(0);
    if (m_flags.isConnected) ApplyCommandState();
    ++m_readsFinished;
    Q_EMIT readFinished(outcome.code);
    ResumePendingAttach();
    CheckIdleForQuit();
    // Last, once the window is settled: the box's own event loop may run anything.
    ShowReadEnd(generation, outcome);
}

void CMainController::AskRestore(int generation, const ReadOutcome& outcome) {
    // Asked before anything else of the frame is read or written; the store waits meanwhile.
    QString question = Text("RECOVER_TIPS_1",
                            "The last synchronize with this DPF was interrupted. Restore the "
                            "album from the pictures still on the DPF?");
    if (outcome.found.kind == album::RecoveryKind::IntactPictures)
        question += QLatin1Char('\n') + Text("RECOVER_TIPS_2",
                                             "Some pictures were damaged by the interruption; "
                                             "only the undamaged pictures can be restored.");
    // No leaves the record, so the question comes again at the next read.
    const bool yes = m_dlg->Prompt().AskYesNo(question);
    if (generation != m_generation || !m_flags.isConnected || m_windowClosed || WorkerRunning()) {
        ResumePendingAttach();
        CheckIdleForQuit();
        return;
    }
    StartRead(true, yes, &outcome);
}

void CMainController::ShowUnreadPlaces(const ReadOutcome& outcome) {
    // Pictures the read did not reach keep their places, so that list item i stays album picture i.
    for (int i = static_cast<int>(m_cachePaths.size()); i < outcome.pictureCount; ++i)
        AppendAlbumPicture({}, {}, QString::asprintf("%04d.bmp", i + 1));
}

void CMainController::ShowReadEnd(int generation, const ReadOutcome& outcome) {
    QStringList lines;
    if (outcome.restore == ReadOutcome::Restore::Restored)
        lines.append(Text("RECOVER_TIPS_3", "Album restored!"));
    else if (outcome.restore == ReadOutcome::Restore::Failed)
        lines.append(Text("RECOVER_TIPS_4", "The album could not be restored!"));
    if (outcome.clockFailed) lines.append(Text("SYNCHRONIZETIME_TIPS", "Synchronize time failed!"));
    uint32_t panelWidth = 0, panelHeight = 0;
    const album::CAlbumStore* store = m_frame.Store();
    if (store) store->GetLcdSize(panelWidth, panelHeight);
    if (outcome.panelZero && (panelWidth == 0 || panelHeight == 0)) {
        lines.append(Text("LCDSIZEZERO_TIPS", "LCD width is 0, it must have something wrong with your DPF!"));
    } else if (outcome.listRead && store && !store->IsLayoutWritable()) {
        // Said once when the frame is read, with the reason on the standard error.
        std::fprintf(stderr, "Fotolume: %s\n", store->LayoutProblemText().c_str());
        lines.append(Text("LAYOUT_TIPS",
                          "The memory layout of this DPF is not one that can be written safely; "
                          "its album can only be read."));
    }
    if (!outcome.unreadable.isEmpty()) {
        QStringList names;
        for (int position : outcome.unreadable) names.append(QString::asprintf("%04d.bmp", position + 1));
        lines.append(Text("PICDESTROY_TIPS", "The picture is destroyed!") + QLatin1Char('\n') +
                     names.join(QStringLiteral(", ")));
    }
    const bool stopped = outcome.code != 0 && outcome.code != kReadPictureUnreadable;
    if (!m_flags.isConnected) return;
    if (!stopped) {
        if (!lines.isEmpty()) ShowMessage(lines.join(QLatin1Char('\n')));
        return;
    }
    // The frame is still there: a failed command is worth another try.
    if (outcome.code == album::ErrFrameBusy)
        lines.append(Text("DPFBUSY_TIPS", "Another program is using the DPF; try again when it has finished."));
    if (!outcome.listRead || outcome.picturesRead >= outcome.pictureCount)
        lines.append(Text("READFAIL_TIPS", "Reading the album from the DPF failed! Read it again?"));
    else
        lines.append(Text("READPICFAIL_TIPS", "Reading picture %1 of %2 from the DPF failed! Read the album again?")
                         .arg(outcome.picturesRead + 1)
                         .arg(outcome.pictureCount));
    const bool again = m_dlg->Prompt().AskYesNo(lines.join(QLatin1Char('\n')));
    if (again && generation == m_generation && m_flags.isConnected && !WorkerRunning() && !m_flags.isReading)
        OnArrival();
}

void CMainController::ResumePendingAttach() {
    if (!m_attachPending) return;
    m_attachPending = false;
    if (m_flags.isConnected) QMetaObject::invokeMethod(this, &CMainController::OnDpfAttach, Qt::QueuedConnection);
}

}  // namespace fotolume::app
