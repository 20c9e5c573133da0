// Verified transfers of one piece or one block, shared by the store and the compact application's
// operations. Results are 0 or an album error code; the store throws them, the compact side returns false.
#pragma once

#include <cstdint>

namespace fotolume::device {
class CProcessFlash;
}

namespace fotolume::album {

enum class FlashStyle {
    Full,     // 4 KB read and program commands, first 4 KB programmed last, a failed checksum query is code 1
    Compact,  // one read or one program command per piece, a failed checksum query counts as a mismatch
};

// The part of the flash the store may erase and program: [lowest, end).
struct WriteWindow {
    uint32_t lowest = 0;
    uint32_t end = 0;
};

// Reads length bytes (at most 65536) at address into `into`, which has room for length rounded up to 64,
// and compares the frame's checksum of the range; up to three attempts.
int ReadVerifiedPiece(device::CProcessFlash& flash, FlashStyle style, uint32_t address, uint32_t length,
                      uint8_t* into);

// The frame's byte sum of any range, asked a 64 KB block at a time (byte sums add up modulo 65536).
// Throws CAlbumError(ErrChecksumQuery) when a query fails.
uint16_t FrameRangeSum(device::CProcessFlash& flash, uint32_t address, uint32_t length);

// Erases the block at `block` (every erase unit of its first `length` bytes), programs `length` bytes
// (at most 65536) from source and compares the frame's checksum; up to three attempts from the erase.
// With the 4 KB erase opcode the full style goes sector by sector instead: a sector that does not hold its
// bytes yet is erased and programmed in turn, one that does is left alone, and the block's first sector is
// erased first and programmed last; each attempt looks again at what is left to write.
// Refuses with ErrLayout, before any command, a block that does not lie inside the window, and an erase
// opcode that would clear the whole chip.
int WriteVerifiedBlock(device::CProcessFlash& flash, FlashStyle style, const WriteWindow& window,
                       uint32_t block, const uint8_t* source, uint32_t length);

}  // namespace fotolume::album
