#include "album/recovery_compact.h"

#include <system_error>

#include "album/album_error.h"
#include "album/block_io.h"
#include "album/compact_store.h"
#include "device/process_flash.h"

namespace fotolume::album::compact {

namespace fs = std::filesystem;

FrameAccess RecoveryAccess(device::CProcessFlash& flash, const DeviceInfo& info) {
    FrameAccess access;
    access.info = info;
    access.sum = [&flash](uint32_t address, uint32_t length) { return FrameRangeSum(flash, address, length); };
    access.read = [&flash](uint32_t address, uint32_t length, uint8_t* out) {
        return ReadFlashData(flash, out, length, address);
    };
    return access;
}

void RemoveRecoveryRecord(const fs::path& record) {
    std::error_code ec;
    if (!record.empty()) fs::remove(record, ec);
}

RecoveryResult FindRecovery(device::CProcessFlash& flash, const DeviceInfo& info, const fs::path& folder,
                            std::vector<std::string>& warnings) {
    if (folder.empty() || ListRecordFiles(folder).empty()) return {};
    uint8_t list[kListSize];
    if (!ReadFlashData(flash, list, kListSize, info.listAddress)) return {};
    FrameAccess access = RecoveryAccess(flash, info);
    try {
        const FrameIdentity id = ReadFrameIdentity(access);
        if (IsListValid(list)) {
            RemoveStaleRecords(folder, id, list, info, warnings);
            return {};
        }
        return FindBestRecovery(access, folder, id, true, warnings);
    } catch (const CAlbumError&) {
        return {};
    }
}

bool ApplyRecovery(device::CProcessFlash& flash, const DeviceInfo& info, const RecoveryResult& result) {
    if (result.kind == RecoveryKind::None || result.list.size() != kListSize ||
        (!result.fromJournal && !IsListValid(result.list.data())) || !LayoutProblem(info).empty()) {
        return false;
    }
    FrameAccess access = RecoveryAccess(flash, info);
    CPlanWriter writer(flash, FlashStyle::Compact, {info.listAddress, info.flashTotalSize});
    try {
        if (ReadFrameIdentity(access) != result.identity) return false;
        if (!ApplyRecoveryResult(writer, access, result)) return false;
    } catch (const CAlbumError&) {
        return false;
    }
    RemoveRecoveryRecord(result.record);
    return true;
}

}  // namespace fotolume::album::compact
