// Restoring an album whose list an interrupted download erased: found by the reading worker, asked on
// the window thread, written and read again by a worker of its own; or, when the user would rather
// write a new album, given up on purpose before that download.
#include <QString>

#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "album/album_error.h"
#include "album/compact_store.h"
#include "album/recovery_compact.h"
#include "compact/compact_controller.h"
#include "compact/compact_globals.h"
#include "compact/compact_view.h"
#include "compact/mac_prompt.h"
#include "device/process_flash.h"

namespace fotolume::compact {

QString YesText() { return QString::fromStdString(LookupText("YES_BUTTON", "Yes")); }
QString NoText() { return QString::fromStdString(LookupText("NO_BUTTON", "No")); }

album::RecoveryResult FindAlbumToRestore() {
    if (gmyRecoveryFolder.empty() || !m_PtrPF) return {};
    std::vector<std::string> warnings;
    album::RecoveryResult found =
        album::compact::FindRecovery(*m_PtrPF, G_DeviceInfo, gmyRecoveryFolder, warnings);
    for (const std::string& warning : warnings) ReportProblem(warning);
    return found;
}

bool AskToRestore(album::RecoveryResult found) {
    if (!gmyView) return false;
    // Busy until the answer is carried out: no second reading, no quitting under the question.
    gmyIsTransferData = 1;
    // A removal after this point makes the session differ by the time the question comes up.
    const int session = gmyFrameSession;
    gmyView->Ask([found = std::move(found), session] { OfferRecovery(found, session); });
    return true;
}

void OfferRecovery(const album::RecoveryResult& found, int session) {
    const auto sameFrame = [session] { return session == gmyFrameSession && FrameConnected() && m_PtrPF; };
    if (!sameFrame()) return;  // the frame left: its removal has already reset the window
    std::string explanation = LookupText(
        "RESTORE_ALBUM_TIPS",
        "The last synchronize with this DPF was interrupted. Restore the album from the pictures still on the DPF?");
    if (found.kind == album::RecoveryKind::IntactPictures) {
        explanation += "\n" + LookupText("RESTORE_DAMAGED_TIPS",
                                         "Some pictures were damaged by the interruption; only the undamaged "
                                         "pictures can be restored.");
    }
    const QString title = QString::fromStdString(LookupText("WINDOW_TITLE", "MacFotolume"));
    const bool yes = gmyPrompt && gmyPrompt->AskOkCancel(title, QString::fromStdString(explanation), YesText(),
                                                         NoText());
    // The frame may have left, or another come, while the question was open.
    if (!sameFrame()) return;
    if (!yes) {
        // The empty album as read; the record stays, so the question comes again next time, and a
        // download asks before it writes over that album.
        gmyRecoveryDeclined = true;
        gmyIsTransferData = 0;
        InvalidateMyWindow();
        return;
    }
    StartWorker([found] { RestoreAlbum(found); });
}

void RestoreAlbum(const album::RecoveryResult& found) {
    gmyIsTransferData = 1;
    const device::CFrameClaim claim = ClaimFrameFor(device::ClaimMode::Exclusive);
    if (!claim.Held()) {
        gmyRecoveryDeclined = true;
        gmyIsTransferData = 0;
        InvalidateMyWindow();
        return;
    }
    if (!m_PtrPF || !album::compact::ApplyRecovery(*m_PtrPF, G_DeviceInfo, found)) {
        SetNotes(LookupText("RESTORE_FAILED_TIPS", "The album could not be restored!"));
        // The records still hold the album, as after a No.
        gmyRecoveryDeclined = true;
        gmyIsTransferData = 0;
        InvalidateMyWindow();
        return;
    }
    if (!album::compact::ReadPictureList(*m_PtrPF, G_DeviceInfo, G_PictureList)) {
        SetNotes(LookupText("READ_PICS_LIST_FALSE_TIPS", "Read Picture List false!"));
        gmyIsTransferData = 0;
        return;
    }
    if (!ReadListedAlbum()) {
        gmyIsTransferData = 0;
        return;
    }
    // Said last, so that it stays in view once the album shows.
    SetNotes(LookupText("RESTORE_FINISHED_TIPS", "Album restored!"));
    InvalidateMyWindow();
    gmyIsTransferData = 0;
}

bool ConfirmGivingUpRestore() {
    if (!gmyRecoveryDeclined) return true;
    if (!gmyPrompt) return false;
    const QString title = QString::fromStdString(LookupText("WINDOW_TITLE", "MacFotolume"));
    const QString question = QString::fromStdString(
        LookupText("GIVE_UP_RESTORE_TIPS",
                   "The album of the interrupted synchronize can still be restored. DownLoad anyway and give "
                   "it up for good?"));
    return gmyPrompt->AskOkCancel(title, question, YesText(), NoText());
}

bool SetRecordsAside() {
    if (!m_PtrPF) return false;
    album::FrameAccess access = album::compact::RecoveryAccess(*m_PtrPF, G_DeviceInfo);
    album::FrameIdentity identity;
    try {
        identity = album::ReadFrameIdentity(access);
    } catch (const album::CAlbumError&) {
        return false;
    }
    std::vector<std::string> problems;
    if (!gmyRecoveryFolder.empty()) album::SetRecordsAside(gmyRecoveryFolder, identity, problems);
    for (const std::string& problem : problems) ReportProblem(problem);
    if (problems.empty()) gmyRecoveryDeclined = false;
    return problems.empty();
}

}  // namespace fotolume::compact
