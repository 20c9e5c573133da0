// Recovery records for the compact application, whose download (compact_download.h) runs over its own
// flash access and the picture list it holds. The same records and the same checks as the album store's.
// The read: when the list read from the frame is not valid, FindRecovery; on the user's Yes,
// ApplyRecovery and read the list again.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "album/recovery.h"

namespace fotolume::device {
class CProcessFlash;
}

namespace fotolume::album::compact {

// Checksum queries and verified reads of the compact kind.
FrameAccess RecoveryAccess(device::CProcessFlash& flash, const DeviceInfo& info);

// After the list was written: the record is no longer needed.
void RemoveRecoveryRecord(const std::filesystem::path& record);

// Reads the list at L: without a valid list, the best album the folder's records of this frame still
// find on the flash (kind None when there is none); with one, stale records of it are removed.
RecoveryResult FindRecovery(device::CProcessFlash& flash, const DeviceInfo& info, const std::filesystem::path& folder,
                            std::vector<std::string>& warnings);

// Writes what the result gives back (the journal's blocks, or the list merged into the block at L, each
// written whole and verified) and removes the record. False when the result does not fit this frame, its
// pictures changed (nothing is written then), or the frame kept failing.
bool ApplyRecovery(device::CProcessFlash& flash, const DeviceInfo& info, const RecoveryResult& result);

}  // namespace fotolume::album::compact
