#include "cli/album_recovery.h"

#include "cli/commands.h"
#include "config/folders.h"

namespace fotolume::cli {

bool EnableRecovery(album::CAlbumStore& store, std::string& problem) {
    const std::filesystem::path folder = config::PrivateCacheFolder("fotolume", &problem);
    if (folder.empty()) return false;
    store.Recovery().SetFolder(folder);
    return true;
}

void PrintRecoveryWarnings(album::CAlbumStore& store) {
    for (const std::string& warning : store.Recovery().TakeWarnings()) PrintError(warning);
}

void PrintRecoveryNotice(album::CAlbumStore& store) {
    PrintRecoveryWarnings(store);
    if (store.Recovery().Pending()) {
        PrintError("an interrupted synchronize was found on this frame; 'fotolume-cli recover' restores its album");
    }
}

}  // namespace fotolume::cli
