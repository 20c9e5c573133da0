#include "album/picture_list.h"

#include <cstring>

#include "device/bytes.h"

namespace fotolume::album {

using device::ReadLe16;
using device::ReadLe24;
using device::WriteLe16;
using device::WriteLe24;

namespace {
uint8_t* Slot(uint8_t* list, int slot) { return list + kEntriesOffset + kEntrySize * static_cast<uint32_t>(slot); }
const uint8_t* Slot(const uint8_t* list, int slot) {
    return list + kEntriesOffset + kEntrySize * static_cast<uint32_t>(slot);
}
}  // namespace

bool IsListValid(const uint8_t list[kListSize]) {
    return std::memcmp(list, "ABFS", 4) == 0 && list[4094] == 0x55 && list[4095] == 0xAA;
}

void InitEmptyList(uint8_t list[kListSize], uint16_t background, uint16_t font) {
    std::memset(list, 0, kListSize);
    std::memcpy(list, "ABFS", 4);
    WriteLe16(list + 4, background);
    WriteLe16(list + 6, font);
    list[4094] = 0x55;
    list[4095] = 0xAA;
}

PicEntry ReadEntry(const uint8_t list[kListSize], int slot) {
    const uint8_t* s = Slot(list, slot);
    return PicEntry{s[0], ReadLe24(s + 1), ReadLe24(s + 5)};
}

void WriteEntry(uint8_t list[kListSize], int slot, const PicEntry& entry) {
    uint8_t* s = Slot(list, slot);
    s[0] = entry.flag;
    WriteLe24(s + 1, entry.address);
    s[4] = 0;
    WriteLe24(s + 5, entry.length);
}

void ClearEntry(uint8_t list[kListSize], int slot) { std::memset(Slot(list, slot), 0, kEntrySize); }

uint16_t ListBackground(const uint8_t list[kListSize]) { return ReadLe16(list + 4); }
uint16_t ListFont(const uint8_t list[kListSize]) { return ReadLe16(list + 6); }

void SetListColors(uint8_t list[kListSize], uint16_t font, uint16_t background) {
    WriteLe16(list + 4, background);
    WriteLe16(list + 6, font);
}

void PackList(uint8_t list[kListSize]) {
    // In place: the write position never passes the read position.
    int out = 0;
    for (int slot = 0; slot < kMaxSlots; ++slot) {
        const uint8_t* s = Slot(list, slot);
        if (s[0] == 0) continue;
        if (out != slot) std::memmove(Slot(list, out), s, kEntrySize);
        ++out;
    }
    std::memset(Slot(list, out), 0, kListSize - kEntriesOffset - kEntrySize * static_cast<uint32_t>(out));
    list[4094] = 0x55;
    list[4095] = 0xAA;
}

bool EntryInPictureArea(const PicEntry& entry, uint32_t listAddress, uint32_t flashTotalSize) {
    uint64_t start = uint64_t{listAddress} + kListSize;
    return entry.address >= start && uint64_t{entry.address} + entry.length <= flashTotalSize;
}

}  // namespace fotolume::album
