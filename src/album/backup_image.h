// A backup of a frame: its whole flash, bytes 0 .. T-1, as the backup command saves it; what makes a file
// one, and what tells the frame it was taken from apart from another.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "album/flash_layout.h"

namespace fotolume::album {

struct BackupImage {
    DeviceInfo info;             // from its own header (and the layout record it points to)
    std::vector<uint8_t> flash;  // info.flashTotalSize bytes
};

// Takes bytes as a backup. False, with problem set to one line ("its header names a flash of 2097152
// bytes, but the file holds 1000 bytes"), when they are not the whole flash of a frame whose album could
// be written: too short for a header, a size other than the header's flash size, a layout record past the
// end, or a layout no frame has.
bool ParseBackup(std::vector<uint8_t> bytes, BackupImage& out, std::string& problem);

// What differs between the frame a backup was taken from and the frame it is to be written to.
struct BackupMismatch {
    bool flashSize = false;
    bool listAddress = false;
    bool panel = false;
    bool ownRegion = false;  // the bytes below the list: header, firmware data
    bool Any() const { return flashSize || listAddress || panel || ownRegion; }
};

// The header values that differ; the own region needs the frame and is left false.
BackupMismatch CompareLayouts(const DeviceInfo& backup, const DeviceInfo& frame);

// Every difference in one line: "flash size 4194304 bytes, not 2097152; panel 160x128, not 128x128; ...".
std::string DescribeMismatch(const BackupMismatch& mismatch, const DeviceInfo& backup, const DeviceInfo& frame);

}  // namespace fotolume::album
