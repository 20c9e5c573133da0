// Deterministic stand-ins for picture streams: the album stores them as opaque bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace fotolume::testsupport {

// size bytes; different seeds give different bytes, the same seed the same ones.
std::vector<std::uint8_t> PictureBytes(std::uint32_t size, std::uint32_t seed);

}  // namespace fotolume::testsupport
