// The compact application's album operations.
#include <gtest/gtest.h>

#include <string>

#include "album/compact_store.h"
#include "tests/album/album_fixture.h"

namespace fotolume::album::testing {
namespace {

constexpr uint32_t kL = 0x10000;
constexpr uint32_t kArea = kL + kListSize;

// The compact program's view of a new frame: its own link and flash access.
struct CompactFrame : AlbumFrame, testsupport::FrameLink {
    CompactFrame() : FrameLink(emulator, device::Variant::Compact) {}
};

TEST(CompactStoreTest, HeaderAndEmptyListWithZeroColours) {
    CompactFrame c;
    DeviceInfo info;
    ASSERT_TRUE(compact::GetInformation(*c.flash, info));
    EXPECT_EQ(info.listAddress, kL);
    EXPECT_EQ(info.yValue, 4);
    EXPECT_EQ(info.picQuality, 90);
    uint8_t list[kListSize];
    ASSERT_TRUE(compact::ReadPictureList(*c.flash, info, list));
    EXPECT_TRUE(IsListValid(list));
    EXPECT_EQ(ListBackground(list), 0);
    EXPECT_EQ(ListFont(list), 0);
}

TEST(CompactStoreTest, MovePicAddressKeepsTheFirstFlaggedSlotsAndClearsTheTrailer) {
    uint8_t list[kListSize];
    InitEmptyList(list, 1, 2);
    WriteEntry(list, 0, {1, kArea, 10});
    WriteEntry(list, 2, {3, kArea + 10, 20});
    WriteEntry(list, 3, {255, kArea + 30, 5});
    WriteEntry(list, 4, {1, kArea + 40, 7});
    WriteEntry(list, 5, {1, kArea + 50, 8});
    compact::MovePicAddressInPicList(list, 3);
    EXPECT_EQ(ReadEntry(list, 0).address, kArea);
    EXPECT_EQ(ReadEntry(list, 1).flag, 3);
    EXPECT_EQ(ReadEntry(list, 2).address, kArea + 40);
    EXPECT_EQ(ReadEntry(list, 3).flag, 0);
    EXPECT_EQ(list[4094], 0);
    EXPECT_EQ(list[4095], 0);
    EXPECT_EQ(ListBackground(list), 1);
}

TEST(CompactStoreTest, VerifiedReadAndBlockWrites) {
    CompactFrame c;
    DeviceInfo info;
    ASSERT_TRUE(compact::GetInformation(*c.flash, info));
    const auto block = Picture(kBlockSize, 1);
    c.backend->ClearSent();
    ASSERT_TRUE(compact::WriteDataToFlash(*c.flash, info, block.data(), kBlockSize, 0x30000));
    // One erase, one program of the whole block, one checksum.
    int programs = 0;
    for (const auto& s : c.backend->SentCommands()) {
        if (s.cdb[0] == 0xCB && s.cdb[10] == 0x02) {
            ++programs;
            EXPECT_EQ(s.length, kBlockSize);
        }
    }
    EXPECT_EQ(programs, 1);
    std::vector<uint8_t> out(kBlockSize);
    ASSERT_TRUE(compact::ReadFlashData(*c.flash, out.data(), kBlockSize, 0x30000));
    EXPECT_EQ(out, block);

    // Off a block boundary the enclosing block is read, merged and written whole.
    const auto piece = Picture(1000, 2);
    ASSERT_TRUE(compact::WriteDataToFlash(*c.flash, info, piece.data(), 1000, 0x30000 + 500));
    auto expected = block;
    std::copy(piece.begin(), piece.end(), expected.begin() + 500);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), c.emulator.Flash().begin() + 0x30000));
    // Below the list block nothing is written.
    const auto below = std::vector<uint8_t>(c.emulator.Flash().begin(), c.emulator.Flash().begin() + kL);
    EXPECT_FALSE(compact::WriteDataToFlash(*c.flash, info, block.data(), kBlockSize, 0));
    EXPECT_FALSE(compact::WriteDataToFlash(*c.flash, info, piece.data(), 1000, kL - 500));
    EXPECT_TRUE(std::equal(below.begin(), below.end(), c.emulator.Flash().begin()));
}

// The compact program keeps its one program command per block with the 4 KB erase opcode too: every sector
// of the block is erased first, whatever it holds.
TEST(CompactStoreTest, TheSectorEraseOpcodeErasesTheWholeBlockBeforeOneProgram) {
    CompactFrame c;
    c.emulator.Flash()[sim::kHeaderEraseOpcode] = 0x20;
    DeviceInfo info;
    ASSERT_TRUE(compact::GetInformation(*c.flash, info));
    const auto block = Picture(kBlockSize, 4);
    std::copy(block.begin(), block.end(), c.emulator.Flash().begin() + 0x30000);
    c.backend->ClearSent();
    ASSERT_TRUE(compact::WriteDataToFlash(*c.flash, info, block.data(), kBlockSize, 0x30000));
    std::string writes;
    for (const auto& s : c.backend->SentCommands()) {
        const uint32_t address = uint32_t{s.cdb[11]} << 16 | uint32_t{s.cdb[12]} << 8 | s.cdb[13];
        if (s.cdb[0] == 0xCB && s.cdb[10] == 0x20) writes += "E" + std::to_string((address - 0x30000) / 4096) + " ";
        if (s.cdb[0] == 0xCB && s.cdb[10] == 0x02) writes += "P" + std::to_string(s.length) + " ";
    }
    EXPECT_EQ(writes, "E0 E1 E2 E3 E4 E5 E6 E7 E8 E9 E10 E11 E12 E13 E14 E15 P65536 ");
}

