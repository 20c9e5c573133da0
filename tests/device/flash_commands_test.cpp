// Flash commands: the bytes of every command block, the sequences that the operations send, and what
// they do on an emulated frame.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "device/bytes.h"
#include "device/checksum.h"
#include "device/flash_cdb.h"
#include "tests/support/emulated_frame.h"

namespace fotolume::device {
namespace {

using EmulatedFrame = testsupport::LinkedFrame;

Cdb Bytes(std::initializer_list<std::pair<int, uint8_t>> set) {
    Cdb c{};
    for (auto [i, v] : set) c[static_cast<size_t>(i)] = v;
    return c;
}

TEST(FlashCdb, EveryCommandBlockHasItsBytesAndZerosElsewhere) {
    EXPECT_EQ(WriteEnableCdb(), Bytes({{0, 0xCB}, {6, 1}, {10, 0x06}}));
    EXPECT_EQ(WriteStatusCdb(0x9C), Bytes({{0, 0xCB}, {6, 2}, {10, 0x01}, {11, 0x9C}}));
    EXPECT_EQ(WakeUpCdb(), Bytes({{0, 0xCB}, {6, 1}, {10, 0xAB}}));
    EXPECT_EQ(EraseCdb(0xD8, 0x123456), Bytes({{0, 0xCB}, {6, 4}, {10, 0xD8}, {11, 0x12}, {12, 0x34}, {13, 0x56}}));
    EXPECT_EQ(ProgramCdb(0x02, 4096, 0x123456, false),
              Bytes({{0, 0xCB}, {6, 4}, {8, 0x10}, {10, 0x02}, {11, 0x12}, {12, 0x34}, {13, 0x56}}));
    EXPECT_EQ(ProgramCdb(0x02, 0x010203, 0, true),
              Bytes({{0, 0xCB}, {6, 4}, {7, 1}, {8, 2}, {9, 3}, {10, 0x02}, {15, 0x02}}));
    EXPECT_EQ(ReadCdb(0x03, 512, 0x123456),
              Bytes({{0, 0xCD}, {6, 4}, {8, 0x02}, {10, 0x03}, {11, 0x12}, {12, 0x34}, {13, 0x56}}));
    EXPECT_EQ(ReadStatusCdb(), Bytes({{0, 0xCD}, {6, 1}, {9, 0x40}, {10, 0x05}}));
    EXPECT_EQ(ChecksumCdb(0x123456, 65536), Bytes({{0, 0xCD}, {5, 5}, {6, 5}, {11, 0x12}, {12, 0x34}, {13, 0x56}}));
    EXPECT_EQ(ChecksumCdb(0, 4096), Bytes({{0, 0xCD}, {5, 5}, {6, 5}, {7, 0x10}}));
    EXPECT_EQ(VersionCdb(), Bytes({{0, 0xCD}, {5, 1}, {6, 1}, {10, 1}}));
}

TEST(FlashCommands, ReadsAreSplitInto4096BytePiecesWithTheTailRoundedTo64) {
    struct Case {
        uint32_t length;
        std::vector<uint32_t> pieces;
    };
    const Case cases[] = {{512, {512}}, {100, {128}}, {4097, {4096, 64}}, {65536, std::vector<uint32_t>(16, 4096)}};
    for (const Case& c : cases) {
        EmulatedFrame frame;
        std::vector<uint8_t> buffer(65536 + 64);
        ASSERT_EQ(frame.flash->ReadFromFlash(buffer.data(), c.length, 0x20000), kFlashOk) << c.length;
        std::vector<uint32_t> pieces;
        uint32_t expectedAddress = 0x20000;
        for (const auto& s : frame.backend->SentCommands()) {
            if (s.cdb[0] != kGroupFlashIn || s.cdb[10] != kOpRead) continue;
            pieces.push_back(s.length);
            EXPECT_EQ(ReadBe24(&s.cdb[7]), s.length);
            EXPECT_EQ(ReadBe24(&s.cdb[11]), expectedAddress) << "pieces go to consecutive addresses";
            expectedAddress += s.length;
        }
        EXPECT_EQ(pieces, c.pieces) << "read of " << c.length;
        // Every read ends with a status poll.
        EXPECT_EQ(frame.Cdbs().back(), ReadStatusCdb());
    }
}

TEST(FlashCommands, EveryEraseAndProgramIsPrecededByEnableStatusZeroEnable) {
    EmulatedFrame frame;
    std::vector<uint8_t> data(4096, 0x5A);
    ASSERT_EQ(frame.flash->Erase4KFlash(0x30000), kFlashOk);
    ASSERT_EQ(frame.flash->WriteToFlash(data.data(), 4096, 0x31000), kFlashOk);
    ASSERT_EQ(frame.flash->WriteToFlash(data.data(), 4096, 0x30000), kFlashOk);
    const std::vector<Cdb> expected = {
        WriteEnableCdb(), WriteStatusCdb(0), WriteEnableCdb(), EraseCdb(0xD8, 0x30000),
        WriteEnableCdb(), WriteStatusCdb(0), WriteEnableCdb(), ProgramCdb(0x02, 4096, 0x31000, false),
        WriteEnableCdb(), WriteStatusCdb(0), WriteEnableCdb(), ProgramCdb(0x02, 4096, 0x30000, false),
    };
    EXPECT_EQ(frame.Cdbs(), expected);
}

TEST(FlashCommands, ProgramFlagSetsByte15OfProgramCommandsOnly) {
    EmulatedFrame frame;
    frame.flash->SetFlashCommand(0x20, 1);
    EXPECT_TRUE(frame.flash->ProgramFlag());
    EXPECT_EQ(frame.flash->EraseOpcode(), 0x20);
    std::vector<uint8_t> data(4096 + 64, 0x00);
    uint8_t high = 0, low = 0;
    frame.flash->Erase4KFlash(0x10000);
    frame.flash->WriteToFlash(data.data(), 4096, 0x10000);
    frame.flash->ReadFromFlash(data.data(), 4096, 0x10000);
    frame.flash->GetVerifyValue(high, low, 0x10000, 4096);
    frame.flash->SynchronizeDPFtime();
    std::string version, scratch;
    frame.flash->GetFirmwareVersion(version, scratch);
    int programs = 0;
    for (const Cdb& c : frame.Cdbs()) {
        bool program = c[0] == kGroupFlashOut && c[10] == kOpProgram;
        programs += program;
        if (c[0] != kGroupClock) {
            EXPECT_EQ(c[15], program ? 0x02 : 0x00);
        }
        if (c[0] == kGroupFlashOut && c[6] == 4 && !program) {
            EXPECT_EQ(c[10], 0x20) << "erase uses the header's opcode";
        }
    }
    EXPECT_EQ(programs, 1);
    // The next frame's header without the flag clears it again.
    frame.flash->SetFlashCommand(0xD8, 0);
    EXPECT_FALSE(frame.flash->ProgramFlag());
}

TEST(FlashCommands, WithoutAFrameNothingIsSentAndResultsSayNoFrame) {
    EmulatedFrame frame;
    frame.backend->SetAttached(0, false);
    frame.link->HandleNotification();
    ASSERT_FALSE(frame.link->GetUSBDeviceStatus());
    frame.backend->ClearSent();
    uint8_t buffer[128] = {};
    bool ready = true;
    uint8_t high = 1, low = 1;
    std::string version = "x", scratch = "y";
    EXPECT_EQ(frame.link->SendCmdToDPF(WriteEnableCdb().data(), nullptr, 0, kDirNone), kSendNoFrame);
    EXPECT_EQ(frame.flash->Erase4KFlash(0), kFlashFailed);
    EXPECT_EQ(frame.flash->WriteToFlash(buffer, 64, 0), kFlashFailed);
    EXPECT_EQ(frame.flash->ReadFromFlash(buffer, 64, 0), kFlashFailed);
    EXPECT_FALSE(frame.flash->GetFlashStatus(ready));
    EXPECT_FALSE(ready);
    EXPECT_FALSE(frame.flash->GetVerifyValue(high, low, 0, 64));
    EXPECT_EQ(high, 0);
    EXPECT_EQ(low, 0);
    EXPECT_EQ(frame.flash->SynchronizeDPFtime(), kSendNoFrame);
    EXPECT_FALSE(frame.flash->GetFirmwareVersion(version, scratch));
    EXPECT_TRUE(version.empty() && scratch.empty());
    EXPECT_EQ(frame.flash->WaitFlashReady(), kFlashFailed);
    EXPECT_TRUE(frame.backend->SentCommands().empty());
}

TEST(FlashCommands, WrittenBlockReadsBackAndMatchesTheFramesChecksum) {
    EmulatedFrame frame;
    std::vector<uint8_t> block(65536);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 13 + (i >> 9));
    // The block layer's order: erase, pieces 1..15, piece 0 last, checksum.
    ASSERT_EQ(frame.flash->Erase4KFlash(0x40000), kFlashOk);
    for (uint32_t i = 1; i < 16; ++i)
        ASSERT_EQ(frame.flash->WriteToFlash(block.data() + 4096 * i, 4096, 0x40000 + 4096 * i), kFlashOk);
    ASSERT_EQ(frame.flash->WriteToFlash(block.data(), 4096, 0x40000), kFlashOk);
    uint8_t high = 0, low = 0;
    ASSERT_TRUE(frame.flash->GetVerifyValue(high, low, 0x40000, 65536));
    EXPECT_EQ(high * 256 + low, ByteSum16(block.data(), block.size()));
    std::vector<uint8_t> back(65536);
    ASSERT_EQ(frame.flash->ReadFromFlash(back.data(), 65536, 0x40000), kFlashOk);
    EXPECT_EQ(back, block);
    // A 100-byte read transfers 128 bytes but the caller's first 100 are the flash's.
    std::vector<uint8_t> tail(128, 0xEE);
    ASSERT_EQ(frame.flash->ReadFromFlash(tail.data(), 100, 0x40000 + 200), kFlashOk);
    EXPECT_TRUE(std::equal(tail.begin(), tail.begin() + 100, block.begin() + 200));
}

TEST(FlashCommands, FailedCommandsGiveTheirResults) {
    EmulatedFrame frame;
    std::vector<uint8_t> buffer(8192);
    // Command 4 of an erase is the erase itself (after WREN, WRSR, WREN).
    frame.emulator.SetFaults({.failCommand = 4});
    EXPECT_EQ(frame.flash->Erase4KFlash(0x10000), kFlashEraseFailed);
    EXPECT_EQ(frame.flash->LastSendResult(), kSendFailed);
    EXPECT_TRUE(frame.link->GetUSBDeviceStatus()) << "a failed command leaves the link connected";

    frame.emulator.PowerCycle();
    frame.emulator.SetFaults({.failCommand = 2});  // the second read piece
    EXPECT_EQ(frame.flash->ReadFromFlash(buffer.data(), 8192, 0), kFlashFailed);
    frame.emulator.PowerCycle();
    frame.emulator.SetFaults({.failCommand = 4});  // the program command
    EXPECT_EQ(frame.flash->WriteToFlash(buffer.data(), 4096, 0x10000), kFlashFailed);
    frame.emulator.PowerCycle();
    uint8_t high = 7, low = 7;
    frame.emulator.SetFaults({.failCommand = 1});
    EXPECT_FALSE(frame.flash->GetVerifyValue(high, low, 0, 4096));
    EXPECT_EQ(high, 0);
    EXPECT_EQ(low, 0);
}

TEST(FlashCommands, WaitFlashReadyPausesOnlyWhileTheFrameReportsBusy) {
    struct Case {
        Variant variant;
        uint32_t busyPolls;
        uint64_t failCommand;  // a status poll that fails counts as busy
    };
    const Case cases[] = {{Variant::Full, 0, 0}, {Variant::Full, 1, 0}, {Variant::Full, 3, 0},
                          {Variant::Full, 0, 1}, {Variant::Full, 2, 2}, {Variant::Compact, 3, 0}};
    for (const Case& c : cases) {
        EmulatedFrame frame(c.variant);
        std::vector<std::chrono::milliseconds> pauses;
        frame.flash->SetPauseFunction([&pauses](std::chrono::milliseconds d) { pauses.push_back(d); });
        frame.emulator.SetFaults({.failCommand = c.failCommand, .busyPolls = c.busyPolls});
        EXPECT_EQ(frame.flash->WaitFlashReady(), kFlashOk);
        const size_t notReady = c.busyPolls + (c.failCommand ? 1 : 0);
        EXPECT_EQ(frame.Cdbs().size(), notReady + 1) << "polls until ready, busy " << c.busyPolls;
        const size_t fullPauses = c.variant == Variant::Full ? notReady : 0;  // the compact one only yields
        EXPECT_EQ(pauses, std::vector<std::chrono::milliseconds>(fullPauses, std::chrono::milliseconds(10)))
            << "busy " << c.busyPolls << ", failed poll " << c.failCommand;
    }

    // Reading from an idle flash: every read ends with one poll and no pause.
    EmulatedFrame frame;
    size_t pauses = 0;
    frame.flash->SetPauseFunction([&pauses](std::chrono::milliseconds) { ++pauses; });
    std::vector<uint8_t> buffer(4096);
    for (uint32_t i = 0; i < 20; ++i) ASSERT_EQ(frame.flash->ReadFromFlash(buffer.data(), 4096, i * 4096), kFlashOk);
    EXPECT_EQ(pauses, 0u);
    EXPECT_EQ(frame.Cdbs().size(), 40u) << "one read and one status poll each";
}

TEST(FlashCommands, WaitFlashReadyEndsWhenTheFlashStaysBusyOrTheFrameIsGone) {
    EmulatedFrame frame;

    // A flash that never becomes ready ends after the limit.
    frame.emulator.SetFaults({.busyPolls = 1'000'000});
    frame.flash->SetWaitLimit(std::chrono::milliseconds(60));
    EXPECT_EQ(frame.flash->WaitFlashReady(), kFlashFailed);

    // A frame that vanished: the wait ends at once although presence has not run yet.
    frame.emulator.PowerCycle();
    frame.flash->SetWaitLimit(std::chrono::seconds(30));
    frame.emulator.SetFaults({.vanishAfter = 1});
    auto start = std::chrono::steady_clock::now();
    uint8_t buffer[64];
    EXPECT_EQ(frame.flash->ReadFromFlash(buffer, 64, 0), kFlashFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(frame.link->GetUSBDeviceStatus()) << "presence, not the wait, clears the flag";
}

TEST(FlashCommands, CompactVariantReadsInOneCommandAndErases4K) {
    EmulatedFrame frame(Variant::Compact);
    EXPECT_EQ(frame.flash->EraseOpcode(), kOpErase4K);
    std::vector<uint8_t> block(65536, 0x11);
    ASSERT_EQ(frame.flash->Erase4KFlash(0x10000), kFlashOk);
    ASSERT_EQ(frame.flash->WriteToFlash(block.data(), 4096, 0x10000), kFlashOk);
    frame.backend->ClearSent();
    std::vector<uint8_t> back(65536);
    ASSERT_EQ(frame.flash->ReadFromFlash(back.data(), 65536, 0x10000), kFlashOk);
    ASSERT_GE(frame.backend->SentCommands().size(), 1u);
    EXPECT_EQ(frame.backend->SentCommands()[0].length, 65536u);
    EXPECT_EQ(frame.Cdbs()[0], ReadCdb(kOpRead, 65536, 0x10000));
    EXPECT_EQ(back[4095], 0x11);
    EXPECT_EQ(back[4096], 0xFF) << "a 4 KB erase and one 4 KB program";
    EXPECT_NE(frame.flash->ReadFromFlash(back.data(), 0, 0), kFlashOk) << "compact refuses an empty read";
    frame.backend->ClearSent();
    uint8_t high = 0, low = 0;
    ASSERT_TRUE(frame.flash->GetVerifyValue(high, low, 0x10000, 256));
    EXPECT_EQ(frame.backend->SentCommands()[0].length, 64u);
    EXPECT_EQ(high * 256 + low, 256 * 0x11);
}

}  // namespace
}  // namespace fotolume::device
