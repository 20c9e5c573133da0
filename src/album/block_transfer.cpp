// The verified block layer: reads confirmed by the frame's checksum, writes as whole 64 KB blocks with
// three attempts, partial blocks read, merged and written again; the frame's sums and verified reads as the
// recovery records reach them.
#include <algorithm>
#include <cstring>

#include "album/album_store.h"
#include "album/block_io.h"
#include "device/process_flash.h"

namespace fotolume::album {

uint32_t CAlbumStore::ReadFlashData(uint32_t address, uint32_t length, uint8_t* destination) {
    if (!m_flash) throw CAlbumError(ErrTransfer);
    const uint32_t whole = length / kBlockSize;
    for (uint32_t k = 0; k < whole; ++k) {
        int result = ReadVerifiedPiece(*m_flash, FlashStyle::Full, address + kBlockSize * k, kBlockSize,
                                       destination + size_t{kBlockSize} * k);
        if (result != 0) throw CAlbumError(result);
    }
    if (const uint32_t rest = length % kBlockSize; rest != 0) {
        // The frame sends the tail rounded up to 64 bytes; only the bytes asked for reach the caller.
        uint8_t* staging = m_tailBuffer.data();
        std::memset(staging, 0, kBlockSize);
        int result = ReadVerifiedPiece(*m_flash, FlashStyle::Full, address + kBlockSize * whole, rest, staging);
        if (result != 0) throw CAlbumError(result);
        std::memcpy(destination + size_t{kBlockSize} * whole, staging, rest);
    }
    return length;
}

void CAlbumStore::WriteDataToFlash(uint32_t blockAddress, const uint8_t* source) {
    if (!m_flash) throw CAlbumError(ErrTransfer);
    RequireWritableLayout();
    const int result = WriteVerifiedBlock(*m_flash, FlashStyle::Full, Window(), blockAddress, source, kBlockSize);
    if (result == ErrLayout) throw CAlbumError(result);
    if (result != 0) {
        // Erased and maybe half programmed: a later merge into this block takes what it was meant to hold.
        m_unknownBlocks[blockAddress].assign(source, source + kBlockSize);
        throw CAlbumError(result);
    }
    m_unknownBlocks.erase(blockAddress);
}

void CAlbumStore::WriteFlashRange(uint32_t address, uint32_t length, const uint8_t* source) {
    RequireWritableLayout();
    for (uint64_t at = address, end = uint64_t{address} + length; at < end;) {
        const uint32_t block = static_cast<uint32_t>(at - at % kBlockSize);
        const uint32_t to = static_cast<uint32_t>(std::min<uint64_t>(end, uint64_t{block} + kBlockSize));
        if (at == block && to - block == kBlockSize) {
            WriteDataToFlash(block, source + (at - address));
        } else {
            // A partial block keeps the rest of its bytes: read, merged and written whole.
            std::vector<uint8_t> bytes = BlockBase(block);
            std::memcpy(bytes.data() + (at - block), source + (at - address), to - at);
            WriteDataToFlash(block, bytes.data());
        }
        at = to;
    }
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

uint16_t CAlbumStore::FrameRangeSum(uint32_t address, uint32_t length) {
    if (!m_flash) throw CAlbumError(ErrTransfer);
    return album::FrameRangeSum(*m_flash, address, length);
}

}  // namespace fotolume::album