TEST(CompactStoreTest, AFailedChecksumQueryCountsAsAMismatch) {
    CompactFrame c;
    DeviceInfo info;
    ASSERT_TRUE(compact::GetInformation(*c.flash, info));
    std::vector<uint8_t> out(4096);
    c.emulator.PowerCycle();
    // Command 1 reads, command 2 (the query) fails; the second attempt succeeds.
    c.emulator.SetFaults({.failCommand = 2});
    EXPECT_TRUE(compact::ReadFlashData(*c.flash, out.data(), 4096, kL));
}

TEST(CompactStoreTest, PictureStreamsAreReadInPiecesWithTheTailRoundedUp) {
    CompactFrame c;
    DeviceInfo info;
    ASSERT_TRUE(compact::GetInformation(*c.flash, info));
    const auto bytes = Picture(70001, 3);
    std::copy(bytes.begin(), bytes.end(), c.emulator.Flash().begin() + kArea);
    c.backend->ClearSent();
    std::vector<uint8_t> out;
    ASSERT_TRUE(compact::ReadPictureStream(*c.flash, info, kArea, 70001, out));
    EXPECT_EQ(out, bytes);
    std::vector<uint32_t> readLengths;
    for (const auto& s : c.backend->SentCommands()) {
        if (s.cdb[0] == 0xCD && s.cdb[5] == 0 && s.cdb[10] == 0x03) readLengths.push_back(s.length);
    }
    EXPECT_EQ(readLengths, (std::vector<uint32_t>{65536, 4480}));
    EXPECT_FALSE(compact::ReadPictureStream(*c.flash, info, info.flashTotalSize - 10, 20, out));
}

TEST(CompactStoreTest, DownloadPlanStartsBehindTheLastPictureOnTheFrame) {
    DeviceInfo info;
    info.listAddress = kL;
    info.flashTotalSize = 2 * 1024 * 1024;
    uint8_t list[kListSize];
    InitEmptyList(list, 0, 0);
    WriteEntry(list, 0, {1, kArea, 1000});
    WriteEntry(list, 1, {1, kArea + 1000, 2000});
    std::vector<compact::PictureState> pictures = {{true, 1000}, {true, 2000}, {false, 500}, {false, 700}};
    auto plan = compact::GetStartAddAndTotalDownSize(pictures, list, info);
    EXPECT_EQ(plan.first, 3);
    EXPECT_EQ(plan.start, kArea + 3000);
    EXPECT_EQ(plan.total, 1200u);
    EXPECT_FALSE(plan.rewriteAll);

    // Nothing new.
    plan = compact::GetStartAddAndTotalDownSize({{true, 1000}, {true, 2000}}, list, info);
    EXPECT_EQ(plan.first, 3);
    EXPECT_EQ(plan.total, 0u);
    EXPECT_EQ(plan.start, kArea);

    // Not enough room behind: everything again from the start of the area.
    pictures[3].size = info.flashTotalSize;
    plan = compact::GetStartAddAndTotalDownSize(pictures, list, info);
    EXPECT_TRUE(plan.rewriteAll);
    EXPECT_EQ(plan.first, 1);
    EXPECT_EQ(plan.start, kArea);
    EXPECT_EQ(plan.total, 1000u + 2000 + 500 + info.flashTotalSize);

    // A list out of address order: the new pictures go behind the highest kept picture, never over it.
    WriteEntry(list, 0, {1, kArea + 2000, 1000});
    WriteEntry(list, 1, {1, kArea, 2000});
    pictures[3].size = 700;
    plan = compact::GetStartAddAndTotalDownSize(pictures, list, info);
    EXPECT_FALSE(plan.rewriteAll);
    EXPECT_EQ(plan.first, 3);
    EXPECT_EQ(plan.start, kArea + 3000);
    WriteEntry(list, 0, {1, kArea, 1000});
    WriteEntry(list, 1, {1, kArea + 1000, 2000});

    // An entry before the new picture that points below the area never becomes a start address.
    WriteEntry(list, 1, {1, 0x100, 2000});
    pictures[3].size = 700;
    plan = compact::GetStartAddAndTotalDownSize(pictures, list, info);
    EXPECT_TRUE(plan.rewriteAll);
    EXPECT_EQ(plan.start, kArea);
}

}  // namespace
}  // namespace fotolume::album::testing
