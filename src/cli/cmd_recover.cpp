// recover: brings back the album of a synchronize that was interrupted after the frame's picture list
// was erased, from the recovery record this computer kept and the pictures the flash still holds.
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "album/album_store.h"
#include "cli/album_recovery.h"
#include "cli/album_session.h"
#include "cli/commands.h"
#include "cli/frame_open.h"

namespace fotolume::cli {

namespace {

using album::CAlbumError;
using album::RecoveryKind;
using album::RecoveryResult;

int Failure(const std::string& what, const CAlbumError& e) {
    PrintError(what + ": " + e.what() + " (album error " + std::to_string(e.Code()) + ")");
    return kExitFailed;
}

std::string LocalTime(uint64_t nanoseconds) {
    const std::time_t seconds = static_cast<std::time_t>(nanoseconds / 1'000'000'000u);
    std::tm local{};
    char text[32] = "an unknown time";
    if (::localtime_r(&seconds, &local) != nullptr) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

void Describe(const RecoveryResult& found) {
    auto whole = [&](bool inNew) {
        int n = 0;
        for (const auto& c : found.checked) n += ((inNew ? c.inNewList : c.inOldList) && c.intact) ? 1 : 0;
        return n;
    };
    std::printf("Interrupted synchronize of %s found.\n", LocalTime(found.writtenAt).c_str());
    std::printf("New album: %d picture(s), %d whole\n", found.newCount, whole(true));
    std::printf("Old album: %d picture(s), %d whole\n", found.oldCount, whole(false));
    std::printf("album  address   length  state\n");
    for (const auto& c : found.checked) {
        const char* in = c.inNewList && c.inOldList ? "both" : c.inNewList ? "new" : "old";
        std::printf("%-5s  0x%06X %8u  %s\n", in, c.picture.address, c.picture.length, c.intact ? "whole" : "damaged");
    }
    if (found.fromJournal) {
        std::printf("Restoring %s from the journal: %zu block(s) kept, %zu picture(s)\n",
                    album::RecoveryKindName(found.kind), found.journal.size(), found.pictures.size());
    } else {
        // Without a journal only a list can be written: the record says why.
        const std::string why = found.note.empty() ? "" : " (the record: " + found.note + ")";
        std::printf("Restoring %s: %zu picture(s)%s\n", album::RecoveryKindName(found.kind), found.pictures.size(),
                    why.c_str());
    }
}

}  // namespace

int RunRecover(const GlobalOptions& options, const std::vector<std::string>& args) {
    bool dryRun = false;
    for (const std::string& a : args) {
        if (a != "--dry-run") {
            PrintError("usage: recover [--dry-run]");
            return kExitUsage;
        }
        dryRun = true;
    }
    auto store = std::make_unique<album::CAlbumStore>();
    store->Bind(MakeDriveBackend(options), options.vendor);
    if (!store->GetUSBDeviceStatus()) {
        if (int r = OpenFrame(options, store->Link()); r != kExitOk) return r;
    }
    device::CFrameClaim claim;
    const auto mode = dryRun ? device::ClaimMode::Shared : device::ClaimMode::Exclusive;
    if (int r = HoldFrame(*store, options, mode, claim); r != kExitOk) return r;
    std::string problem;
    if (!EnableRecovery(*store, problem)) {
        PrintError("cannot open the recovery records: " + problem);
        return kExitFailed;
    }
    RecoveryResult found;
    try {
        store->GetInformation();
        store->ReadPictureList();
        PrintRecoveryWarnings(*store);
        if (store->Recovery().ListValidOnFrame()) {
            std::printf("The frame's picture list is intact: nothing to recover.\n");
            return kExitOk;
        }
        found = store->Recovery().Find();
        PrintRecoveryWarnings(*store);
    } catch (const CAlbumError& e) {
        return Failure("reading the frame failed", e);
    }
    if (found.kind == RecoveryKind::None) {
        // The frame still reads as an empty album: that is a failure to recover, not a success.
        PrintError(found.recordsChecked > 0
                       ? "an interrupted write of this frame was found, but none of its pictures is whole; the "
                         "frame's list stays as it is"
                       : "the frame has no valid picture list and no interrupted write of it was found; nothing "
                         "was written");
        return kExitFailed;
    }
    Describe(found);
    if (dryRun) {
        std::printf("Dry run: nothing was written.\n");
        return kExitOk;
    }
    bool applied = false;
    int signal = 0;
    try {
        // A signal waits until the frame holds a whole album again.
        signal = WithSignalsHeld(*store, [&] { applied = store->ApplyRecovery(found); });
    } catch (const CAlbumError& e) {
        return Failure("writing the restored album failed", e);
    }
    if (!applied) {
        PrintError("the frame changed while it was checked; nothing was written");
        return kExitFailed;
    }
    std::printf("Restored: the frame holds %d picture(s).\n", store->GetPictureCount());
    return signal != 0 ? 128 + signal : kExitOk;
}

}  // namespace fotolume::cli
