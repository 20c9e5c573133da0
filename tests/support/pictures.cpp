#include "tests/support/pictures.h"

namespace fotolume::testsupport {

std::vector<std::uint8_t> PictureBytes(std::uint32_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x);
    }
    return bytes;
}

}  // namespace fotolume::testsupport
