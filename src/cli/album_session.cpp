#include "album_session.h"

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "album_recovery.h"
#include "frame_open.h"

namespace fotolume::cli {

using album::CAlbumError;

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

int OpenAlbum::Commit() {
    if (!noRecovery.empty()) PrintError("no recovery record can be kept: " + noRecovery);
    int result = kExitOk;
    {
        ProgressBar progress("Writing");
        bar = &progress;
        try {
            store->CommitAlbum();
            progress.Set(100);
        } catch (const CAlbumError& e) {
            result = AlbumFailure("writing the album to the frame failed", e);
        }
        bar = nullptr;
    }
    PrintRecoveryWarnings(*store);
    return result;
}

}  // namespace fotolume::cli
