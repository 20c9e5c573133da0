#include "album/recovery_record.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

#include "album/flash_layout.h"
#include "device/bytes.h"

namespace fotolume::album {

namespace fs = std::filesystem;
using device::ReadLe16;
using device::ReadLe32;
using device::WriteLe16;
using device::WriteLe32;

namespace {

constexpr size_t kFixedSize = 36;
constexpr size_t kOldListAt = kFixedSize;
constexpr size_t kNewListAt = kOldListAt + kListSize;
constexpr size_t kPicturesAt = kNewListAt + kListSize;
constexpr size_t kPictureSize = 16;
constexpr size_t kMaxPictures = kMaxSlots;
constexpr size_t kMaxJournalBlocks = 256;  // every block of the largest flash a 24-bit address reaches
constexpr size_t kJournalEntrySize = 4 + kBlockSize + 4;

std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

void WriteLe64(uint8_t* p, uint64_t v) {
    WriteLe32(p, static_cast<uint32_t>(v));
    WriteLe32(p + 4, static_cast<uint32_t>(v >> 32));
}

uint64_t ReadLe64(const uint8_t* p) { return uint64_t{ReadLe32(p)} | uint64_t{ReadLe32(p + 4)} << 32; }

void PutPicture(uint8_t* p, const RecordedPicture& picture) {
    WriteLe32(p, picture.address);
    WriteLe32(p + 4, picture.length);
    WriteLe16(p + 8, picture.sum);
    WriteLe16(p + 10, picture.hasCrc ? 1 : 0);
    WriteLe32(p + 12, picture.hasCrc ? picture.crc : 0);
}

RecordedPicture GetPicture(const uint8_t* p) {
    RecordedPicture picture;
    picture.address = ReadLe32(p);
    picture.length = ReadLe32(p + 4);
    picture.sum = ReadLe16(p + 8);
    picture.hasCrc = (ReadLe16(p + 10) & 1) != 0;
    picture.crc = ReadLe32(p + 12);
    return picture;
}

uint64_t Fnv1a64(const uint8_t* data, size_t length) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < length; ++i) {
        h ^= data[i];
        h *= 0x100000001b3ull;
    }
    return h;
}

