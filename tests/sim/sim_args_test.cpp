#include <gtest/gtest.h>

#include "sim/sim_args.h"

namespace fotolume::sim {
namespace {

TEST(SimArgs, NumbersTakeSuffixesAndHex) {
    uint64_t v = 0;
    const std::pair<const char*, uint64_t> good[] = {
        {"2M", 2u << 20}, {"512K", 512u << 10}, {"0x10000", 0x10000}, {"0", 0}};
    for (const auto& [text, value] : good) {
        v = 1;
        EXPECT_TRUE(ParseNumber(text, UINT64_MAX, v)) << text;
        EXPECT_EQ(v, value) << text;
    }
    for (const char* bad : {"", "-1", "12Q", "abc", "0x", "99999999999999999999999"})
        EXPECT_FALSE(ParseNumber(bad, UINT64_MAX, v)) << bad;
    EXPECT_FALSE(ParseNumber("256", 255, v));
    EXPECT_FALSE(ParseNumber("17M", 0xFFFFFF, v));
    uint16_t w = 0, h = 0;
    EXPECT_TRUE(ParsePanel("320x240", w, h));
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    EXPECT_FALSE(ParsePanel("320", w, h));
    EXPECT_FALSE(ParsePanel("0x240", w, h));
}

TEST(SimArgs, CreateAndServeOptions) {
    CreateArgs c;
    ASSERT_EQ(ParseCreateArgs({"f.img", "--flash-size", "4M", "--panel", "160x128", "--list-address", "0x40000",
                               "--max-pictures", "50", "--erase-opcode", "0x20", "--program-flag", "--dpfh",
                               "--y-value", "2", "--quality", "80"},
                              c),
              "");
    EXPECT_EQ(c.image, "f.img");
    EXPECT_EQ(c.frame.flashSize, 4u << 20);
    EXPECT_EQ(c.frame.width, 160);
    EXPECT_EQ(c.frame.listAddress, 0x40000u);
    EXPECT_EQ(c.frame.maxPictures, 50);
    EXPECT_EQ(c.frame.eraseOpcode, 0x20);
    EXPECT_TRUE(c.frame.programFlag && c.frame.dpfh);
    EXPECT_EQ(c.frame.quality, 80);
    EXPECT_EQ(c.demo, 0);
    ASSERT_EQ(ParseCreateArgs({"f.img", "--demo", "6"}, c), "");
    EXPECT_EQ(c.demo, 6);
    CreateArgs bad;
    EXPECT_NE(ParseCreateArgs({"f.img", "--demo", "510"}, bad), "") << "more than a list holds";
    EXPECT_NE(ParseCreateArgs({"f.img", "--bogus"}, bad), "");
    EXPECT_NE(ParseCreateArgs({"--panel", "10x10"}, bad), "") << "no image";
    EXPECT_NE(ParseCreateArgs({"f.img", "--list-address", "0x1000"}, bad), "") << "not a 64 KB multiple";

    ServeArgs s;
    ASSERT_EQ(ParseServeArgs({"f.img", "--socket", "d/x.sock", "--vendor", "Acme", "--fail-command", "5",
                              "--corrupt-read", "6", "--bad-checksum", "7", "--vanish-after", "8", "--busy-polls", "9"},
                             s),
              "");
    EXPECT_EQ(s.socket, "d/x.sock");
    EXPECT_EQ(s.options.vendor, "Acme");
    EXPECT_EQ(s.faults.failCommand, 5u);
    EXPECT_EQ(s.faults.corruptRead, 6u);
    EXPECT_EQ(s.faults.badChecksum, 7u);
    EXPECT_EQ(s.faults.vanishAfter, 8u);
    EXPECT_EQ(s.faults.busyPolls, 9u);
    EXPECT_FALSE(s.realTime);
    ASSERT_EQ(ParseServeArgs({"f.img", "--real-time", "--socket", "x.sock"}, s), "");
    EXPECT_TRUE(s.realTime) << "a flag, so the socket is not taken for its value";
    EXPECT_EQ(s.socket, "x.sock");
    ServeArgs noSocket;
    EXPECT_NE(ParseServeArgs({"f.img"}, noSocket), "");
    EXPECT_NE(ParseServeArgs({"f.img", "--socket"}, noSocket), "");
}

}  // namespace
}  // namespace fotolume::sim
