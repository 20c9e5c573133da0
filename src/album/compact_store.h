// The compact application's album operations: the same verified transfers over flash access of the
// compact kind, returning true or false instead of throwing, over a picture list the caller holds.
#pragma once

#include <cstdint>
#include <vector>

#include "album/flash_layout.h"
#include "album/picture_list.h"

namespace fotolume::device {
class CProcessFlash;
}

namespace fotolume::album::compact {

// Reads the header (and its layout record) and hands the erase opcode and program flag to flash access.
bool GetInformation(device::CProcessFlash& flash, DeviceInfo& info);

// One read and one checksum query per 64 KB of the range, up to three attempts each; a failed checksum
// query counts as a mismatch. The buffer needs exactly `length` bytes.
bool ReadFlashData(device::CProcessFlash& flash, uint8_t* buffer, uint32_t length, uint32_t address);

// Writes `length` bytes at `address` inside one block. An address off a block boundary reads the
// enclosing block (verified), merges and writes the whole block; an aligned address is erased and
// programmed with `length` bytes in one command. Up to three attempts of erase, program and checksum.
// Refuses anything outside the writable part of `info`'s layout.
bool WriteDataToFlash(device::CProcessFlash& flash, const DeviceInfo& info, const uint8_t* buffer,
                      uint32_t length, uint32_t address);

// Reads the list at L. An invalid list becomes an empty one with 0 in both colours; no packing.
bool ReadPictureList(device::CProcessFlash& flash, const DeviceInfo& info, uint8_t list[kListSize]);

// Rebuilds the list from its bytes 0..15 and the first `count` slots whose flag is 1..254; bytes
// 4094..4095 are left 0 (the download puts the trailer back).
void MovePicAddressInPicList(uint8_t list[kListSize], int count);

// Whether a flag-1 slot may be read: its bytes lie inside the picture area L + 4096 .. T.
bool IsEntryUsable(const PicEntry& entry, const DeviceInfo& info);

// Reads one picture stream in 64 KB pieces; the last piece is read and verified with its length rounded
// up to 64 (never past the flash end). `out` receives exactly `length` bytes.
bool ReadPictureStream(device::CProcessFlash& flash, const DeviceInfo& info, uint32_t address, uint32_t length,
                       std::vector<uint8_t>& out);

// One album picture as the download sees it.
struct PictureState {
    bool onFrame = false;  // its stream is on the frame at its list entry's address
    uint32_t size = 0;
};

struct DownloadPlan {
    int first = 1;           // 1-based position of the first picture to write; count + 1 when none
    uint32_t start = 0;      // flash address it goes to
    uint32_t total = 0;      // bytes of that picture and all after it
    bool rewriteAll = false; // everything is written again from L + 4096
};

// What the download writes: from the first picture not yet on the frame, placed right after the listed
// picture before it. When that would pass the flash end, or the entry before it lies outside the
// picture area, every picture is written again from L + 4096.
DownloadPlan GetStartAddAndTotalDownSize(const std::vector<PictureState>& pictures, const uint8_t list[kListSize],
                                         const DeviceInfo& info);

}  // namespace fotolume::album::compact
