// A new frame's flash: the 512-byte header, the frame's own region, an erased picture-list area and an
// erased picture area. Used by `fotolume-sim create` and by tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fotolume::sim {

struct NewFrame {
    uint32_t flashSize = 2 << 20;
    uint16_t width = 128, height = 128;
    uint32_t listAddress = 0x10000;  // a multiple of 64 KB
    uint16_t maxPictures = 0;
    uint8_t eraseOpcode = 0xD8;
    bool programFlag = false;
    uint8_t yValue = 4;
    uint8_t quality = 90;
    bool dpfh = false;  // also write a DPFH record and its layout record naming the list address
};

// Header offsets.
inline constexpr uint32_t kHeaderListAddress = 32, kHeaderWidth = 35, kHeaderHeight = 37, kHeaderEraseOpcode = 39,
                          kHeaderProgramFlag = 40, kHeaderFlashSize = 43, kHeaderMaxPictures = 46,
                          kHeaderYValue = 48, kHeaderQuality = 49, kHeaderDpfh = 256, kHeaderLayoutPointer = 261;
// Where the layout record of a DPFH header is put (inside the frame's own region).
inline constexpr uint32_t kLayoutRecordAddress = 0x800;

// Empty text when the frame can be built, else why not.
std::string CheckNewFrame(const NewFrame& frame);
// The whole flash. Throws std::invalid_argument with CheckNewFrame's text for an impossible frame.
std::vector<uint8_t> BuildFrameImage(const NewFrame& frame);

}  // namespace fotolume::sim
