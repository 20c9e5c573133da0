#include <gtest/gtest.h>

#include <stdexcept>

#include "device/bytes.h"
#include "sim/frame_image.h"

namespace fotolume::sim {
namespace {

namespace dev = fotolume::device;

TEST(FrameImage, HeaderFieldsAreLittleEndianAtTheirOffsets) {
    NewFrame f;
    f.width = 320;
    f.height = 240;
    f.listAddress = 0x40000;
    f.maxPictures = 300;
    f.eraseOpcode = 0x20;
    f.programFlag = true;
    f.yValue = 2;
    f.quality = 75;
    std::vector<uint8_t> img = BuildFrameImage(f);
    ASSERT_EQ(img.size(), 2u << 20);
    EXPECT_EQ(dev::ReadLe24(&img[32]), 0x40000u);
    EXPECT_EQ(dev::ReadLe16(&img[35]), 320);
    EXPECT_EQ(dev::ReadLe16(&img[37]), 240);
    EXPECT_EQ(img[39], 0x20);
    EXPECT_EQ(img[40], 1);
    EXPECT_EQ(dev::ReadLe24(&img[43]), 2u << 20);
    EXPECT_EQ(dev::ReadLe16(&img[46]), 300);
    EXPECT_EQ(img[48], 2);
    EXPECT_EQ(img[49], 75);
    EXPECT_NE(img[256], 'D') << "no DPFH record unless asked";
    // The list and the picture area are erased; the frame's own region is not.
    for (uint32_t a = 0x40000; a < img.size(); a += 997) ASSERT_EQ(img[a], 0xFF) << a;
    bool ownData = false;
    for (uint32_t a = 512; a < 0x40000; ++a) ownData |= img[a] != 0xFF;
    EXPECT_TRUE(ownData);
}

TEST(FrameImage, DpfhRecordPointsToALayoutRecordNamingTheList) {
    NewFrame f;
    f.dpfh = true;
    f.listAddress = 0x30000;
    std::vector<uint8_t> img = BuildFrameImage(f);
    EXPECT_EQ(std::string(img.begin() + 256, img.begin() + 260), "DPFH");
    EXPECT_EQ(img[260], 0xDE);
    uint8_t sum = 0;
    for (int i = 256; i <= 260; ++i) sum = static_cast<uint8_t>(sum + img[i]);
    EXPECT_EQ(sum, 0);
    uint32_t p = dev::ReadLe24(&img[261]);
    ASSERT_GE(p, 1024u);
    EXPECT_EQ(dev::ReadLe24(&img[p - 512 + 11]), 0x30000u);
}

TEST(FrameImage, ImpossibleLayoutsAreRefused) {
    NewFrame f;
    f.listAddress = 0x10001;
    EXPECT_THROW(BuildFrameImage(f), std::invalid_argument);
    f.listAddress = 2 << 20;
    EXPECT_THROW(BuildFrameImage(f), std::invalid_argument);
    f = NewFrame{};
    f.flashSize = 16 << 20;  // does not fit the 24-bit size field
    EXPECT_THROW(BuildFrameImage(f), std::invalid_argument);
    f = NewFrame{};
    f.width = 0;
    EXPECT_FALSE(CheckNewFrame(f).empty());
    EXPECT_TRUE(CheckNewFrame(NewFrame{}).empty());
}

}  // namespace
}  // namespace fotolume::sim
