// Recovery records checked against a frame: which album the flash can still give back, and writing it.
#include "album/recovery.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "album/album_error.h"
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
        // The list exactly as the write meant it: every picture it names is whole.
        result.kind = RecoveryKind::NewAlbum;
        result.pictures = record.newPictures;
        result.list = record.newList;
        return result;
    }
    if (record.hasJournal) {
        // The journal puts back every block the write changed: the old album, exactly, whatever is left.
        result.kind = RecoveryKind::OldAlbum;
        result.fromJournal = true;
        result.pictures = record.oldPictures;
        result.list = record.oldList;
        result.journal = record.journal;
        return result;
    }
    result.note = record.journalDamaged ? "its journal is damaged" : "it keeps no journal";
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

int SetRecordsAside(const fs::path& folder, const FrameIdentity& identity, std::vector<std::string>& problems) {
    int count = 0;
    for (const fs::path& file : ListRecordFiles(folder, identity)) {
        std::error_code ec;
        fs::rename(file, fs::path(file).concat(".discarded"), ec);
        if (ec) {
            problems.push_back("cannot set aside " + file.string() + ": " + ec.message());
        } else {
            ++count;
        }
    }
    return count;
}

bool ApplyRecoveryResult(CPlanWriter& writer, FrameAccess& access, const RecoveryResult& result) {
    const uint32_t listBlock = access.info.listAddress;
    if (result.fromJournal) {
        WithWriteAttempts(writer, [&] { writer.RestoreJournal(result.journal, listBlock); });
        return true;
    }
    // The flash may have changed since the search: the checksums must still agree.
    for (const RecordedPicture& p : result.pictures) {
        if (!PictureIntact(access, p, false)) return false;
    }
    WithWriteAttempts(writer, [&] { writer.WriteListBlock(listBlock, result.list.data()); });
    return true;
}

}  // namespace fotolume::album
