// Feeds arbitrary bytes to the frame picture stream decoder and writes the result as a BMP in memory.
#include <cstddef>
#include <cstdint>

#include "codec/bmp_file.h"
#include "codec/stream_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fotolume::codec;
    JPGEncode decoder;
    // 0 x 0 accepts any size, as a caller without a panel would.
    if (decoder.DecodeStream({data, size}, 0, 0)) {
        const auto bmp = MakeBmpFile(decoder.VideoBuff().data(), static_cast<std::size_t>(decoder.RoundedWidth()) * 3,
                                     decoder.TrueWidth(), decoder.Height(), 3, 300);
        if (bmp.size() < 54) __builtin_trap();
    }
    return 0;
}
