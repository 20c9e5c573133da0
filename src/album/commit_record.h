// What a write's recovery record says, built from the frame and the blocks a plan writes: the frame's
// identity, the album it held, the album being written, and the journal of the blocks the write erases
// that hold the old album. Shared by the album store's recovery keeper and the compact download.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "album/recovery.h"

namespace fotolume::album {

// Identity, time, and the old album: the frame's list as it is (valid or not) and the frame's sums of the
// pictures it names. Marks the record as keeping a journal.
void DescribeOldAlbum(RecoveryRecord& record, FrameAccess& access, const FrameIdentity& identity,
                      const uint8_t* frameList);

// The new album: newList and its pictures as the plan's blocks (finalBytes: block -> the bytes it will hold
// from its start) and, where the plan does not write, the frame hold them.
void DescribeNewAlbum(RecoveryRecord& record, FrameAccess& access, const uint8_t* newList,
                      const std::map<uint32_t, std::vector<uint8_t>>& finalBytes);

// Adds to journal each of erased that holds bytes of a picture of oldList, with its present bytes from
// base; blocks already in the journal keep what they have.
void JournalBlocks(std::map<uint32_t, std::vector<uint8_t>>& journal, const uint8_t* oldList, const DeviceInfo& info,
                   const std::vector<uint32_t>& erased, const std::function<std::vector<uint8_t>(uint32_t)>& base);

// Writes record to `reuse` when that names a record of the same frame, else to a new file in folder.
// Returns the path written; empty, with error set, when it could not be written.
std::filesystem::path StoreRecord(const std::filesystem::path& folder, const std::filesystem::path& reuse,
                                  const RecoveryRecord& record, std::string& error);

}  // namespace fotolume::album
