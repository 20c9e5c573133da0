// The album as the album commands use it: the store bound to the frame the options name, with header
// and list read, a progress bar on standard error, and the commit.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "album/album_store.h"
#include "cli/commands.h"
#include "device/frame_claim.h"

namespace fotolume::cli {

// RGB565 as the six hex digits of its 24-bit colour (low bits of each channel 0).
std::string ColorText(uint16_t rgb565);

// One line per album failure, with the album's error code named; returns kExitFailed.
int AlbumFailure(const std::string& what, const album::CAlbumError& e);

// Claims the store's open frame for the rest of the command: shared to read the album, exclusive to
// edit it, so that no other program writes between this one's read and its commit. kExitOk, or
// kExitFailed after one line naming the program that kept the frame past the --wait time.
int HoldFrame(album::CAlbumStore& store, const GlobalOptions& options, device::ClaimMode mode,
              device::CFrameClaim& claim);

// A progress bar on standard error, drawn only when that is a terminal.
class ProgressBar {
public:
    explicit ProgressBar(const char* label);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    void Set(int percent);

private:
    const char* m_label;
    bool m_shown;
    bool m_drawn = false;
    int m_last = -1;
};

// The store bound to the frame the options name, with header and list read.
struct OpenAlbum {
    std::unique_ptr<album::CAlbumStore> store = std::make_unique<album::CAlbumStore>();
    ProgressBar* bar = nullptr;
    std::string noRecovery;  // why no recovery record can be kept, when none can
    device::CFrameClaim claim;  // from the header read to the end of the command

    // kExitOk, or the exit code after one error line. An edit opens with the exclusive claim.
    int Open(const GlobalOptions& options, device::ClaimMode mode = device::ClaimMode::Shared);
    // Before an edit is made: the layout must be writable, a recovery record must be possible, and an
    // interrupted write must not be pending (unless the options discard it). kExitOk, or kExitFailed after
    // one line saying why nothing is written.
    int RequireWritable(const GlobalOptions& options);
    // Reads every picture into the image (needed before an add may compact it). kExitOk or kExitFailed.
    int ReadAllPictures();
    // Writes the album to the frame with a progress bar. kExitOk, kExitFailed, or 128 + the number of a
    // signal that stopped it (the frame then holds the album it had, or the new one when only its list was
    // left to write).
    int Commit();
    // Writes the two colours. kExitOk, kExitFailed or 128 + the number of a signal that came meanwhile.
    int SetColors(uint16_t font, uint16_t background);
    // Writes a backup's list and picture area with a progress bar; exits as Commit does.
    int Restore(const album::RestoreTarget& target);

private:
    // One write with a progress bar and signals held; failure starts its error line.
    int WriteWithProgress(const char* label, const char* failure, const std::function<bool()>& write);
};

// Runs a write with SIGINT, SIGTERM and SIGHUP held off: a signal asks store to stop between two blocks
// instead of ending the program inside one. Returns the number of the first signal that came, or 0.
int WithSignalsHeld(album::CAlbumStore& store, const std::function<void()>& write);

}  // namespace fotolume::cli
