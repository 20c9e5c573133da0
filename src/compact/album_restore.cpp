// Restoring an album whose list an interrupted download erased: found by the reading worker, asked on
// the window thread, written and read again by a worker of its own.
#include <QString>

#include <string>
#include <utility>
#include <vector>

#include "album/compact_store.h"
#include "album/recovery_compact.h"
#include "compact_globals.h"
#include "compact_view.h"
#include "controller.h"
#include "device/process_flash.h"
#include "mac_prompt.h"

namespace fotolume::compact {

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
    const bool yes = gmyPrompt && gmyPrompt->AskOkCancel(title, QString::fromStdString(explanation),
                                                         QStringLiteral("Yes"), QStringLiteral("No"));
    // The frame may have left, or another come, while the question was open.
    if (!sameFrame()) return;
    if (!yes) {
        // The empty album as read; the record stays, so the question comes again next time.
        gmyIsTransferData = 0;
        InvalidateMyWindow();
        return;
    }
    StartWorker([found] { RestoreAlbum(found); });
}

void RestoreAlbum(const album::RecoveryResult& found) {
    gmyIsTransferData = 1;
    if (!m_PtrPF || !album::compact::ApplyRecovery(*m_PtrPF, G_DeviceInfo, found)) {
        SetNotes(LookupText("RESTORE_FAILED_TIPS", "The album could not be restored!"));
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

}  // namespace fotolume::compact
