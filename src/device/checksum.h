// The frame's checksum rule: the 16-bit sum of all bytes of a range, each taken unsigned, modulo 65536.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fotolume::device {

uint16_t ByteSum16(const uint8_t* data, size_t length);

}  // namespace fotolume::device
