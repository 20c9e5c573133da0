// The recovery record: what a commit is about to do to a frame, kept on the computer until the commit
// completes, so that an album whose list was erased by an interrupted commit can be found again.
//
// File format, version 2, all integers little-endian:
//   0     4     magic "FLRC"
//   4     2     version (2; version 1 ends after the pictures with the CRC of all before it)
//   6     2     flags: bit 0 = the old list is known, bit 1 = the journal is kept
//   8     4     flash total size           the frame's identity, checkable without the list:
//   12    4     list address               these four header values and
//   16    2     panel width
//   18    2     panel height
//   20    2     the 16-bit byte sum of the frame's first 64 KB, as the frame computes it
//   22    2     old picture count n (0..509)
//   24    2     new picture count m (0..509)
//   26    2     0
//   28    8     time written, nanoseconds since 1970
//   36    4096  the old picture list as it was on the frame (zeros when not known)
//   4132  4096  the new picture list the commit writes
//   8228  16 each, n old then m new pictures: address (4), length (4), byte sum (2),
//               flags (2; bit 0 = the CRC-32 is known), CRC-32 of the picture's bytes (4)
//   then  4     journal block count j (0..256)
//   then  4     CRC-32 of every byte before it
//   then  j × 65544: block address (4), the block's 65536 bytes as they were before the write, CRC-32 of
//               that address and those bytes (4)
// The journal holds every block the write erases that held bytes of the album the frame had (the list
// block always): with it the old album can be put back exactly, whatever the write had done.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fotolume::album {

inline constexpr uint16_t kRecordVersion = 2;

// What identifies a frame without trusting its picture list.
struct FrameIdentity {
    uint32_t flashTotalSize = 0;
    uint32_t listAddress = 0;
    uint16_t lcdWidth = 0, lcdHeight = 0;
    uint16_t firstBlockSum = 0;  // the frame's checksum over flash bytes 0..65535
    bool operator==(const FrameIdentity&) const = default;
};

// One picture of a list, with what its bytes must add up to.
struct RecordedPicture {
    uint32_t address = 0;
    uint32_t length = 0;
    uint16_t sum = 0;       // 16-bit byte sum
    bool hasCrc = false;    // known when the commit itself wrote the bytes
    uint32_t crc = 0;
    bool operator==(const RecordedPicture&) const = default;
};

struct RecoveryRecord {
    FrameIdentity identity;
    uint64_t writtenAt = 0;  // nanoseconds since 1970
    bool hasOldList = false;
    std::vector<uint8_t> oldList;  // 4096 bytes
    std::vector<uint8_t> newList;  // 4096 bytes
    std::vector<RecordedPicture> oldPictures, newPictures;
    // Block address -> its 65536 bytes before the write. Empty for a record without a journal.
    std::map<uint32_t, std::vector<uint8_t>> journal;
    bool hasJournal = false;
    // Read back: the record says it kept a journal, but it is truncated or damaged (then empty).
    bool journalDamaged = false;
};

uint32_t Crc32(const uint8_t* data, size_t length);

std::vector<uint8_t> EncodeRecord(const RecoveryRecord& record);
// False with problem set ("truncated", "not a recovery record", "damaged", ...) when the bytes are not
// a whole, undamaged record of a version this program reads. A record whose lists and pictures are whole
// but whose journal is not decodes with journalDamaged set.
bool DecodeRecord(const std::vector<uint8_t>& bytes, RecoveryRecord& out, std::string& problem);

// "recovery-<16 hex digits>-": the start of every record file name of frames with this identity.
std::string RecordNamePrefix(const FrameIdentity& identity);
inline constexpr const char* kRecordSuffix = ".rec";

// Written to "<name>.tmp", flushed to the disk and renamed over folder/name; the file is private (0600).
bool WriteRecordFile(const std::filesystem::path& file, const RecoveryRecord& record, std::string& error);
bool ReadRecordFile(const std::filesystem::path& file, RecoveryRecord& out, std::string& problem);

// Record files in folder, oldest name first; with an identity, only that identity's.
std::vector<std::filesystem::path> ListRecordFiles(const std::filesystem::path& folder);
std::vector<std::filesystem::path> ListRecordFiles(const std::filesystem::path& folder,
                                                   const FrameIdentity& identity);

}  // namespace fotolume::album
