// A backup file taken apart: its header, its layout, and how it differs from a frame.
#include "album/backup_image.h"

#include <cstdio>
#include <utility>

namespace fotolume::album {

bool ParseBackup(std::vector<uint8_t> bytes, BackupImage& out, std::string& problem) {
    char text[200];
    if (bytes.size() < kHeaderSize) {
        std::snprintf(text, sizeof text, "it holds %zu bytes, fewer than a frame's header", bytes.size());
        problem = text;
        return false;
    }
    DeviceInfo info = ParseHeader(bytes.data());
    if (info.flashTotalSize != bytes.size()) {
        std::snprintf(text, sizeof text, "its header names a flash of %u bytes, but the file holds %zu bytes",
                      info.flashTotalSize, bytes.size());
        problem = text;
        return false;
    }
    uint32_t recordAddress = 0;
    if (LayoutRecordAddress(bytes.data(), recordAddress)) {
        if (uint64_t{recordAddress} + kLayoutRecordSize > bytes.size()) {
            problem = "its header points at a layout record past the end of the file";
            return false;
        }
        info.listAddress = ListAddressFromLayoutRecord(bytes.data() + recordAddress);
    }
    info.capacity = PictureAreaCapacity(info.listAddress, info.flashTotalSize);
    if (const std::string layout = LayoutProblem(info); !layout.empty()) {
        problem = "its header is not a frame's: " + layout;
        return false;
    }
    out.info = info;
    out.flash = std::move(bytes);
    return true;
}

BackupMismatch CompareLayouts(const DeviceInfo& backup, const DeviceInfo& frame) {
    BackupMismatch m;
    m.flashSize = backup.flashTotalSize != frame.flashTotalSize;
    m.listAddress = backup.listAddress != frame.listAddress;
    m.panel = backup.lcdWidth != frame.lcdWidth || backup.lcdHeight != frame.lcdHeight;
    return m;
}

std::string DescribeMismatch(const BackupMismatch& m, const DeviceInfo& backup, const DeviceInfo& frame) {
    std::string out;
    auto add = [&out](const char* text) { out += (out.empty() ? "" : "; ") + std::string(text); };
    char text[160];
    if (m.flashSize) {
        std::snprintf(text, sizeof text, "flash size %u bytes, not %u", backup.flashTotalSize, frame.flashTotalSize);
        add(text);
    }
    if (m.listAddress) {
        std::snprintf(text, sizeof text, "list address 0x%06X, not 0x%06X", backup.listAddress, frame.listAddress);
        add(text);
    }
    if (m.panel) {
        std::snprintf(text, sizeof text, "panel %ux%u, not %ux%u", backup.lcdWidth, backup.lcdHeight, frame.lcdWidth,
                      frame.lcdHeight);
        add(text);
    }
    if (m.ownRegion) {
        std::snprintf(text, sizeof text, "the frame's own region (bytes 0 to 0x%06X) differs", frame.listAddress - 1);
        add(text);
    }
    return out;
}

}  // namespace fotolume::album
