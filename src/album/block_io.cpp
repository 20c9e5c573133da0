#include "album/block_io.h"

#include <algorithm>

#include "album/album_error.h"
#include "album/flash_layout.h"
#include "device/checksum.h"
#include "device/process_flash.h"

namespace fotolume::album {

namespace {

constexpr int kAttempts = 3;
constexpr uint32_t kProgramPiece = 4096;

// 0 on a match, ErrChecksumMismatch on a wrong sum, ErrChecksumQuery when the query itself failed.
int CompareWithFrame(device::CProcessFlash& flash, uint32_t address, uint32_t length, const uint8_t* data) {
    uint8_t high = 0, low = 0;
    if (!flash.GetVerifyValue(high, low, address, length)) return ErrChecksumQuery;
    uint16_t frameSum = static_cast<uint16_t>(high << 8 | low);
    return frameSum == device::ByteSum16(data, length) ? 0 : ErrChecksumMismatch;
}

}  // namespace

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
