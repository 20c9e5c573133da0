// CompressImage: walks the picture MCU by MCU, writing a frame picture stream or a JFIF file.
#include "codec/stream_encoder.h"

#include "codec/byte_order.h"
#include "codec/codec_tables.h"

namespace fotolume::codec {

namespace {

constexpr int kMaxSide = 65535;  // width and height are 16-bit fields of the stream
// Worst case of one coded block: an 11-bit DC code with 11 value bits, then 63 coefficients of at most
// 16 code and 10 value bits each.
constexpr std::size_t kMaxBlockBytes = (11 + 11 + 63 * (16 + 10) + 7) / 8;
constexpr std::size_t kJfifHeaderBytes = 2 + 18 + 2 + kQuantSegmentSize + 2 + kHuffSegmentSize + 19 + 14;

std::size_t PixelStride(int width) { return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3}; }

}  // namespace

std::size_t CQuillJpegEncoder::MaxStreamSize(int width, int height, int mode, bool jfif) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide || mode < 0 || mode > 15) return 0;
    const int mcuWidth = (mode & kModeWide) ? 16 : 8;
    const int mcuHeight = (mode & kModeTall) ? 16 : 8;
    const std::size_t mcus = static_cast<std::size_t>((width + mcuWidth - 1) / mcuWidth) *
                             static_cast<std::size_t>((height + mcuHeight - 1) / mcuHeight);
    const std::size_t mcuBytes = static_cast<std::size_t>(nY[mode & 3] + 2) * kMaxBlockBytes + 1;
    if (jfif) return kJfifHeaderBytes + mcus * mcuBytes * 2 + 4;  // every byte may need a stuffed 0x00
    std::size_t size = kHeaderSize + mcus * mcuBytes;
    if (!(mode & kModeNoOffsets)) size += mcus * kOffsetEntrySize;
    if (!(mode & kModeNoTables)) size += kQuantSegmentSize + kHuffSegmentSize;
    return size;
}

bool CQuillJpegEncoder::CompressImage(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                                      int width, int height, std::size_t& size, int mode) {
    size = 0;
    if (input.data() == nullptr || output.data() == nullptr) return false;
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return false;
    if (mode < 0 || mode > 15) return false;
    const std::size_t stride = PixelStride(width);
    if (input.size() < stride * static_cast<std::size_t>(height)) return false;

    m_width = static_cast<std::uint16_t>(width);
    m_height = static_cast<std::uint16_t>(height);
    m_sampling = mode & 3;
    m_mode = mode;
    m_lumBlocks = nY[m_sampling];
    m_mcuWidth = (mode & kModeWide) ? 16 : 8;
    m_mcuHeight = (mode & kModeTall) ? 16 : 8;
    m_mcuColumns = (width + m_mcuWidth - 1) / m_mcuWidth;
    m_mcuRows = (height + m_mcuHeight - 1) / m_mcuHeight;
    m_dcPredictors = {0, 0, 0};
    m_freeBits = 64;
    m_bitBuffer = 0;
    m_offsetEntry = nullptr;
    m_out = output.data();
    m_outEnd = output.data() + output.size();
    m_overflow = false;

    if (!WriteJpegHeader()) return false;

    alignas(16) std::uint8_t tile[16 * 48];
    const std::uint8_t* rows[16];
    for (int mcuY = 0; mcuY < m_mcuRows; ++mcuY) {
        for (int mcuX = 0; mcuX < m_mcuColumns; ++mcuX) {
            GatherTile(input.data(), stride, mcuX, mcuY, tile, rows);
            if (!CompressOneTile(rows)) return false;
        }
    }
    if (m_bJfif) {
        FinishByte();
        PutByte(0xFF);
        PutByte(0xD9);
    }
    if (m_overflow) return false;
    size = static_cast<std::size_t>(m_out - output.data());
    return true;
}

bool CQuillJpegEncoder::CompressOneTile(const std::uint8_t* const* rows) {
    CoefBlock blocks[kMaxMcuBlocks];
    TransformMcu(rows, m_sampling, m_bJfif, m_lumQuant, m_chromQuant, blocks);

    if (!m_bJfif && m_offsetEntry != nullptr) {
        // Predictors in force before this MCU, and the distance from the entry to the MCU's first byte
        // kept to 16 bits (it wraps in very large streams; frames expect exactly that).
        write_u16le(m_offsetEntry, static_cast<std::uint16_t>(m_dcPredictors[0]));
        write_u16le(m_offsetEntry + 2, static_cast<std::uint16_t>(m_dcPredictors[1]));
        write_u16le(m_offsetEntry + 4, static_cast<std::uint16_t>(m_dcPredictors[2]));
        write_u16le(m_offsetEntry + 6, static_cast<std::uint16_t>(m_out - m_offsetEntry));
        m_offsetEntry += kOffsetEntrySize;
    }

    const bool ok = HuffmanEncode(blocks);
    if (!m_bJfif) FinishByte();
    return ok && !m_overflow;
}

}  // namespace fotolume::codec
