// The frame's flash map: header at 0, picture list at L, picture data from L + 4096 to the flash end.
#pragma once

#include <cstdint>
#include <string>

namespace fotolume::album {

inline constexpr uint32_t kBlockSize = 65536;    // every write is one whole verified block
inline constexpr uint32_t kListSize = 4096;      // the picture list at L
inline constexpr uint32_t kHeaderSize = 512;     // the header at flash address 0
inline constexpr uint32_t kLayoutRecordSize = 64;
inline constexpr int kMaxSlots = 509;            // entries the list can hold
// The widest and tallest panel a header may name. Frames of this kind have panels of 128 to 480 pixels
// a side, the largest known 1024; anything past this is a damaged or hostile header, and composing
// for it would take gigabytes.
inline constexpr uint32_t kMaxPanelSide = 2048;

// Values read from the header.
struct DeviceInfo {
    uint32_t listAddress = 0;      // L
    uint32_t lcdWidth = 0, lcdHeight = 0;
    uint8_t eraseOpcode = 0xD8;
    bool programFlag = false;
    uint8_t reserved41 = 0, reserved42 = 0;
    uint32_t flashTotalSize = 0;   // T
    uint32_t maxPictures = 0;      // 0: only space limits the album
    uint8_t yValue = 4;            // read by the compact application
    uint8_t picQuality = 90;       // read by the compact application
    uint32_t capacity = 0;         // T - L - 4096, 0 when the list does not fit
};

// The header fields, without the list address (which may need the layout record).
DeviceInfo ParseHeader(const uint8_t header[kHeaderSize]);

// A "DPFH" record at offset 256 whose bytes 256..260 sum to 0 modulo 256. Gives the flash address of the
// 64-byte layout record (the pointer P minus 512), or false when the record is missing, damaged, or points
// below the header's end.
bool LayoutRecordAddress(const uint8_t header[kHeaderSize], uint32_t& recordAddress);

// The list starts at the first multiple of 65536 at or above the address E in bytes 11..13 of the record.
uint32_t ListAddressFromLayoutRecord(const uint8_t record[kLayoutRecordSize]);

// The list address of header offset 32.
uint32_t ListAddressFromHeader(const uint8_t header[kHeaderSize]);

// Capacity of the picture area; 0 when the list itself does not fit in the flash.
uint32_t PictureAreaCapacity(uint32_t listAddress, uint32_t flashTotalSize);

// Whether the store may write to this layout: the flash size is a power of two (as every flash chip's
// is: any other value is not this chip's, and writes would run past its end), the list block lies on a
// block boundary above the header's block and inside the flash.
bool LayoutWritable(uint32_t listAddress, uint32_t flashTotalSize);

// Whether pictures can be composed and shown for a panel of this size: neither side 0 nor larger than
// kMaxPanelSide. Nothing is allocated by a panel's size before this holds.
bool PanelComposable(uint32_t width, uint32_t height);
// Why not, in one line ("the header's panel size 65535x65535 is larger than any frame's ..."); empty
// when it is.
std::string PanelProblem(const DeviceInfo& info);

// Whether the store knows what an erase opcode clears: 0xD8 (a 64 KB block) and 0x20 (a 4 KB sector).
// Any other opcode may clear less than a block (a write would program over old bytes) or the whole chip
// (the frame's own region with it), so a frame that names one is not written.
bool EraseOpcodeUsable(uint8_t eraseOpcode);

// Bytes one erase command clears for a usable erase opcode.
uint32_t EraseUnitFor(uint8_t eraseOpcode);

// Why the store may not write this layout, in one line ("the picture list at 0x018000 is not on a 64 KB
// boundary"), naming the header field that is wrong; empty when it may. A panel that cannot be composed
// for makes the layout not writable too: no picture could be added or shown.
std::string LayoutProblem(const DeviceInfo& info);

}  // namespace fotolume::album
