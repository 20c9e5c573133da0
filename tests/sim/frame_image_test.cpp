#include <gtest/gtest.h>

#include <stdexcept>

#include "device/bytes.h"
#include "sim/frame_image.h"

namespace fotolume::sim {
namespace {

namespace dev = fotolume::device;

TEST(FrameImage, HeaderFieldsAreLittleEndianAtTheirOffsets) {
    const std::vector<uint8_t> img = BuildFrameImage({.width = 320, .height = 240, .listAddress = 0x40000,
                                                      .maxPictures = 300, .eraseOpcode = 0x20, .programFlag = true,
                                                      .yValue = 2, .quality = 75});
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
    const std::vector<uint8_t> img = BuildFrameImage({.listAddress = 0x30000, .dpfh = true});
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
    // A list off a 64 KB boundary or past the end, a flash too large for the 24-bit size field, no width.
    for (const NewFrame& f : {NewFrame{.listAddress = 0x10001}, NewFrame{.listAddress = 2 << 20},
                              NewFrame{.flashSize = 16 << 20}, NewFrame{.width = 0}}) {
        SCOPED_TRACE(std::to_string(f.flashSize) + " bytes, list at " + std::to_string(f.listAddress) + ", width " +
                     std::to_string(f.width));
        EXPECT_FALSE(CheckNewFrame(f).empty());
        EXPECT_THROW(BuildFrameImage(f), std::invalid_argument);
    }
    EXPECT_TRUE(CheckNewFrame(NewFrame{}).empty());
}

}  // namespace
}  // namespace fotolume::sim
