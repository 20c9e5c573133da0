// What a write's recovery record says: the frame, the album it held and the journal that can put it
// back, and the album being written as the plan's blocks will hold it. Kept on disk before the first
// erase, removed once the frame holds a whole album again.
#include "album/commit_record.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <system_error>

#include "device/checksum.h"

namespace fotolume::album {

namespace fs = std::filesystem;

void DescribeOldAlbum(RecoveryRecord& record, FrameAccess& access, const FrameIdentity& identity,
                      const uint8_t* frameList) {
    record.identity = identity;
    record.writtenAt = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
    record.hasJournal = true;
    record.oldList.assign(frameList, frameList + kListSize);
    record.hasOldList = IsListValid(frameList);
    if (!record.hasOldList) return;
    for (const PicEntry& e : UsablePictures(frameList, access.info.listAddress, access.info.flashTotalSize)) {
        record.oldPictures.push_back({e.address, e.length, access.sum(e.address, e.length), false, 0});
    }
}

void DescribeNewAlbum(RecoveryRecord& record, FrameAccess& access, const uint8_t* newList,
                      const std::map<uint32_t, std::vector<uint8_t>>& finalBytes) {
    record.newList.assign(newList, newList + kListSize);
    record.newPictures.clear();
    for (const PicEntry& e : UsablePictures(newList, access.info.listAddress, access.info.flashTotalSize)) {
        // Where the plan writes a picture's bytes they are known here; elsewhere the frame keeps them.
        RecordedPicture picture{e.address, e.length, 0, true, 0};
        std::vector<uint8_t> bytes;
        uint32_t sum = 0;
        for (uint32_t a = e.address, end = e.address + e.length; a < end;) {
            const uint32_t block = a - a % kBlockSize;
            const uint32_t b = std::min(end, block + kBlockSize);
            auto it = finalBytes.find(block);
            if (it != finalBytes.end() && b - block <= it->second.size()) {
                const uint8_t* from = it->second.data() + (a - block);
                sum += device::ByteSum16(from, b - a);
                if (picture.hasCrc) bytes.insert(bytes.end(), from, from + (b - a));
            } else {
                sum += access.sum(a, b - a);
                picture.hasCrc = false;
            }
            a = b;
        }
        picture.sum = static_cast<uint16_t>(sum);
        if (picture.hasCrc) picture.crc = Crc32(bytes.data(), bytes.size());
        record.newPictures.push_back(picture);
    }
}

void JournalBlocks(std::map<uint32_t, std::vector<uint8_t>>& journal, const uint8_t* oldList, const DeviceInfo& info,
                   const std::vector<uint32_t>& erased, const std::function<std::vector<uint8_t>(uint32_t)>& base) {
    const std::vector<PicEntry> pictures = UsablePictures(oldList, info.listAddress, info.flashTotalSize);
    for (uint32_t block : erased) {
        if (journal.count(block) != 0) continue;
        const bool holdsPicture = std::any_of(pictures.begin(), pictures.end(), [&](const PicEntry& e) {
            return e.address < block + kBlockSize && block < e.address + e.length;
        });
        if (holdsPicture || block == info.listAddress) journal.emplace(block, base(block));
    }
}

fs::path StoreRecord(const fs::path& folder, const fs::path& reuse, const RecoveryRecord& record, std::string& error) {
    fs::path file = reuse;
    const std::string prefix = RecordNamePrefix(record.identity);
    if (file.empty() || file.filename().string().rfind(prefix, 0) != 0) {
        char unique[48];
        std::snprintf(unique, sizeof unique, "%016llx-%d", static_cast<unsigned long long>(record.writtenAt),
                      static_cast<int>(::getpid()));
        file = folder / (prefix + unique + kRecordSuffix);
    }
    if (!WriteRecordFile(file, record, error)) return {};
    return file;
}

}  // namespace fotolume::album
