// The picture list and the picture-data image: loading, reading pictures, adding, deleting, compaction
// and the two colours.
#include <algorithm>
#include <cstring>
#include <fstream>

#include "album/album_store.h"
#include "device/process_flash.h"

namespace fotolume::album {

void CAlbumStore::ReadPictureList() {
    const device::CFrameClaim claim = ClaimFrame(device::ClaimMode::Shared);
    if (!m_flash) throw CAlbumError(ErrTransfer);
    ResetAlbum();
    m_dataImage.assign(m_info.capacity, 0);
    const uint32_t listAddress = m_info.listAddress;
    if (uint64_t{listAddress} + kListSize > m_info.flashTotalSize) {
        // The list itself would lie past the flash end: nothing to read, and nothing may be written.
        InitEmptyList(m_pictureList.data(), kDefaultBackground, kDefaultFont);
        m_listLoaded = true;
        return;
    }
    uint8_t* list = m_pictureList.data();
    ReadFlashData(listAddress, kListSize, list);
    m_frameList.assign(list, list + kListSize);
    m_recovery.CheckListRead(list);
    if (!IsListValid(list)) {
        InitEmptyList(list, kDefaultBackground, kDefaultFont);
        m_listLoaded = true;
        return;
    }
    PackList(list);
    m_background = ListBackground(list);
    m_font = ListFont(list);
    // Only entries that are pictures inside the picture area stay: anything else would make a later
    // read, compaction or commit reach outside the image.
    int kept = 0;
    for (int slot = 0; slot < kMaxSlots; ++slot) {
        PicEntry entry = ReadEntry(list, slot);
        if (entry.flag == 0) continue;
        bool usable = entry.flag == 1 && entry.length > 0 &&
                      EntryInPictureArea(entry, listAddress, m_info.flashTotalSize) &&
                      entry.length <= m_freeBytes;
        if (!usable) {
            m_changedOnLoad = true;
            continue;
        }
        WriteEntry(list, kept++, entry);
        m_freeBytes -= entry.length;
        m_usedLength = std::max(m_usedLength, entry.address - listAddress - kListSize + entry.length);
    }
    for (int slot = kept; slot < kMaxSlots; ++slot) ClearEntry(list, slot);
    m_pictureCount = kept;
    m_committedLength = m_usedLength;
    m_listLoaded = true;
}

bool CAlbumStore::GetPictureEntry(int index, PicEntry& entry) const {
    if (index < 0 || index >= m_pictureCount) return false;
    entry = ReadEntry(m_pictureList.data(), index);
    return true;
}

uint32_t CAlbumStore::LoadPicture(int index) {
    PicEntry entry;
    if (!GetPictureEntry(index, entry)) return 0;
    uint32_t offset = entry.address - m_info.listAddress - kListSize;
    ReadFlashData(entry.address, entry.length, m_dataImage.data() + offset);
    return entry.length;
}

uint32_t CAlbumStore::ReadPicture(int index, uint8_t* buffer, uint32_t bufferSize) {
    PicEntry entry;
    if (!GetPictureEntry(index, entry) || buffer == nullptr || entry.length > bufferSize) return 0;
    uint32_t length = LoadPicture(index);
    std::memcpy(buffer, PictureData(index), length);
    return length;
}

const uint8_t* CAlbumStore::PictureData(int index) const {
    PicEntry entry;
    if (!GetPictureEntry(index, entry)) return nullptr;
    return m_dataImage.data() + (entry.address - m_info.listAddress - kListSize);
}

uint32_t CAlbumStore::GetFreeSpaceForPicture() const {
    const uint32_t maxPictures = m_info.maxPictures;
    if (maxPictures == 0) return m_freeBytes;
    if (static_cast<uint32_t>(m_pictureCount) >= maxPictures) return 0;
    return m_freeBytes / (maxPictures - static_cast<uint32_t>(m_pictureCount));
}

bool CAlbumStore::AddPicture(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    file.seekg(0, std::ios::end);
    std::streamoff size = file.tellg();
    if (size <= 0 || size > std::streamoff{m_info.capacity}) return false;
    file.seekg(0);
    return PlacePicture(static_cast<uint32_t>(size), [&file](uint8_t* into, uint32_t length) {
        file.read(reinterpret_cast<char*>(into), length);
        return file.gcount() == std::streamsize{length};
    });
}

bool CAlbumStore::AddPictureData(const uint8_t* data, uint32_t size) {
    if (data == nullptr) return false;
    return PlacePicture(size, [data](uint8_t* into, uint32_t length) {
        std::memcpy(into, data, length);
        return true;
    });
}

bool CAlbumStore::PlacePicture(uint32_t size, const std::function<bool(uint8_t*, uint32_t)>& fill) {
    if (!m_listLoaded || m_pictureCount >= kMaxSlots) return false;
    if (size == 0 || size > GetFreeSpaceForPicture()) return false;
    if (m_info.capacity - m_usedLength < size) CompactImage();
    if (!fill(m_dataImage.data() + m_usedLength, size)) return false;
    uint8_t* list = m_pictureList.data();
    if (!IsListValid(list)) {
        std::memcpy(list, "ABFS", 4);
        list[4094] = 0x55;
        list[4095] = 0xAA;
    }
    WriteEntry(list, m_pictureCount, PicEntry{1, m_info.listAddress + kListSize + m_usedLength, size});
    ++m_pictureCount;
    m_freeBytes -= size;
    m_usedLength += size;
    return true;
}

bool CAlbumStore::DeletePicture(int index) {
    if (index < 0 || index >= m_pictureCount) return false;
    uint8_t* list = m_pictureList.data();
    PackList(list);
    const uint32_t length = ReadEntry(list, index).length;
    for (int slot = index; slot + 1 < m_pictureCount; ++slot) WriteEntry(list, slot, ReadEntry(list, slot + 1));
    ClearEntry(list, m_pictureCount - 1);
    // With the last picture gone the next one starts the area again.
    if (m_pictureCount == 1) {
        m_committedLength = 0;
        m_usedLength = 0;
    }
    m_freeBytes += length;
    --m_pictureCount;
    return true;
}

// Moves the pictures to the start of the image, back to back in list order; the whole area is then
// written again by the next commit.
void CAlbumStore::CompactImage() {
    uint8_t* list = m_pictureList.data();
    const uint32_t areaStart = m_info.listAddress + kListSize;
    bool inOrder = true;
    uint32_t previousEnd = 0;
    for (int slot = 0; slot < m_pictureCount; ++slot) {
        PicEntry entry = ReadEntry(list, slot);
        uint32_t offset = entry.address - areaStart;
        if (offset < previousEnd) inOrder = false;
        previousEnd = offset + entry.length;
    }
    // Pictures already in address order move down in place; otherwise through a second image.
    std::vector<uint8_t> scratch;
    if (!inOrder) scratch.assign(m_info.capacity, 0);
    uint8_t* target = inOrder ? m_dataImage.data() : scratch.data();
    uint32_t d = 0;
    for (int slot = 0; slot < m_pictureCount; ++slot) {
        PicEntry entry = ReadEntry(list, slot);
        std::memmove(target + d, m_dataImage.data() + (entry.address - areaStart), entry.length);
        entry.address = areaStart + d;
        WriteEntry(list, slot, entry);
        d += entry.length;
    }
    if (!inOrder) std::memcpy(m_dataImage.data(), scratch.data(), d);
    m_committedLength = 0;
    m_usedLength = m_info.capacity - m_freeBytes;
}

void CAlbumStore::GetColors(uint16_t& font, uint16_t& background) const {
    font = m_font;
    background = m_background;
}

void CAlbumStore::FreeDataImage() { ResetAlbum(); }

}  // namespace fotolume::album
