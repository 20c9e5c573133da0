// restore: writes the album a backup holds (its picture list and picture area; nothing below the list)
// back to the frame it was taken from, verified block by block and journaled as every write is.
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "album/album_store.h"
#include "cli/album_session.h"
#include "cli/commands.h"
#include "codec/input_file.h"

namespace fotolume::cli {

namespace {

using album::CAlbumError;

// A header names at most a 24-bit flash size.
constexpr std::uintmax_t kMaxBackupFile = 16u << 20;

struct RestoreArgs {
    std::string file;
    bool dryRun = false;
    bool force = false;
};

bool ParseRestoreArgs(const std::vector<std::string>& args, RestoreArgs& out) {
    for (const std::string& a : args) {
        if (a == "--dry-run") {
            out.dryRun = true;
        } else if (a == "--force") {
            out.force = true;
        } else if (out.file.empty() && !a.empty() && a.rfind("--", 0) != 0) {
            out.file = a;
        } else {
            return false;
        }
    }
    return !out.file.empty();
}

// The album a restore leaves on the frame: its colours, then one line per picture as `list` prints it.
void DescribeAlbum(const album::RestoreTarget& target, const std::vector<album::PicEntry>& pictures) {
    const uint8_t* list = target.area.data();
    std::printf("Album to write: %zu picture(s), font colour %s, background %s\n", pictures.size(),
                ColorText(album::ListFont(list)).c_str(), ColorText(album::ListBackground(list)).c_str());
    for (size_t i = 0; i < pictures.size(); ++i) {
        std::printf("%4zu  0x%06X  %u\n", i + 1, pictures[i].address, pictures[i].length);
    }
}

}  // namespace

int RunRestore(const GlobalOptions& options, const std::vector<std::string>& args) {
    RestoreArgs a;
    if (!ParseRestoreArgs(args, a)) {
        PrintError("usage: restore FILE [--dry-run] [--force]");
        return kExitUsage;
    }
    // The file is judged before the frame is opened: a wrong file never waits for a frame.
    std::vector<uint8_t> bytes;
    std::string problem;
    if (!codec::ReadInputFile(a.file, kMaxBackupFile, bytes, &problem)) {
        PrintError("cannot read " + a.file + ": " + problem + "; nothing written");
        return kExitRefused;
    }
    album::BackupImage backup;
    if (!album::ParseBackup(std::move(bytes), backup, problem)) {
        PrintError(a.file + " is not a backup of a frame: " + problem + "; nothing written");
        return kExitRefused;
    }

    OpenAlbum opened;
    const auto mode = a.dryRun ? device::ClaimMode::Shared : device::ClaimMode::Exclusive;
    if (int r = opened.Open(options, mode); r != kExitOk) return r;
    album::CAlbumStore& store = *opened.store;
    if (a.dryRun) {
        if (!store.IsLayoutWritable()) {
            PrintError("this frame cannot be written: " + store.LayoutProblemText() + "; nothing written");
            return kExitFailed;
        }
    } else if (int r = opened.RequireWritable(options); r != kExitOk) {
        return r;
    }
    const album::DeviceInfo& frame = store.Info();
    album::BackupMismatch mismatch;
    try {
        mismatch = store.CompareWithBackup(backup);
    } catch (const CAlbumError& e) {
        return AlbumFailure("comparing the backup with the frame failed", e);
    }
    if (mismatch.Any()) {
        const std::string what =
            a.file + " is a backup of another frame: " + album::DescribeMismatch(mismatch, backup.info, frame);
        if (!a.force) {
            PrintError(what + "; nothing written (--force writes it anyway)");
            return kExitRefused;
        }
        PrintError(what + "; going on (--force)");
    }

    const album::RestoreTarget target = album::MakeRestoreTarget(backup, frame);
    const std::vector<album::PicEntry> pictures =
        album::UsablePictures(target.area.data(), frame.listAddress, frame.flashTotalSize);
    if (target.emptyAlbum) {
        std::printf("%s holds no valid picture list: the frame gets an empty album.\n", a.file.c_str());
    }
    if (target.droppedPictures > 0) {
        PrintError(std::to_string(target.droppedPictures) +
                   " picture(s) of the backup lie outside this frame's picture area and are left out");
    }
    if (a.dryRun) {
        DescribeAlbum(target, pictures);
        std::printf("Dry run: nothing was written.\n");
        return kExitOk;
    }
    if (int r = opened.Restore(target); r != kExitOk) return r;
    std::printf("Restored %s: the frame holds %zu picture(s) (%llu block(s) written).\n", a.file.c_str(),
                pictures.size(), static_cast<unsigned long long>(store.LastWriteBlocks()));
    return kExitOk;
}

}  // namespace fotolume::cli
