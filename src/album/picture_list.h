// The 4096-byte picture list: "ABFS", two RGB565 colours, 509 eight-byte entries, trailer 0x55 0xAA.
#pragma once

#include <cstdint>

#include "album/flash_layout.h"

namespace fotolume::album {

inline constexpr uint32_t kEntriesOffset = 16;
inline constexpr uint32_t kEntrySize = 8;
inline constexpr uint16_t kDefaultBackground = 0xFFFF;
inline constexpr uint16_t kDefaultFont = 0x0000;

struct PicEntry {
    uint8_t flag = 0;       // 1: the slot holds a picture
    uint32_t address = 0;   // absolute flash address of the first byte
    uint32_t length = 0;
};

// Magic at 0 and trailer at 4094.
bool IsListValid(const uint8_t list[kListSize]);

// A new empty list: magic, the two colours, trailer, everything else 0.
void InitEmptyList(uint8_t list[kListSize], uint16_t background, uint16_t font);

PicEntry ReadEntry(const uint8_t list[kListSize], int slot);
void WriteEntry(uint8_t list[kListSize], int slot, const PicEntry& entry);
void ClearEntry(uint8_t list[kListSize], int slot);

uint16_t ListBackground(const uint8_t list[kListSize]);
uint16_t ListFont(const uint8_t list[kListSize]);
void SetListColors(uint8_t list[kListSize], uint16_t font, uint16_t background);

// Rebuilds the list from its bytes 0..15, the trailer and every slot whose flag is not 0, in their old
// order from slot 0 on; the rest becomes 0.
void PackList(uint8_t list[kListSize]);

// Whether an entry's bytes lie inside the picture area L + 4096 .. T.
bool EntryInPictureArea(const PicEntry& entry, uint32_t listAddress, uint32_t flashTotalSize);

}  // namespace fotolume::album
