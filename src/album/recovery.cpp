// Recovery records: written before the list block is erased, removed once the list is written, and
// checked against the flash when a frame is read without a valid list.
#include "album/recovery.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "album/album_store.h"
#include "device/checksum.h"
#include "device/process_flash.h"

namespace fotolume::album {

namespace fs = std::filesystem;

namespace {

// Two lists show the same album: same colours, same pictures in the same order.
bool SameAlbum(const uint8_t* a, const uint8_t* b, uint32_t listAddress, uint32_t flashTotalSize) {
    if (!IsListValid(a) || !IsListValid(b) || std::memcmp(a + 4, b + 4, 4) != 0) return false;
    auto x = UsablePictures(a, listAddress, flashTotalSize), y = UsablePictures(b, listAddress, flashTotalSize);
    return std::equal(x.begin(), x.end(), y.begin(), y.end(), [](const PicEntry& p, const PicEntry& q) {
        return p.address == q.address && p.length == q.length;
    });
}

// A fresh list with the colours and reserved bytes of `from` and these pictures.
std::vector<uint8_t> BuildList(const std::vector<uint8_t>& from, const std::vector<RecordedPicture>& pictures) {
    std::vector<uint8_t> list(kListSize, 0);
    InitEmptyList(list.data(), ListBackground(from.data()), ListFont(from.data()));
    std::memcpy(list.data() + 8, from.data() + 8, 8);
    for (size_t i = 0; i < pictures.size(); ++i) {
        WriteEntry(list.data(), static_cast<int>(i), PicEntry{1, pictures[i].address, pictures[i].length});
    }
    return list;
}

bool Overlaps(const RecordedPicture& a, const RecordedPicture& b) {
    return uint64_t{a.address} < uint64_t{b.address} + b.length && uint64_t{b.address} < uint64_t{a.address} + a.length;
}

bool Complete(RecoveryKind kind) { return kind == RecoveryKind::NewAlbum || kind == RecoveryKind::OldAlbum; }

}  // namespace

std::vector<PicEntry> UsablePictures(const uint8_t* list, uint32_t listAddress, uint32_t flashTotalSize) {
    std::vector<PicEntry> out;
    if (!IsListValid(list)) return out;
    for (int slot = 0; slot < kMaxSlots; ++slot) {
        PicEntry entry = ReadEntry(list, slot);
        if (entry.flag == 1 && entry.length > 0 && EntryInPictureArea(entry, listAddress, flashTotalSize)) {
            out.push_back(entry);
        }
    }
    return out;
}

FrameIdentity ReadFrameIdentity(FrameAccess& access) {
    FrameIdentity id;
    id.flashTotalSize = access.info.flashTotalSize;
    id.listAddress = access.info.listAddress;
    id.lcdWidth = static_cast<uint16_t>(access.info.lcdWidth);
    id.lcdHeight = static_cast<uint16_t>(access.info.lcdHeight);
    id.firstBlockSum = access.sum(0, std::min(kBlockSize, access.info.flashTotalSize));
    return id;
}

const char* RecoveryKindName(RecoveryKind kind) {
    switch (kind) {
    case RecoveryKind::NewAlbum: return "the new album";
    case RecoveryKind::OldAlbum: return "the old album";
    case RecoveryKind::IntactPictures: return "the pictures that are whole";
    default: return "nothing";
    }
}

void CAlbumStore::SetRecoveryFolder(const fs::path& folder) { m_recovery.folder = folder; }

std::vector<std::string> CAlbumStore::TakeRecoveryWarnings() {
    std::vector<std::string> out;
    out.swap(m_recovery.warnings);
    return out;
}

void CAlbumStore::Warn(std::string text) { m_recovery.warnings.push_back(std::move(text)); }

// The header values and the frame's own sum of its first block, which no write of ours ever changes.
FrameIdentity CAlbumStore::CurrentIdentity() {
    if (!m_recovery.identityKnown) {
        FrameAccess access = Access();
        m_recovery.identity = ReadFrameIdentity(access);
        m_recovery.identityKnown = true;
    }
    return m_recovery.identity;
}

FrameAccess CAlbumStore::Access() {
    FrameAccess access;
    access.info = m_info;
    access.sum = [this](uint32_t address, uint32_t length) { return FrameRangeSum(address, length); };
    access.read = [this](uint32_t address, uint32_t length, uint8_t* out) {
        try {
            ReadFlashData(address, length, out);
        } catch (const CAlbumError& e) {
            if (e.Code() == ErrChecksumMismatch) return false;
            throw;
        }
        return true;
    };
    return access;
}

// The frame's byte sum of any range, asked 64 KB at a time (byte sums add up modulo 65536).
uint16_t CAlbumStore::FrameRangeSum(uint32_t address, uint32_t length) {
    if (!m_flash) throw CAlbumError(ErrTransfer);
    uint32_t sum = 0;
    for (uint32_t done = 0; done < length;) {
        const uint32_t piece = std::min(length - done, kBlockSize - (address + done) % kBlockSize);
        uint8_t high = 0, low = 0;
        if (!m_flash->GetVerifyValue(high, low, address + done, piece)) throw CAlbumError(ErrChecksumQuery);
        sum += uint32_t{high} << 8 | low;
        done += piece;
    }
    return static_cast<uint16_t>(sum);
}

// What a listed picture of the album in memory will hold once the commit is done: the image's bytes
// where the commit writes them (from committedLength on, and in blocks an earlier failed write left
// unknown), the frame's bytes elsewhere.
RecordedPicture CAlbumStore::IntendedPicture(const PicEntry& entry) {
    const uint32_t areaStart = m_info.listAddress + kListSize;
    const uint32_t committedEnd = areaStart + m_committedLength;
    RecordedPicture out{entry.address, entry.length, 0, true, 0};
    uint32_t sum = 0;
    const uint32_t end = entry.address + entry.length;
    for (uint32_t a = entry.address; a < end;) {
        uint32_t b = std::min(end, a - a % kBlockSize + kBlockSize);
        if (a < committedEnd && b > committedEnd) b = committedEnd;
        if (a >= committedEnd || IsDamaged(a - a % kBlockSize)) {
            sum += device::ByteSum16(m_dataImage.data() + (a - areaStart), b - a);
        } else {
            sum += FrameRangeSum(a, b - a);
            out.hasCrc = false;
        }
        a = b;
    }
    out.sum = static_cast<uint16_t>(sum);
    if (out.hasCrc) out.crc = Crc32(m_dataImage.data() + (entry.address - areaStart), entry.length);
    return out;
}

void CAlbumStore::WriteRecoveryRecord(const uint8_t* frameList, const uint8_t* newList, bool newFromFrame) {
    if (m_recovery.folder.empty()) return;
    RecoveryRecord record;
    record.identity = CurrentIdentity();
    record.writtenAt = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
    const uint32_t listAddress = m_info.listAddress, flashEnd = m_info.flashTotalSize;
    if (frameList != nullptr && IsListValid(frameList)) {
        record.hasOldList = true;
        record.oldList.assign(frameList, frameList + kListSize);
        for (const PicEntry& e : UsablePictures(frameList, listAddress, flashEnd)) {
            record.oldPictures.push_back({e.address, e.length, FrameRangeSum(e.address, e.length), false, 0});
        }
    } else if (!m_recovery.ownRecord.empty() && m_recovery.ownContent.identity == record.identity) {
        // An earlier attempt of this store broke off after erasing the list: the album the frame last
        // held is the one that attempt recorded.
        record.hasOldList = m_recovery.ownContent.hasOldList;
        record.oldList = m_recovery.ownContent.oldList;
        record.oldPictures = m_recovery.ownContent.oldPictures;
    }
    record.newList.assign(newList, newList + kListSize);
    for (const PicEntry& e : UsablePictures(newList, listAddress, flashEnd)) {
        if (newFromFrame) {
            record.newPictures.push_back({e.address, e.length, FrameRangeSum(e.address, e.length), false, 0});
        } else {
            record.newPictures.push_back(IntendedPicture(e));
        }
    }
    fs::path file = m_recovery.ownRecord;
    const std::string prefix = RecordNamePrefix(record.identity);
    if (file.empty() || file.filename().string().rfind(prefix, 0) != 0) {
        char unique[48];
        std::snprintf(unique, sizeof unique, "%016llx-%d", static_cast<unsigned long long>(record.writtenAt),
                      static_cast<int>(::getpid()));
        file = m_recovery.folder / (prefix + unique + kRecordSuffix);
    }
    std::string error;
    if (!WriteRecordFile(file, record, error)) {
        // The write goes on as it always did; only the safety net is missing.
        Warn("no recovery record could be kept: " + error);
        return;
    }
    m_recovery.ownRecord = file;
    m_recovery.ownContent = std::move(record);
}

void CAlbumStore::FinishRecoveryRecord() {
    if (m_recovery.ownRecord.empty()) return;
    std::error_code ec;
    fs::remove(m_recovery.ownRecord, ec);
    m_recovery.ownRecord.clear();
    m_recovery.ownContent = RecoveryRecord{};
}

// After the list was read: a valid list makes the records that describe it stale; without one, a record
// whose pictures the flash still holds makes a recovery pending.
void CAlbumStore::CheckRecoveryOnLoad(const uint8_t* frameList) {
    m_recovery.pending = false;
    m_recovery.frameListValid = IsListValid(frameList);
    if (m_recovery.folder.empty() || ListRecordFiles(m_recovery.folder).empty()) return;
    const FrameIdentity id = CurrentIdentity();
    if (m_recovery.frameListValid) {
        for (const fs::path& removed : RemoveStaleRecords(m_recovery.folder, id, frameList, m_info, m_recovery.warnings)) {
            if (removed == m_recovery.ownRecord) m_recovery.ownRecord.clear();
        }
        return;
    }
    FrameAccess access = Access();
    m_recovery.pending =
        FindBestRecovery(access, m_recovery.folder, id, false, m_recovery.warnings).kind != RecoveryKind::None;
}

namespace {

// A record file, or a warning and the file set aside (so that it is reported once and never read again).
bool LoadRecord(const fs::path& file, RecoveryRecord& record, std::vector<std::string>& warnings) {
    std::string problem;
    if (ReadRecordFile(file, record, problem)) return true;
    warnings.push_back("recovery record " + file.string() + " is " + problem + "; it is ignored");
    std::error_code ec;
    fs::rename(file, fs::path(file).concat(".damaged"), ec);
    return false;
}

}  // namespace

std::vector<fs::path> RemoveStaleRecords(const fs::path& folder, const FrameIdentity& identity, const uint8_t* frameList,
                                         const DeviceInfo& info, std::vector<std::string>& warnings) {
    std::vector<fs::path> removed;
    for (const fs::path& file : ListRecordFiles(folder, identity)) {
        RecoveryRecord record;
        if (!LoadRecord(file, record, warnings) || record.identity != identity) continue;
        // Only a record of exactly this album is stale: a record of another frame with the same identity
        // must survive until that frame is read.
        const uint32_t l = info.listAddress, t = info.flashTotalSize;
        if (SameAlbum(frameList, record.newList.data(), l, t) ||
            (record.hasOldList && SameAlbum(frameList, record.oldList.data(), l, t))) {
            std::error_code ec;
            fs::remove(file, ec);
            removed.push_back(file);
        }
    }
    return removed;
}

bool PictureIntact(FrameAccess& access, const RecordedPicture& picture, bool readBack) {
    const PicEntry entry{1, picture.address, picture.length};
    if (picture.length == 0 || !EntryInPictureArea(entry, access.info.listAddress, access.info.flashTotalSize)) {
        return false;
    }
    if (access.sum(picture.address, picture.length) != picture.sum) return false;
    if (!readBack) return true;
    std::vector<uint8_t> bytes(picture.length);
    // Bytes that never read back the same are not a picture to rely on.
    if (!access.read(picture.address, picture.length, bytes.data())) return false;
    if (device::ByteSum16(bytes.data(), bytes.size()) != picture.sum) return false;
    return !picture.hasCrc || Crc32(bytes.data(), bytes.size()) == picture.crc;
}

RecoveryResult EvaluateRecord(FrameAccess& access, const RecoveryRecord& record, bool readBack) {
    RecoveryResult result;
    result.identity = record.identity;
    result.writtenAt = record.writtenAt;
    result.newCount = static_cast<int>(record.newPictures.size());
    result.oldCount = record.hasOldList ? static_cast<int>(record.oldPictures.size()) : 0;
    auto same = [](const RecordedPicture& a, const RecordedPicture& b) {
        return a.address == b.address && a.length == b.length && a.sum == b.sum;
    };
    for (const RecordedPicture& p : record.newPictures) result.checked.push_back({p, true, false, false});
    if (record.hasOldList) {
        for (const RecordedPicture& p : record.oldPictures) {
            auto it = std::find_if(result.checked.begin(), result.checked.end(),
                                   [&](const CheckedPicture& c) { return same(c.picture, p); });
            if (it != result.checked.end()) it->inOldList = true;
            else result.checked.push_back({p, false, true, false});
        }
    }
    bool newWhole = true, oldWhole = record.hasOldList && !record.oldPictures.empty();
    for (CheckedPicture& c : result.checked) {
        c.intact = PictureIntact(access, c.picture, readBack);
        if (c.inNewList) newWhole = newWhole && c.intact;
        if (c.inOldList) oldWhole = oldWhole && c.intact;
    }
    if (newWhole) {
        result.kind = RecoveryKind::NewAlbum;
        result.pictures = record.newPictures;
        result.list = BuildList(record.newList, result.pictures);
        return result;
    }
    if (oldWhole) {
        result.kind = RecoveryKind::OldAlbum;
        result.pictures = record.oldPictures;
        result.list = BuildList(record.oldList, result.pictures);
        return result;
    }
    // The whole pictures of either list: the new list's order first, then the old list's.
    const size_t limit = access.info.maxPictures != 0 ? std::min<size_t>(access.info.maxPictures, kMaxSlots) : kMaxSlots;
    for (const CheckedPicture& c : result.checked) {
        if (!c.intact || result.pictures.size() >= limit) continue;
        bool clash = std::any_of(result.pictures.begin(), result.pictures.end(),
                                 [&](const RecordedPicture& p) { return Overlaps(p, c.picture); });
        if (!clash) result.pictures.push_back(c.picture);
    }
    if (result.pictures.empty()) return result;
    result.kind = RecoveryKind::IntactPictures;
    result.list = BuildList(record.newList, result.pictures);
    return result;
}

RecoveryResult FindBestRecovery(FrameAccess& access, const fs::path& folder, const FrameIdentity& identity,
                                bool readBack, std::vector<std::string>& warnings) {
    RecoveryResult best;
    int checked = 0;
    for (const fs::path& file : ListRecordFiles(folder, identity)) {
        RecoveryRecord record;
        // Another frame whose identity has the same name is never taken.
        if (!LoadRecord(file, record, warnings) || record.identity != identity) continue;
        ++checked;
        RecoveryResult found = EvaluateRecord(access, record, readBack);
        if (found.kind == RecoveryKind::None) continue;
        found.record = file;
        // A complete album before a partial one; among equals the latest record.
        const bool better = best.kind == RecoveryKind::None || (Complete(found.kind) && !Complete(best.kind)) ||
                            (Complete(found.kind) == Complete(best.kind) && found.writtenAt > best.writtenAt);
        if (better) best = std::move(found);
    }
    best.recordsChecked = checked;
    return best;
}

int CAlbumStore::DiscardRecovery() {
    if (m_recovery.folder.empty() || !m_recovery.identityKnown) {
        m_recovery.pending = false;
        return 0;
    }
    int count = 0;
    for (const fs::path& file : ListRecordFiles(m_recovery.folder, m_recovery.identity)) {
        std::error_code ec;
        fs::rename(file, fs::path(file).concat(".discarded"), ec);
        if (!ec) ++count;
        if (file == m_recovery.ownRecord) m_recovery.ownRecord.clear();
    }
    m_recovery.pending = false;
    return count;
}

RecoveryResult CAlbumStore::FindRecovery() {
    if (m_recovery.folder.empty() || !m_listLoaded || m_recovery.frameListValid) return {};
    const FrameIdentity id = CurrentIdentity();
    FrameAccess access = Access();
    return FindBestRecovery(access, m_recovery.folder, id, true, m_recovery.warnings);
}

bool CAlbumStore::ApplyRecovery(const RecoveryResult& result) {
    const device::CFrameClaim claim = ClaimFrame(device::ClaimMode::Exclusive);
    if (!m_flash) throw CAlbumError(ErrTransfer);
    if (result.kind == RecoveryKind::None || !m_listLoaded || result.list.size() != kListSize ||
        !IsListValid(result.list.data())) {
        return false;
    }
    RequireWritableLayout();
    if (result.identity != CurrentIdentity()) return false;
    // The flash may have changed since the search: the checksums must still agree.
    FrameAccess access = Access();
    for (const RecordedPicture& p : result.pictures) {
        if (!PictureIntact(access, p, false)) return false;
    }
    WriteFlashRange(m_info.listAddress, kListSize, result.list.data());
    std::error_code ec;
    if (!result.record.empty()) fs::remove(result.record, ec);
    if (result.record == m_recovery.ownRecord) FinishRecoveryRecord();
    ReadPictureList();
    return true;
}

}  // namespace fotolume::album
