// MacFotolume's controller: free functions over the process-wide state of compact_globals.h. The
// handlers run on the window thread; SetFlashOnline, TranspotPic and ProcessMorePic run as the worker.
#pragma once

#include <QImage>

#include <string>

#include "album/recovery.h"
#include "compact/compact_view.h"
#include "compose/compact_transform.h"
#include "device/frame_claim.h"

namespace fotolume::compact {

// Status operations.
void SetNotes(const std::string& text);
void SetDownLoadPrcess(int percent);
void UpdateInfo();
void SetControlPanlEnable(bool on);
void InvalidateMyWindow();
// "This DPF cannot be written: " and why, in the window's language.
std::string LayoutProblemText(const std::string& problem);
// Rebuilds the album list from the album, keeping the current picture highlighted.
void RebuildAlbumList(AlbumListAfter after);

// The frame arrived: starts SetFlashOnline as the worker.
void StartFlashOnline();
// Worker: reads header, clock, list and every picture.
void SetFlashOnline();
// The frame is gone (window thread).
void SetFlashOffline();
// Reads every listed picture into the data folders; false on a failed read.
bool ReadPicFromFlash();
// Worker: the album of the list in memory, from a fresh start of the data folders; false, with the
// reason shown, when a picture could not be read.
bool ReadListedAlbum();

// Worker, after the list was read: the album an interrupted download left on the frame (kind None
// when there is none, or the list is valid). Problems with the records go to standard error.
album::RecoveryResult FindAlbumToRestore();
// Worker: hands the question about found to the window; false (nothing handed) without a window.
bool AskToRestore(album::RecoveryResult found);
// Window thread: asks whether to restore found on the frame of this session; Yes starts RestoreAlbum.
void OfferRecovery(const album::RecoveryResult& found, int session);
// Worker: writes the found album's list and reads the album again.
void RestoreAlbum(const album::RecoveryResult& found);
// Window thread, before a download: true when nothing stands in its way, or the user agreed to give up
// the album of an interrupted download that was not restored (asked Yes/No).
bool ConfirmGivingUpRestore();
// Worker: renames this frame's records to "*.discarded", so that their album is no longer offered;
// false (records kept) when the frame's identity could not be read or a record could not be renamed.
bool SetRecordsAside();
// "Yes" and "No" in the window's language.
QString YesText();
QString NoText();
// Claims the frame for a worker (shared to read, exclusive to write); when another program keeps it, says
// so in the information field and on standard error, and gives a claim that is not held.
device::CFrameClaim ClaimFrameFor(device::ClaimMode mode);
// Deletes every node's stream, frees the list and empties the album list view.
void ReleaseAllFiles();

// Add: the picture view's picture, or the selected files as a batch.
void MyAddButtonHandler();
void ProcessMorePic(compose::CCompactTransform transform, std::vector<std::string> paths,
                    std::vector<int> browserIndexes);
// Adds one composed panel-size bitmap to the album; false when it was not added.
bool AddComposedPicture(const QImage& composed, bool batch);

void MyDelButtonHandler();

// Download: disables the controls and starts TranspotPic as the worker.
void MyDownLoadButtonHandler();
// Worker: writes the album to the frame; true when the frame holds it.
bool TranspotPic();

// Save ALL.
void MyUpLoadButtonHandler();
// Copies every album picture's BMP into folder as "/%d.bmp"; false at the first copy that failed,
// whose target then goes to failed.
bool SavePicture(const std::string& folder, std::string* failed = nullptr);

// True when the user confirmed leaving; the resources are then released.
bool QuitApplication();

}  // namespace fotolume::compact
