// The commit: the list on the frame is invalidated first, the new picture data is written while no
// valid list exists, and the list is written last.
#include <algorithm>
#include <cstring>

#include "album/album_store.h"
#include "device/process_flash.h"

namespace fotolume::album {

void CAlbumStore::WritePictureData(uint32_t address, uint32_t length, const uint8_t* source) {
    // The listed pictures in flash order, to tell which picture each block carries.
    struct Mark {
        uint32_t address;
        int slot;
    };
    std::vector<Mark> marks;
    marks.reserve(static_cast<size_t>(m_pictureCount));
    for (int slot = 0; slot < m_pictureCount; ++slot) marks.push_back({ReadEntry(m_pictureList.data(), slot).address, slot});
    std::stable_sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) { return a.address < b.address; });

    size_t next = 0;
    int current = -1;  // the picture whose data runs on into the next block
    const int total = static_cast<int>(length);
    RangeHooks hooks;
    hooks.beforeBlock = [&](uint32_t low, uint32_t high, uint32_t done) {
        bool reported = false;
        for (; next < marks.size() && marks[next].address < high; ++next) {
            current = marks[next].slot;
            if (marks[next].address >= low) {
                Report(current + 1, static_cast<int>(done), total);
                reported = true;
            }
        }
        if (!reported && current >= 0) Report(current + 1, static_cast<int>(done), total);
    };
    hooks.stopAfter = [this](uint32_t frontier) {
        if (!StopRequested()) return false;
        StopDataWrite(frontier);
        return true;
    };
    WriteRange(address, length, source, &hooks);
}

// Keeps only the pictures whose bytes all lie below `frontier`: on the frame before this commit, or in
// blocks this commit has written and verified.
void CAlbumStore::StopDataWrite(uint32_t frontier) {
    const uint32_t areaStart = m_info.listAddress + kListSize;
    const uint32_t written = frontier > areaStart ? frontier - areaStart : 0;
    for (int slot = m_pictureCount - 1; slot >= 0; --slot) {
        PicEntry entry = ReadEntry(m_pictureList.data(), slot);
        if (entry.address - areaStart + entry.length > written) DeletePicture(slot);
    }
}

bool CAlbumStore::CommitAlbum() {
    const device::CFrameClaim claim = ClaimFrame(device::ClaimMode::Exclusive);
    if (!m_flash) throw CAlbumError(ErrTransfer);
    if (!m_listLoaded) return false;
    // Checked before anything is erased: the list block must lie above the frame's own region.
    RequireWritableLayout();
    if (m_recovery.pending) throw CAlbumError(ErrRecoveryPending);
    const uint32_t listAddress = m_info.listAddress;
    m_flash->FlashWakeUp();
    if (m_usedLength != m_committedLength) {
        Report(m_pictureCount, 1, 100);
        // The block at L keeps committed pictures behind the list: save them before anything is erased.
        // A failed read ends the commit here, with the frame untouched.
        uint8_t* block = m_mergeBuffer.data();
        LoadBlockForMerge(listAddress, block);
        WriteRecoveryRecord(IsDamaged(listAddress) ? nullptr : block, m_pictureList.data(), false);
        Report(m_pictureCount, 2, 100);
        // The list area goes back to erased; from this write on the frame holds no valid list.
        std::memset(block, 0xFF, kListSize);
        WriteDataToFlash(listAddress, block);
        Report(m_pictureCount, 3, 100);
        WritePictureData(listAddress + kListSize + m_committedLength, m_usedLength - m_committedLength,
                         m_dataImage.data() + m_committedLength);
    } else if (!GetRecoveryFolder().empty()) {
        // The list write below erases the list block too.
        uint8_t frameList[kListSize];
        const bool known = !IsDamaged(listAddress);
        if (known) ReadFlashData(listAddress, kListSize, frameList);
        WriteRecoveryRecord(known ? frameList : nullptr, m_pictureList.data(), false);
    }
    Report(m_pictureCount, 99, 100);
    WriteFlashRange(listAddress, kListSize, m_pictureList.data());
    m_committedLength = m_usedLength;
    FinishRecoveryRecord();
    return true;
}

}  // namespace fotolume::album
