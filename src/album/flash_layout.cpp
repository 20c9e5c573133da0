#include "album/flash_layout.h"

#include <cstdio>

#include "device/bytes.h"
#include "device/flash_cdb.h"

namespace fotolume::album {

using device::ReadLe16;
using device::ReadLe24;

using device::kOpErase4K;
using device::kOpErase64K;

DeviceInfo ParseHeader(const uint8_t header[kHeaderSize]) {
    DeviceInfo info;
    info.listAddress = ListAddressFromHeader(header);
    info.lcdWidth = ReadLe16(header + 35);
    info.lcdHeight = ReadLe16(header + 37);
    info.eraseOpcode = header[39];
    info.programFlag = header[40] != 0;
    info.reserved41 = header[41];
    info.reserved42 = header[42];
    info.flashTotalSize = ReadLe24(header + 43);
    info.maxPictures = ReadLe16(header + 46);
    info.yValue = header[48];
    info.picQuality = header[49];
    return info;
}

bool LayoutRecordAddress(const uint8_t header[kHeaderSize], uint32_t& recordAddress) {
    if (header[256] != 'D' || header[257] != 'P' || header[258] != 'F' || header[259] != 'H') return false;
    unsigned sum = 0;
    for (int i = 256; i <= 260; ++i) sum += header[i];
    if (sum % 256 != 0) return false;
    uint32_t pointer = ReadLe24(header + 261);
    // The record lies in the frame's own region behind the header; a pointer below that is damage.
    if (pointer < 2 * kHeaderSize) return false;
    recordAddress = pointer - kHeaderSize;
    return true;
}

uint32_t ListAddressFromLayoutRecord(const uint8_t record[kLayoutRecordSize]) {
    uint32_t e = ReadLe24(record + 11);
    if (e % kBlockSize == 0) return e;
    return e - e % kBlockSize + kBlockSize;
}

uint32_t ListAddressFromHeader(const uint8_t header[kHeaderSize]) { return ReadLe24(header + 32); }

uint32_t PictureAreaCapacity(uint32_t listAddress, uint32_t flashTotalSize) {
    uint64_t listEnd = uint64_t{listAddress} + kListSize;
    return flashTotalSize >= listEnd ? static_cast<uint32_t>(flashTotalSize - listEnd) : 0;
}

namespace {

bool PowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace

bool LayoutWritable(uint32_t listAddress, uint32_t flashTotalSize) {
    if (listAddress == 0 || listAddress % kBlockSize != 0) return false;
    if (!PowerOfTwo(flashTotalSize) || flashTotalSize % kBlockSize != 0) return false;
    return uint64_t{listAddress} + kBlockSize <= flashTotalSize;
}

bool PanelComposable(uint32_t width, uint32_t height) {
    return width >= 1 && height >= 1 && width <= kMaxPanelSide && height <= kMaxPanelSide;
}

std::string PanelProblem(const DeviceInfo& info) {
    if (PanelComposable(info.lcdWidth, info.lcdHeight)) return {};
    char text[160];
    if (info.lcdWidth == 0 || info.lcdHeight == 0) {
        std::snprintf(text, sizeof text, "the header's panel size %ux%u has a side of zero", info.lcdWidth,
                      info.lcdHeight);
    } else {
        std::snprintf(text, sizeof text, "the header's panel size %ux%u is larger than any frame's (at most %ux%u)",
                      info.lcdWidth, info.lcdHeight, kMaxPanelSide, kMaxPanelSide);
    }
    return text;
}

bool EraseOpcodeUsable(uint8_t eraseOpcode) { return eraseOpcode == kOpErase64K || eraseOpcode == kOpErase4K; }

uint32_t EraseUnitFor(uint8_t eraseOpcode) { return eraseOpcode == kOpErase4K ? 4096 : kBlockSize; }

std::string LayoutProblem(const DeviceInfo& info) {
    char text[160];
    if (info.listAddress == 0 || info.listAddress % kBlockSize != 0) {
        std::snprintf(text, sizeof text, "the picture list at 0x%06X is not on a 64 KB boundary above the header",
                      info.listAddress);
    } else if (!PowerOfTwo(info.flashTotalSize)) {
        std::snprintf(text, sizeof text, "the header's flash size %u bytes is not a power of two, as a flash chip's is",
                      info.flashTotalSize);
    } else if (info.flashTotalSize % kBlockSize != 0) {
        std::snprintf(text, sizeof text, "the flash size %u is not a whole number of 64 KB blocks", info.flashTotalSize);
    } else if (uint64_t{info.listAddress} + kBlockSize > info.flashTotalSize) {
        std::snprintf(text, sizeof text, "the picture list at 0x%06X lies past the end of a flash of %u bytes",
                      info.listAddress, info.flashTotalSize);
    } else if (!EraseOpcodeUsable(info.eraseOpcode)) {
        std::snprintf(text, sizeof text,
                      "the erase opcode 0x%02X is not one this program can use (0xD8 for 64 KB, 0x20 for 4 KB)",
                      info.eraseOpcode);
    } else {
        return PanelProblem(info);
    }
    return text;
}

}  // namespace fotolume::album
