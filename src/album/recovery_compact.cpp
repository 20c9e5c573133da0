#include "album/recovery_compact.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "album/album_error.h"
#include "album/compact_store.h"
#include "device/checksum.h"
#include "device/process_flash.h"

namespace fotolume::album::compact {

namespace fs = std::filesystem;

FrameAccess RecoveryAccess(device::CProcessFlash& flash, const DeviceInfo& info) {
    FrameAccess access;
    access.info = info;
    access.sum = [&flash](uint32_t address, uint32_t length) {
        uint32_t sum = 0;
        for (uint32_t done = 0; done < length;) {
            const uint32_t piece = std::min(length - done, kBlockSize - (address + done) % kBlockSize);
            uint8_t high = 0, low = 0;
            if (!flash.GetVerifyValue(high, low, address + done, piece)) throw CAlbumError(ErrChecksumQuery);
            sum += uint32_t{high} << 8 | low;
            done += piece;
        }
        return static_cast<uint16_t>(sum);
    };
    access.read = [&flash](uint32_t address, uint32_t length, uint8_t* out) {
        return ReadFlashData(flash, out, length, address);
    };
    return access;
}

fs::path WriteRecoveryRecord(device::CProcessFlash& flash, const DeviceInfo& info, const fs::path& folder,
                             const uint8_t oldList[kListSize], const uint8_t newList[kListSize],
                             const std::vector<const uint8_t*>& newBytes, std::string& warning) {
    if (folder.empty()) return {};
    FrameAccess access = RecoveryAccess(flash, info);
    RecoveryRecord record;
    try {
        record.identity = ReadFrameIdentity(access);
        if (IsListValid(oldList)) {
            record.hasOldList = true;
            record.oldList.assign(oldList, oldList + kListSize);
            for (const PicEntry& e : UsablePictures(oldList, info.listAddress, info.flashTotalSize)) {
                record.oldPictures.push_back({e.address, e.length, access.sum(e.address, e.length), false, 0});
            }
        }
        const std::vector<PicEntry> pictures = UsablePictures(newList, info.listAddress, info.flashTotalSize);
        for (size_t i = 0; i < pictures.size(); ++i) {
            const PicEntry& e = pictures[i];
            const uint8_t* bytes = i < newBytes.size() ? newBytes[i] : nullptr;
            if (bytes != nullptr) {
                record.newPictures.push_back(
                    {e.address, e.length, device::ByteSum16(bytes, e.length), true, Crc32(bytes, e.length)});
            } else {
                record.newPictures.push_back({e.address, e.length, access.sum(e.address, e.length), false, 0});
            }
        }
    } catch (const CAlbumError& e) {
        warning = std::string("no recovery record could be kept: ") + e.what();
        return {};
    }
    record.newList.assign(newList, newList + kListSize);
    record.writtenAt = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
    char unique[48];
    std::snprintf(unique, sizeof unique, "%016llx-%d", static_cast<unsigned long long>(record.writtenAt),
                  static_cast<int>(::getpid()));
    const fs::path file = folder / (RecordNamePrefix(record.identity) + unique + kRecordSuffix);
    std::string error;
    if (!WriteRecordFile(file, record, error)) {
        warning = "no recovery record could be kept: " + error;
        return {};
    }
    return file;
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
    if (result.kind == RecoveryKind::None || result.list.size() != kListSize || !IsListValid(result.list.data()) ||
        uint64_t{info.listAddress} + kBlockSize > info.flashTotalSize) {
        return false;
    }
    FrameAccess access = RecoveryAccess(flash, info);
    std::vector<uint8_t> block(kBlockSize, 0);
    try {
        if (ReadFrameIdentity(access) != result.identity) return false;
        for (const RecordedPicture& p : result.pictures) {
            if (!PictureIntact(access, p, false)) return false;
        }
    } catch (const CAlbumError&) {
        return false;
    }
    // The block at L keeps pictures behind the list: it is written whole, with only the list changed.
    if (!ReadFlashData(flash, block.data(), kBlockSize, info.listAddress)) return false;
    std::memcpy(block.data(), result.list.data(), kListSize);
    if (!WriteDataToFlash(flash, info, block.data(), kBlockSize, info.listAddress)) return false;
    RemoveRecoveryRecord(result.record);
    return true;
}

}  // namespace fotolume::album::compact
