// Recovery records for the command line: every album command keeps them in the user's private folder,
// and says so when a frame read without a valid list has an interrupted synchronize to restore.
#pragma once

#include <string>

#include "album/album_store.h"

namespace fotolume::cli {

// Turns the store's records on in $XDG_CACHE_HOME/fotolume. False, with problem set, when that folder
// cannot be made private; the store then works without records.
bool EnableRecovery(album::CAlbumStore& store, std::string& problem);

// One line on standard error for each problem the store met with records.
void PrintRecoveryWarnings(album::CAlbumStore& store);

// After the list was read: the warnings, and one line when an interrupted synchronize can be restored.
void PrintRecoveryNotice(album::CAlbumStore& store);

}  // namespace fotolume::cli
