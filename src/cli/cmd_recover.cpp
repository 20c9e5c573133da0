// recover: brings back the album of a synchronize that was interrupted after the frame's picture list
// was erased, from the recovery record this computer kept and the pictures the flash still holds.
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "album/album_store.h"
#include "album_recovery.h"
#include "album_session.h"
#include "commands.h"
#include "frame_open.h"

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
    std::printf("Restoring %s: %zu picture(s)\n", album::RecoveryKindName(found.kind), found.pictures.size());
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
        if (store->ListValidOnFrame()) {
            std::printf("The frame's picture list is intact: nothing to recover.\n");
            return kExitOk;
        }
        found = store->FindRecovery();
        PrintRecoveryWarnings(*store);
    } catch (const CAlbumError& e) {
        return Failure("reading the frame failed", e);
    }
    if (found.kind == RecoveryKind::None) {
        std::printf(found.recordsChecked > 0
                        ? "An interrupted synchronize of this frame was found, but none of its pictures is whole: "
                          "nothing to recover.\n"
                        : "No interrupted synchronize of this frame was found: nothing to recover.\n");
        return kExitOk;
    }
    Describe(found);
    if (dryRun) {
        std::printf("Dry run: nothing was written.\n");
        return kExitOk;
    }
    try {
        if (!store->ApplyRecovery(found)) {
            PrintError("the frame changed while it was checked; nothing was written");
            return kExitFailed;
        }
    } catch (const CAlbumError& e) {
        return Failure("writing the picture list failed", e);
    }
    std::printf("Restored: the frame holds %d picture(s).\n", store->GetPictureCount());
    return kExitOk;
}

}  // namespace fotolume::cli
