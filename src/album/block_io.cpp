#include "album/block_io.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "album/album_error.h"
#include "album/flash_layout.h"
#include "device/checksum.h"
#include "device/process_flash.h"

namespace fotolume::album {

namespace {

constexpr int kAttempts = 3;
constexpr uint32_t kProgramPiece = 4096;
constexpr uint32_t kSector = 4096;  // what the 4 KB erase opcode clears

// 0 on a match, ErrChecksumMismatch on a wrong sum, ErrChecksumQuery when the query itself failed.
int CompareWithFrame(device::CProcessFlash& flash, uint32_t address, uint32_t length, const uint8_t* data) {
    uint8_t high = 0, low = 0;
    if (!flash.GetVerifyValue(high, low, address, length)) return ErrChecksumQuery;
    uint16_t frameSum = static_cast<uint16_t>(high << 8 | low);
    return frameSum == device::ByteSum16(data, length) ? 0 : ErrChecksumMismatch;
}

// Whether the sector at address holds `expected` (kSector bytes): the frame's sum, then a read, since equal
// sums are not equal bytes (a list whose two colours were swapped keeps its sum). A failed query or read
// counts as no: the sector is written.
bool SectorHolds(device::CProcessFlash& flash, uint32_t address, const uint8_t* expected, uint8_t* scratch) {
    uint8_t high = 0, low = 0;
    if (!flash.GetVerifyValue(high, low, address, kSector)) return false;
    if (static_cast<uint16_t>(high << 8 | low) != device::ByteSum16(expected, kSector)) return false;
    return flash.ReadFromFlash(scratch, kSector, address) == 0 && std::memcmp(scratch, expected, kSector) == 0;
}

// Programs the source bytes of the erased sector at offset; bytes that are all 0xFF are what the erase left.
int ProgramSector(device::CProcessFlash& flash, uint32_t block, const uint8_t* source, uint32_t length,
                  uint32_t offset) {
    const uint32_t piece = std::min(kSector, length - offset);
    const uint8_t* from = source + offset;
    if (std::all_of(from, from + piece, [](uint8_t b) { return b == 0xFF; })) return 0;
    return flash.WriteToFlash(from, piece, block + offset);
}

// The full style with the 4 KB erase opcode: each sector is erased right before it is programmed, so a cut
// costs at most the sector in hand, and a sector that already holds its bytes is left alone. The block's
// first sector is erased before and programmed after every other sector that changes (and rewritten
// whenever one does): until then the block does not start with valid bytes, which at the list block
// would be a list naming pictures that are being rewritten.
int WriteSectors(device::CProcessFlash& flash, uint32_t block, const uint8_t* source, uint32_t length) {
    const uint32_t sectors = (length + kSector - 1) / kSector;
    // Past the source's end, a sector is to hold what its erase leaves.
    std::vector<uint8_t> target(sectors * kSector, 0xFF);
    std::memcpy(target.data(), source, length);
    std::vector<uint8_t> scratch(kSector);
    bool eraseFailed = false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        eraseFailed = false;
        std::vector<uint32_t> changing;
        for (uint32_t offset = kSector; offset < length; offset += kSector) {
            if (!SectorHolds(flash, block + offset, target.data() + offset, scratch.data())) changing.push_back(offset);
        }
        if (!changing.empty() || !SectorHolds(flash, block, target.data(), scratch.data())) {
            // A failed erase (32) ends the attempt: programming over a sector's old bytes only makes garbage.
            int erased = flash.Erase4KFlash(block);
            if (erased == 16) return ErrTransfer;
            for (size_t i = 0; i < changing.size() && erased == 0; ++i) {
                erased = flash.Erase4KFlash(block + changing[i]);
                if (erased == 16) return ErrTransfer;
                if (erased == 0 && ProgramSector(flash, block, source, length, changing[i]) != 0) return ErrTransfer;
            }
            eraseFailed = erased != 0;
            if (eraseFailed) continue;
            if (ProgramSector(flash, block, source, length, 0) != 0) return ErrTransfer;
        }
        int compared = CompareWithFrame(flash, block, length, source);
        if (compared == 0) return 0;
        if (compared == ErrChecksumQuery) return ErrChecksumQuery;
    }
    // An erase that keeps failing is a failed erase sequence (a frame that stopped answering, often), not a
    // wrong sum: nothing was programmed to compare.
    return eraseFailed ? ErrTransfer : ErrChecksumMismatch;
}

}  // namespace

uint16_t FrameRangeSum(device::CProcessFlash& flash, uint32_t address, uint32_t length) {
    uint32_t sum = 0;
    for (uint32_t done = 0; done < length;) {
        const uint32_t piece = std::min(length - done, kBlockSize - (address + done) % kBlockSize);
        uint8_t high = 0, low = 0;
        if (!flash.GetVerifyValue(high, low, address + done, piece)) throw CAlbumError(ErrChecksumQuery);
        sum += uint32_t{high} << 8 | low;
        done += piece;
    }
    return static_cast<uint16_t>(sum);
}

int ReadVerifiedPiece(device::CProcessFlash& flash, FlashStyle style, uint32_t address, uint32_t length,
                      uint8_t* into) {
    if (length == 0) return 0;
    if (length > kBlockSize) return ErrTransfer;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (flash.ReadFromFlash(into, length, address) != 0) return ErrTransfer;
        int compared = CompareWithFrame(flash, address, length, into);
        if (compared == 0) return 0;
        if (compared == ErrChecksumQuery && style == FlashStyle::Full) return ErrChecksumQuery;
    }
    return ErrChecksumMismatch;
}

int WriteVerifiedBlock(device::CProcessFlash& flash, FlashStyle style, const WriteWindow& window,
                       uint32_t block, const uint8_t* source, uint32_t length) {
    // Nothing below the list block and nothing past the flash end is ever erased or programmed.
    if (length == 0 || length > kBlockSize || block % kBlockSize != 0 || block < window.lowest ||
        uint64_t{block} + kBlockSize > window.end || !EraseOpcodeUsable(flash.EraseOpcode())) {
        return ErrLayout;
    }
    // One erase command clears one unit; an opcode that erases less than a block needs several.
    const uint32_t unit = EraseUnitFor(flash.EraseOpcode());
    if (style == FlashStyle::Full && unit == kSector) return WriteSectors(flash, block, source, length);
    const uint32_t eraseEnd = (length + unit - 1) / unit * unit;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        for (uint32_t offset = 0; offset < eraseEnd; offset += unit) {
            // A failed erase command alone shows up as a mismatch below; a lost frame ends the write.
            int erased = flash.Erase4KFlash(block + offset);
            if (style == FlashStyle::Full && erased == 16) return ErrTransfer;
        }
        if (style == FlashStyle::Full) {
            // The first 4 KB is programmed last: until it is, the block does not start with valid data.
            for (uint32_t offset = kProgramPiece; offset < length; offset += kProgramPiece) {
                uint32_t piece = std::min(kProgramPiece, length - offset);
                if (flash.WriteToFlash(source + offset, piece, block + offset) != 0) return ErrTransfer;
            }
            if (flash.WriteToFlash(source, std::min(kProgramPiece, length), block) != 0) return ErrTransfer;
        } else if (flash.WriteToFlash(source, length, block) != 0) {
            return ErrTransfer;
        }
        int compared = CompareWithFrame(flash, block, length, source);
        if (compared == 0) return 0;
        if (compared == ErrChecksumQuery && style == FlashStyle::Full) return ErrChecksumQuery;
    }
    return ErrChecksumMismatch;
}

}  // namespace fotolume::album
