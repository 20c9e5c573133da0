#include "cli/album_session.h"

#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "cli/album_recovery.h"
#include "cli/frame_open.h"

namespace fotolume::cli {

using album::CAlbumError;

std::string ColorText(uint16_t c) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", (c >> 11 & 0x1F) << 3, (c >> 5 & 0x3F) << 2, (c & 0x1F) << 3);
    return text;
}

int AlbumFailure(const std::string& what, const CAlbumError& e) {
    if (const auto* busy = dynamic_cast<const album::CFrameBusyError*>(&e)) {
        PrintError(what + ": " + busy->Text());
        return kExitFailed;
    }
    PrintError(what + ": " + e.what() + " (album error " + std::to_string(e.Code()) + ")");
    return kExitFailed;
}

int HoldFrame(album::CAlbumStore& store, const GlobalOptions& options, device::ClaimMode mode,
              device::CFrameClaim& claim) {
    store.SetClaimWait(std::chrono::seconds(options.waitSeconds));
    try {
        claim = store.ClaimFrame(mode);
    } catch (const album::CFrameBusyError& e) {
        PrintError(e.Text());
        return kExitFailed;
    }
    return kExitOk;
}

ProgressBar::ProgressBar(const char* label) : m_label(label), m_shown(::isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar() {
    if (m_drawn) std::fputc('\n', stderr);
}

void ProgressBar::Set(int percent) {
    if (!m_shown || percent == m_last) return;
    m_last = percent;
    m_drawn = true;
    const int filled = percent * 30 / 100;
    std::fprintf(stderr, "\r%s [%-30s] %3d%%", m_label, std::string(static_cast<size_t>(filled), '#').c_str(),
                 percent);
    std::fflush(stderr);
}

int OpenAlbum::Open(const GlobalOptions& options, device::ClaimMode mode) {
    store->Bind(MakeDriveBackend(options), options.vendor, [this](int, int done, int total) {
        if (bar && total > 0) bar->Set(static_cast<int>(int64_t{done} * 100 / total));
    });
    // Without a frame, the shared opening says why in the same words as every other command.
    if (!store->GetUSBDeviceStatus()) {
        if (int r = OpenFrame(options, store->Link()); r != kExitOk) return r;
    }
    if (int r = HoldFrame(*store, options, mode, claim); r != kExitOk) return r;
    try {
        store->GetInformation();
    } catch (const CAlbumError& e) {
        return AlbumFailure("reading the frame's header failed", e);
    }
    EnableRecovery(*store, noRecovery);
    try {
        store->ReadPictureList();
    } catch (const CAlbumError& e) {
        return AlbumFailure("reading the picture list failed", e);
    }
    PrintRecoveryNotice(*store);
    return kExitOk;
}

int OpenAlbum::RequireWritable(const GlobalOptions& options) {
    if (!store->IsLayoutWritable()) {
        PrintError("this frame cannot be written: " + store->LayoutProblemText() + "; nothing written");
        return kExitFailed;
    }
    if (!noRecovery.empty()) {
        PrintError("no recovery record can be kept (" + noRecovery + "); nothing written");
        return kExitFailed;
    }
    if (store->Recovery().Pending()) {
        if (!options.discardRecovery) {
            PrintError("this frame's last write was interrupted: 'fotolume-cli recover' brings its album back "
                       "(--discard-recovery writes over it); nothing written");
            return kExitFailed;
        }
        const int discarded = store->Recovery().Discard();
        PrintError("the interrupted write's album is given up (" + std::to_string(discarded) +
                   " record(s) set aside as *.discarded)");
    }
    return kExitOk;
}

int OpenAlbum::ReadAllPictures() {
    const int count = store->GetPictureCount();
    ProgressBar progress("Reading");
    try {
        for (int i = 0; i < count; ++i) {
            store->LoadPicture(i);
            progress.Set((i + 1) * 100 / count);
        }
    } catch (const CAlbumError& e) {
        return AlbumFailure("reading the pictures failed", e);
    }
    return kExitOk;
}

namespace {

std::atomic<album::CAlbumStore*> g_writing{nullptr};
volatile std::sig_atomic_t g_signal = 0;
constexpr int kHeld[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void HoldSignal(int number) {
    if (g_signal == 0) g_signal = number;
    if (album::CAlbumStore* store = g_writing.load()) store->RequestStop();
}

// One line saying how a stopped write left the frame, and the exit code for the signal.
int StoppedBy(int signal, bool newAlbum) {
    PrintError(std::string("stopped by ") + ::strsignal(signal) + "; the frame holds " +
               (newAlbum ? "the new album" : "the album it had"));
    return 128 + signal;
}

}  // namespace

int WithSignalsHeld(album::CAlbumStore& store, const std::function<void()>& write) {
    struct sigaction hold {}, saved[3] {};
    hold.sa_handler = HoldSignal;
    sigemptyset(&hold.sa_mask);
    g_signal = 0;
    g_writing.store(&store);
    for (int i = 0; i < 3; ++i) ::sigaction(kHeld[i], &hold, &saved[i]);
    struct Restore {
        const struct sigaction* saved;
        ~Restore() {
            g_writing.store(nullptr);
            for (int i = 0; i < 3; ++i) ::sigaction(kHeld[i], &saved[i], nullptr);
        }
    } restore{saved};
    write();
    return g_signal;
}

int OpenAlbum::WriteWithProgress(const char* label, const char* failure, const std::function<bool()>& write) {
    int result = kExitOk;
    bool written = false;
    int signal = 0;
    {
        ProgressBar progress(label);
        bar = &progress;
        try {
            signal = WithSignalsHeld(*store, [&] { written = write(); });
            if (written) progress.Set(100);
        } catch (const CAlbumError& e) {
            result = AlbumFailure(failure, e);
        }
        bar = nullptr;
    }
    PrintRecoveryWarnings(*store);
    if (result == kExitOk && signal != 0) return StoppedBy(signal, written);
    return result;
}

int OpenAlbum::Commit() {
    return WriteWithProgress("Writing", "writing the album to the frame failed",
                             [&] { return store->CommitAlbum(); });
}

int OpenAlbum::Restore(const album::RestoreTarget& target) {
    return WriteWithProgress("Restoring", "writing the backup to the frame failed",
                             [&] { return store->RestoreAlbum(target); });
}

int OpenAlbum::SetColors(uint16_t font, uint16_t background) {
    int signal = 0;
    try {
        signal = WithSignalsHeld(*store, [&] { store->SetColors(font, background); });
    } catch (const CAlbumError& e) {
        PrintRecoveryWarnings(*store);
        return AlbumFailure("writing the colours failed", e);
    }
    PrintRecoveryWarnings(*store);
    return signal != 0 ? StoppedBy(signal, true) : kExitOk;
}

}  // namespace fotolume::cli
