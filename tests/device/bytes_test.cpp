#include <gtest/gtest.h>

#include <vector>

#include "device/bytes.h"
#include "device/checksum.h"

namespace fotolume::device {
namespace {

TEST(Bytes, LittleAndBigEndianPlaceBytesInOppositeOrder) {
    uint8_t b[4] = {};
    WriteLe24(b, 0x123456);
    EXPECT_EQ(b[0], 0x56);
    EXPECT_EQ(b[1], 0x34);
    EXPECT_EQ(b[2], 0x12);
    EXPECT_EQ(ReadLe24(b), 0x123456u);
    WriteBe24(b, 0x123456);
    EXPECT_EQ(b[0], 0x12);
    EXPECT_EQ(b[2], 0x56);
    EXPECT_EQ(ReadBe24(b), 0x123456u);
    WriteLe32(b, 0xFEDCBA98u);
    EXPECT_EQ(ReadLe32(b), 0xFEDCBA98u);
    EXPECT_EQ(b[3], 0xFE);
    WriteLe16(b, 0xBEEF);
    EXPECT_EQ(ReadLe16(b), 0xBEEF);
    WriteBe16(b, 0xBEEF);
    EXPECT_EQ(b[0], 0xBE);
    EXPECT_EQ(ReadBe16(b), 0xBEEF);
}

TEST(Checksum, SumsUnsignedBytesModulo65536) {
    std::vector<uint8_t> ff(65536, 0xFF);
    // 65536 * 255 = 0xFF0000, whose low 16 bits are 0.
    EXPECT_EQ(ByteSum16(ff.data(), ff.size()), 0x0000);
    EXPECT_EQ(ByteSum16(ff.data(), 257), static_cast<uint16_t>(257 * 255));
    const uint8_t some[] = {0x80, 0x90, 0x01};
    EXPECT_EQ(ByteSum16(some, 3), 0x0111);
    EXPECT_EQ(ByteSum16(some, 0), 0);
}

}  // namespace
}  // namespace fotolume::device
