// The verified block layer: reads confirmed by the frame's checksum, writes as whole 64 KB blocks with
// three attempts, partial blocks read, merged and written again.
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
    const WriteWindow window{m_info.listAddress, m_info.flashTotalSize};
    int result = WriteVerifiedBlock(*m_flash, FlashStyle::Full, window, blockAddress, source, kBlockSize);
    if (result == ErrLayout) throw CAlbumError(result);
    if (result != 0) {
        KeepIntendedBlock(blockAddress, source);
        throw CAlbumError(result);
    }
    ForgetDamage(blockAddress);
}

void CAlbumStore::WriteFlashRange(uint32_t address, uint32_t length, const uint8_t* source) {
    WriteRange(address, length, source, nullptr);
}

void CAlbumStore::WriteRange(uint32_t address, uint32_t length, const uint8_t* source, RangeHooks* hooks) {
    if (length == 0) return;
    const uint32_t first = address - address % kBlockSize;
    const uint32_t p = address % kBlockSize;
    const uint32_t e = (address + length) % kBlockSize;
    if (uint64_t{address} + length < uint64_t{first} + kBlockSize) {
        MergeIntoBlock(first, p, source, length);
        return;
    }
    uint32_t block = first;
    uint32_t done = 0;
    if (p != 0) {
        if (hooks) hooks->beforeBlock(address, first + kBlockSize, 0);
        MergeIntoBlock(first, p, source, kBlockSize - p);
        done = kBlockSize - p;
        block = first + kBlockSize;
        if (hooks && hooks->stopAfter(block)) return;
    } else if (hooks && hooks->stopAfter(address)) {
        return;
    }
    const uint32_t whole = (length - done) / kBlockSize;
    for (uint32_t k = 0; k < whole; ++k) {
        if (hooks) hooks->beforeBlock(block, block + kBlockSize, done);
        WriteDataToFlash(block, source + done);
        done += kBlockSize;
        block += kBlockSize;
        if (hooks && hooks->stopAfter(block)) return;
    }
    if (e != 0) {
        if (hooks) hooks->beforeBlock(block, block + e, done);
        MergeIntoBlock(block, 0, source + done, e);
    }
}

void CAlbumStore::MergeIntoBlock(uint32_t block, uint32_t offset, const uint8_t* source, uint32_t length) {
    uint8_t* staging = m_mergeBuffer.data();
    LoadBlockForMerge(block, staging);
    std::memmove(staging + offset, source, length);
    WriteDataToFlash(block, staging);
}

// A block's present content: from the frame, or from the image when an earlier write of it broke off.
void CAlbumStore::LoadBlockForMerge(uint32_t block, uint8_t* out) {
    if (IsDamaged(block)) {
        BuildBlockFromImage(block, out);
        return;
    }
    std::memset(out, 0, kBlockSize);
    ReadFlashData(block, kBlockSize, out);
}

// The list area reads as erased; picture bytes come from the image.
void CAlbumStore::BuildBlockFromImage(uint32_t block, uint8_t* out) const {
    std::memset(out, 0xFF, kBlockSize);
    const uint64_t areaStart = uint64_t{m_info.listAddress} + kListSize;
    const uint64_t from = std::max<uint64_t>(block, areaStart);
    const uint64_t to = std::min<uint64_t>(uint64_t{block} + kBlockSize, areaStart + m_dataImage.size());
    if (from < to) std::memcpy(out + (from - block), m_dataImage.data() + (from - areaStart), to - from);
}

// A block write broke off after its erase: the flash there is unknown. The image takes over the bytes the
// block was meant to keep (committed pictures, and what lies beyond the used area), so that the next write
// of the block can come from memory. The uncommitted pictures in the image are left alone.
void CAlbumStore::KeepIntendedBlock(uint32_t block, const uint8_t* content) {
    // Without an image there is nothing to rebuild the block from; its next write reads the frame.
    if (m_dataImage.empty()) return;
    const uint64_t areaStart = uint64_t{m_info.listAddress} + kListSize;
    const uint64_t from = std::max<uint64_t>(block, areaStart) - areaStart;
    const uint64_t to = std::min<uint64_t>(uint64_t{block} + kBlockSize, areaStart + m_dataImage.size()) - areaStart;
    auto keep = [&](uint64_t a, uint64_t b) {
        if (a < b) std::memmove(m_dataImage.data() + a, content + (areaStart + a - block), b - a);
    };
    if (uint64_t{block} + kBlockSize > areaStart && from < to) {
        keep(from, std::min<uint64_t>(to, m_committedLength));
        keep(std::max<uint64_t>(from, m_usedLength), to);
    }
    if (!IsDamaged(block)) m_damagedBlocks.push_back(block);
}

bool CAlbumStore::IsDamaged(uint32_t block) const {
    return std::find(m_damagedBlocks.begin(), m_damagedBlocks.end(), block) != m_damagedBlocks.end();
}

void CAlbumStore::ForgetDamage(uint32_t block) {
    m_damagedBlocks.erase(std::remove(m_damagedBlocks.begin(), m_damagedBlocks.end(), block), m_damagedBlocks.end());
}

}  // namespace fotolume::album
