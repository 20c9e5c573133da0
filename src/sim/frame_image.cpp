#include "sim/frame_image.h"

#include <stdexcept>

#include "device/bytes.h"

namespace fotolume::sim {

namespace dev = fotolume::device;

std::string CheckNewFrame(const NewFrame& f) {
    if (f.flashSize == 0 || f.flashSize > 0xFFFFFF) return "flash size must be between 1 byte and 16 MB - 1";
    if (f.flashSize % 65536 != 0) return "flash size must be a multiple of 64 KB";
    if (f.width == 0 || f.height == 0) return "panel width and height must not be 0";
    if (f.listAddress == 0 || f.listAddress % 65536 != 0)
        return "picture-list address must be a non-zero multiple of 64 KB";
    if (static_cast<uint64_t>(f.listAddress) + 4096 >= f.flashSize)
        return "picture-list address leaves no picture area below the flash size";
    if (f.dpfh && f.listAddress <= kLayoutRecordAddress + 64) return "no room for the layout record";
    return {};
}

std::vector<uint8_t> BuildFrameImage(const NewFrame& f) {
    std::string problem = CheckNewFrame(f);
    if (!problem.empty()) throw std::invalid_argument(problem);
    std::vector<uint8_t> flash(f.flashSize, 0xFF);
    // The frame's own region: firmware data the companion must never touch; a fixed pattern makes any
    // stray write visible.
    for (uint32_t a = 512; a < f.listAddress; ++a) flash[a] = static_cast<uint8_t>((a * 7 + (a >> 8)) & 0xFF);

    uint8_t* h = flash.data();
    std::fill(h, h + 512, 0x00);
    const char name[] = "FOTOLUME SIMULATED FRAME";
    std::copy(name, name + sizeof name - 1, h);
    dev::WriteLe24(h + kHeaderListAddress, f.listAddress);
    dev::WriteLe16(h + kHeaderWidth, f.width);
    dev::WriteLe16(h + kHeaderHeight, f.height);
    h[kHeaderEraseOpcode] = f.eraseOpcode;
    h[kHeaderProgramFlag] = f.programFlag ? 1 : 0;
    dev::WriteLe24(h + kHeaderFlashSize, f.flashSize);
    dev::WriteLe16(h + kHeaderMaxPictures, f.maxPictures);
    h[kHeaderYValue] = f.yValue;
    h[kHeaderQuality] = f.quality;
    if (f.dpfh) {
        h[kHeaderDpfh] = 'D';
        h[kHeaderDpfh + 1] = 'P';
        h[kHeaderDpfh + 2] = 'F';
        h[kHeaderDpfh + 3] = 'H';
        uint8_t sum = 0;
        for (int i = 0; i < 4; ++i) sum = static_cast<uint8_t>(sum + h[kHeaderDpfh + i]);
        h[kHeaderDpfh + 4] = static_cast<uint8_t>(0x100 - sum);  // bytes 256..260 sum to 0
        dev::WriteLe24(h + kHeaderLayoutPointer, kLayoutRecordAddress + 512);
        uint8_t* record = flash.data() + kLayoutRecordAddress;
        std::fill(record, record + 64, 0x00);
        dev::WriteLe24(record + 11, f.listAddress);
    }
    return flash;
}

}  // namespace fotolume::sim