bool SyncFolder(const fs::path& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t length) {
    static const std::array<uint32_t, 256> table = MakeCrcTable();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::vector<uint8_t> EncodeRecord(const RecoveryRecord& record) {
    const size_t n = std::min(record.oldPictures.size(), kMaxPictures);
    const size_t m = std::min(record.newPictures.size(), kMaxPictures);
    const size_t j = record.hasJournal ? std::min(record.journal.size(), kMaxJournalBlocks) : 0;
    const size_t head = kPicturesAt + kPictureSize * (n + m) + 4;
    std::vector<uint8_t> out(head + 4 + kJournalEntrySize * j, 0);
    uint8_t* p = out.data();
    std::memcpy(p, "FLRC", 4);
    WriteLe16(p + 4, kRecordVersion);
    WriteLe16(p + 6, static_cast<uint16_t>((record.hasOldList ? 1 : 0) | (record.hasJournal ? 2 : 0)));
    WriteLe32(p + 8, record.identity.flashTotalSize);
    WriteLe32(p + 12, record.identity.listAddress);
    WriteLe16(p + 16, record.identity.lcdWidth);
    WriteLe16(p + 18, record.identity.lcdHeight);
    WriteLe16(p + 20, record.identity.firstBlockSum);
    WriteLe16(p + 22, static_cast<uint16_t>(n));
    WriteLe16(p + 24, static_cast<uint16_t>(m));
    WriteLe64(p + 28, record.writtenAt);
    if (record.hasOldList && record.oldList.size() == kListSize) std::memcpy(p + kOldListAt, record.oldList.data(), kListSize);
    if (record.newList.size() == kListSize) std::memcpy(p + kNewListAt, record.newList.data(), kListSize);
    uint8_t* at = p + kPicturesAt;
    for (size_t i = 0; i < n; ++i, at += kPictureSize) PutPicture(at, record.oldPictures[i]);
    for (size_t i = 0; i < m; ++i, at += kPictureSize) PutPicture(at, record.newPictures[i]);
    WriteLe32(at, static_cast<uint32_t>(j));
    WriteLe32(at + 4, Crc32(p, head));
    at += 8;
    size_t written = 0;
    for (const auto& [address, bytes] : record.journal) {
        if (written++ == j) break;
        WriteLe32(at, address);
        if (bytes.size() == kBlockSize) std::memcpy(at + 4, bytes.data(), kBlockSize);
        WriteLe32(at + 4 + kBlockSize, Crc32(at, 4 + kBlockSize));
        at += kJournalEntrySize;
    }
    return out;
}

namespace {

// The journal behind the head; false when it is truncated, damaged or not made of whole blocks.
bool DecodeJournal(const uint8_t* at, size_t available, size_t count, std::map<uint32_t, std::vector<uint8_t>>& out) {
    if (count > kMaxJournalBlocks || available != count * kJournalEntrySize) return false;
    for (size_t i = 0; i < count; ++i, at += kJournalEntrySize) {
        const uint32_t address = ReadLe32(at);
        if (address % kBlockSize != 0 || Crc32(at, 4 + kBlockSize) != ReadLe32(at + 4 + kBlockSize)) return false;
        out[address].assign(at + 4, at + 4 + kBlockSize);
    }
    return out.size() == count;
}

}  // namespace

bool DecodeRecord(const std::vector<uint8_t>& bytes, RecoveryRecord& out, std::string& problem) {
    const uint8_t* p = bytes.data();
    if (bytes.size() < 6 || std::memcmp(p, "FLRC", 4) != 0) {
        problem = bytes.size() < 4 ? "truncated" : "not a recovery record";
        return false;
    }
    const uint16_t version = ReadLe16(p + 4);
    if (version != 1 && version != kRecordVersion) {
        problem = "written in an unknown format version " + std::to_string(version);
        return false;
    }
    if (bytes.size() < kPicturesAt + 4) {
        problem = "truncated";
        return false;
    }
    const size_t n = ReadLe16(p + 22), m = ReadLe16(p + 24);
    const size_t pictures = kPicturesAt + kPictureSize * (n + m);
    // Version 1: the CRC follows the pictures. Version 2: the journal count, then the CRC of the head.
    const size_t head = version == 1 ? pictures : pictures + 4;
    if (bytes.size() < head + 4) {
        problem = "truncated";
        return false;
    }
    if ((version == 1 && bytes.size() > head + 4) || Crc32(p, head) != ReadLe32(p + head)) {
        problem = "damaged (its checksum does not match)";
        return false;
    }
    if (n > kMaxPictures || m > kMaxPictures) {
        problem = "damaged (too many pictures)";
        return false;
    }
    RecoveryRecord r;
    const uint16_t flags = ReadLe16(p + 6);
    r.hasOldList = (flags & 1) != 0;
    r.identity.flashTotalSize = ReadLe32(p + 8);
    r.identity.listAddress = ReadLe32(p + 12);
    r.identity.lcdWidth = ReadLe16(p + 16);
    r.identity.lcdHeight = ReadLe16(p + 18);
    r.identity.firstBlockSum = ReadLe16(p + 20);
    r.writtenAt = ReadLe64(p + 28);
    r.oldList.assign(p + kOldListAt, p + kOldListAt + kListSize);
    r.newList.assign(p + kNewListAt, p + kNewListAt + kListSize);
    const uint8_t* at = p + kPicturesAt;
    for (size_t i = 0; i < n; ++i, at += kPictureSize) r.oldPictures.push_back(GetPicture(at));
    for (size_t i = 0; i < m; ++i, at += kPictureSize) r.newPictures.push_back(GetPicture(at));
    if (version != 1 && (flags & 2) != 0) {
        // A damaged journal leaves the rest of the record usable: it still tells which pictures are whole.
        r.hasJournal = DecodeJournal(p + head + 4, bytes.size() - head - 4, ReadLe32(p + pictures), r.journal);
        r.journalDamaged = !r.hasJournal;
        if (!r.hasJournal) r.journal.clear();
    } else if (bytes.size() > head + 4) {
        problem = "damaged (bytes past its end)";
        return false;
    }
    out = std::move(r);
    return true;
}

std::string RecordNamePrefix(const FrameIdentity& identity) {
    uint8_t bytes[14];
    WriteLe32(bytes, identity.flashTotalSize);
    WriteLe32(bytes + 4, identity.listAddress);
    WriteLe16(bytes + 8, identity.lcdWidth);
    WriteLe16(bytes + 10, identity.lcdHeight);
    WriteLe16(bytes + 12, identity.firstBlockSum);
    char name[40];
    std::snprintf(name, sizeof name, "recovery-%016llx-", static_cast<unsigned long long>(Fnv1a64(bytes, sizeof bytes)));
    return name;
}

bool WriteRecordFile(const fs::path& file, const RecoveryRecord& record, std::string& error) {
    const std::vector<uint8_t> bytes = EncodeRecord(record);
    const fs::path temporary = fs::path(file).concat(".tmp");
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = "cannot create " + temporary.string() + ": " + std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    bool ok = done == bytes.size();
    int saved = errno;
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temporary.c_str(), file.c_str()) != 0) {
        if (ok) saved = errno;
        error = "cannot write " + file.string() + ": " + std::strerror(saved);
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself must reach the disk before the frame is touched.
    SyncFolder(file.parent_path().empty() ? fs::path(".") : file.parent_path());
    return true;
}

bool ReadRecordFile(const fs::path& file, RecoveryRecord& out, std::string& problem) {
    // A record holds at most 1018 pictures and 256 journal blocks; anything longer is not one of ours.
    std::error_code ec;
    const uintmax_t size = fs::file_size(file, ec);
    if (!ec && size > kPicturesAt + kPictureSize * 2 * kMaxPictures + 8 + kJournalEntrySize * kMaxJournalBlocks) {
        problem = "damaged (too long)";
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    if (ec || !in) {
        problem = "cannot be read";
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<size_t>(in.gcount()) != bytes.size()) {
        problem = "cannot be read";
        return false;
    }
    return DecodeRecord(bytes, out, problem);
}

std::vector<fs::path> ListRecordFiles(const fs::path& folder) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("recovery-", 0) == 0 && name.size() > 4 && name.ends_with(kRecordSuffix) &&
            it->is_regular_file(ec)) {
            out.push_back(it->path());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<fs::path> ListRecordFiles(const fs::path& folder, const FrameIdentity& identity) {
    const std::string prefix = RecordNamePrefix(identity);
    std::vector<fs::path> out = ListRecordFiles(folder);
    std::erase_if(out, [&](const fs::path& p) { return p.filename().string().rfind(prefix, 0) != 0; });
    return out;
}

}  // namespace fotolume::album
