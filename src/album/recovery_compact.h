// Recovery records for the compact application, whose download runs over its own flash access and the
// picture list it holds. The same records and the same checks as the album store's.
//
// The download: read the block at L, WriteRecoveryRecord (old list = that block's first 4096 bytes, new
// list = the list it is about to write, trailer included), empty the list and write as before, then
// RemoveRecoveryRecord once the list is written. The read: when the list read from the frame is not
// valid, FindRecovery; on the user's Yes, ApplyRecovery and read the list again.
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

// Writes the record of a download into folder. newBytes[i] holds the bytes the download writes for the
// new list's picture i (in list order), or nullptr when that picture is on the frame already. Returns
// the record's path; empty, with warning set, when none could be kept (the download may go on).
std::filesystem::path WriteRecoveryRecord(device::CProcessFlash& flash, const DeviceInfo& info,
                                          const std::filesystem::path& folder, const uint8_t oldList[kListSize],
                                          const uint8_t newList[kListSize],
                                          const std::vector<const uint8_t*>& newBytes, std::string& warning);

// After the list was written: the record is no longer needed.
void RemoveRecoveryRecord(const std::filesystem::path& record);

// Reads the list at L: without a valid list, the best album the folder's records of this frame still
// find on the flash (kind None when there is none); with one, stale records of it are removed.
RecoveryResult FindRecovery(device::CProcessFlash& flash, const DeviceInfo& info, const std::filesystem::path& folder,
                            std::vector<std::string>& warnings);

// Writes the found list into the block at L (read, merged, written whole and verified) and removes the
// record. False, with nothing written, when the result does not fit this frame, its pictures changed,
// or a transfer failed.
bool ApplyRecovery(device::CProcessFlash& flash, const DeviceInfo& info, const RecoveryResult& result);

}  // namespace fotolume::album::compact
