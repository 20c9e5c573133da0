#include "device/checksum.h"

namespace fotolume::device {

uint16_t ByteSum16(const uint8_t* data, size_t length) {
    uint32_t sum = 0;
    for (size_t i = 0; i < length; ++i) sum += data[i];
    return static_cast<uint16_t>(sum);
}

}  // namespace fotolume::device
