// The emulated frame's flash rules and faults, driven by raw command blocks.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "device/bytes.h"
#include "device/checksum.h"
#include "device/device_types.h"
#include "device/flash_cdb.h"
#include "device/inquiry.h"
#include "sim/flash_emulator.h"
#include "tests/support/temp_folder.h"

namespace fotolume::sim {
namespace {

namespace dev = fotolume::device;

constexpr uint8_t kGood = 0;

class Emulator : public ::testing::Test {
protected:
    CFlashEmulator emu{CFlashEmulator::Options{.flashSize = 256 * 1024}};

    uint8_t Run(const dev::Cdb& cdb) {
        uint32_t n = 0;
        return emu.Execute(cdb.data(), dev::kDirNone, nullptr, 0, n);
    }
    void Unprotect() {
        Run(dev::WriteEnableCdb());
        Run(dev::WriteStatusCdb(0));
    }
    uint8_t Program(uint32_t address, std::vector<uint8_t> data) {
        uint32_t n = 0;
        return emu.Execute(dev::ProgramCdb(dev::kOpProgram, static_cast<uint32_t>(data.size()), address, false).data(),
                           dev::kDirToFrame, data.data(), static_cast<uint32_t>(data.size()), n);
    }
    // The write-enable latch set first, as every write of the programs does.
    uint8_t EnabledProgram(uint32_t address, std::vector<uint8_t> data) {
        Run(dev::WriteEnableCdb());
        return Program(address, std::move(data));
    }
    uint8_t EnabledRun(const dev::Cdb& cdb) {
        Run(dev::WriteEnableCdb());
        return Run(cdb);
    }
    std::vector<uint8_t> Read(uint32_t address, uint32_t length, uint8_t* status = nullptr) {
        std::vector<uint8_t> out(length, 0);
        uint32_t n = 0;
        uint8_t s = emu.Execute(dev::ReadCdb(dev::kOpRead, length, address).data(), dev::kDirFromFrame, out.data(),
                                length, n);
        if (status) *status = s;
        return out;
    }
    uint16_t Checksum(uint32_t address, uint32_t length) {
        uint8_t answer[2] = {};
        uint32_t n = 0;
        EXPECT_EQ(emu.Execute(dev::ChecksumCdb(address, length).data(), dev::kDirFromFrame, answer, 2, n), kGood);
        return dev::ReadBe16(answer);
    }
    uint8_t StatusPoll() {
        uint8_t answer[64] = {};
        uint32_t n = 0;
        emu.Execute(dev::ReadStatusCdb().data(), dev::kDirFromFrame, answer, 64, n);
        return answer[0];
    }
};

TEST_F(Emulator, ProtectBitsAtPowerUpBlockWritesUntilStatusZero) {
    EXPECT_EQ(emu.StatusRegister() & 0x1C, 0x1C);
    Run(dev::WriteEnableCdb());
    EXPECT_EQ(Program(0x1000, {0x00, 0x00}), kGood);
    EXPECT_EQ(emu.Flash()[0x1000], 0xFF) << "protected flash ignores a program";
    Unprotect();
    EXPECT_EQ(emu.StatusRegister() & 0x1C, 0);
    EnabledProgram(0x1000, {0x00});
    EXPECT_EQ(emu.Flash()[0x1000], 0x00);
    emu.PowerCycle();
    EXPECT_EQ(emu.StatusRegister() & 0x1C, 0x1C) << "power-up sets the protect bits again";
}

TEST_F(Emulator, WriteEnableLatchIsNeededAndUsedUpByEachWrite) {
    Unprotect();
    EXPECT_EQ(emu.StatusRegister() & 0x02, 0) << "write-status clears the latch";
    Program(0, {0x00});
    EXPECT_EQ(emu.Flash()[0], 0xFF) << "no latch, no program";
    Run(dev::WriteEnableCdb());
    Program(0, {0x0F});
    Program(1, {0x0F});
    EXPECT_EQ(emu.Flash()[0], 0x0F);
    EXPECT_EQ(emu.Flash()[1], 0xFF) << "the first program used the latch up";
    Run(dev::EraseCdb(dev::kOpErase4K, 0));
    EXPECT_EQ(emu.Flash()[0], 0x0F) << "no latch, no erase";
    // Write-status without the latch changes nothing.
    emu.PowerCycle();
    Run(dev::WriteStatusCdb(0));
    EXPECT_EQ(emu.StatusRegister() & 0x1C, 0x1C);
}

TEST_F(Emulator, EraseSetsItsAlignedUnitToFF) {
    Unprotect();
    std::fill(emu.Flash().begin(), emu.Flash().end(), 0x00);
    EnabledRun(dev::EraseCdb(dev::kOpErase4K, 0x12345));   // aligned down to 0x12000
    EnabledRun(dev::EraseCdb(dev::kOpErase64K, 0x2ABCD));  // 0x20000..0x2FFFF
    const std::pair<uint32_t, uint8_t> edges[] = {{0x11FFF, 0x00}, {0x12000, 0xFF}, {0x12FFF, 0xFF}, {0x13000, 0x00},
                                                  {0x1FFFF, 0x00}, {0x20000, 0xFF}, {0x2FFFF, 0xFF}, {0x30000, 0x00}};
    for (const auto& [address, value] : edges) EXPECT_EQ(emu.Flash()[address], value) << std::hex << address;
    EXPECT_EQ(emu.GetStats().erases, 2u);
}

TEST_F(Emulator, ProgramOnlyClearsBitsAndMaySpanAnyLength) {
    Unprotect();
    ASSERT_EQ(EnabledProgram(0x300, std::vector<uint8_t>(5000, 0xF0)), kGood);
    EnabledProgram(0x300, {0x3C});
    EXPECT_EQ(emu.Flash()[0x300], 0x30) << "0xF0 AND 0x3C";
    EXPECT_EQ(emu.Flash()[0x300 + 4999], 0xF0);
    EXPECT_EQ(emu.Flash()[0x300 + 5000], 0xFF);
    // A length field that disagrees with the data phase is refused.
    uint8_t data[8] = {};
    uint32_t n = 0;
    Run(dev::WriteEnableCdb());
    EXPECT_NE(emu.Execute(dev::ProgramCdb(dev::kOpProgram, 16, 0, false).data(), dev::kDirToFrame, data, 8, n), kGood);
    // Past the end of the flash is refused.
    EXPECT_NE(EnabledProgram(256 * 1024 - 1, {0, 0}), kGood);
}

TEST_F(Emulator, ReadAndChecksumAnswerTheFlash) {
    for (size_t i = 0; i < emu.Flash().size(); ++i) emu.Flash()[i] = static_cast<uint8_t>(i ^ (i >> 8));
    std::vector<uint8_t> got = Read(0x1234, 4096);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), emu.Flash().begin() + 0x1234));
    EXPECT_EQ(Checksum(0x10000, 65536), dev::ByteSum16(emu.Flash().data() + 0x10000, 65536));
    EXPECT_EQ(Checksum(0x100, 4096), dev::ByteSum16(emu.Flash().data() + 0x100, 4096));
    EXPECT_EQ(emu.GetStats().reads, 1u);
    EXPECT_EQ(emu.GetStats().checksums, 2u);
}

TEST_F(Emulator, AnswersInquiryAndVersionWithoutCountingInquiry) {
    uint8_t data[36] = {};
    uint32_t n = 0;
    auto inquiry = dev::InquiryCdb();
    uint8_t cdb[16] = {};
    std::copy(inquiry.begin(), inquiry.end(), cdb);
    ASSERT_EQ(emu.Execute(cdb, dev::kDirFromFrame, data, 36, n), kGood);
    dev::DriveIdentity id;
    ASSERT_TRUE(dev::ParseInquiry(data, n, id));
    EXPECT_EQ(id.vendor, "zentaris");
    EXPECT_EQ(id.product, "DPF");
    EXPECT_EQ(emu.CommandCount(), 0u);
    uint8_t version[64] = {};
    ASSERT_EQ(emu.Execute(dev::VersionCdb().data(), dev::kDirFromFrame, version, 64, n), kGood);
    EXPECT_STREQ(reinterpret_cast<char*>(version), "1.00");
    EXPECT_EQ(emu.CommandCount(), 1u);
    // Unknown commands and wrong directions are refused.
    dev::Cdb unknown{};
    unknown[0] = 0xC0;
    EXPECT_NE(Run(unknown), kGood);
    uint8_t buffer[64];
    EXPECT_NE(emu.Execute(dev::WriteEnableCdb().data(), dev::kDirFromFrame, buffer, 64, n), kGood);
}

TEST_F(Emulator, FailCommandDoesNothingAndReportsFailure) {
    Unprotect();  // commands 1, 2
    emu.SetFaults({.failCommand = 4});
    Run(dev::WriteEnableCdb());                     // 3
    EXPECT_NE(Program(0, {0x00}), kGood);           // 4 fails
    EXPECT_EQ(emu.Flash()[0], 0xFF);
    EXPECT_EQ(Program(0, {0x00}), kGood);           // 5: the latch is still set
    EXPECT_EQ(emu.Flash()[0], 0x00);
}

TEST_F(Emulator, CorruptReadDamagesOnlyThatAnswer) {
    emu.SetFaults({.corruptRead = 2});
    std::vector<uint8_t> first = Read(0, 512);
    std::vector<uint8_t> second = Read(0, 512);
    std::vector<uint8_t> third = Read(0, 512);
    EXPECT_EQ(first, std::vector<uint8_t>(512, 0xFF));
    EXPECT_NE(second, first);
    EXPECT_EQ(third, first);
    EXPECT_EQ(emu.Flash()[0], 0xFF);
}

TEST_F(Emulator, BadChecksumIsWrongOnce) {
    emu.SetFaults({.badChecksum = 1});
    uint16_t good = dev::ByteSum16(emu.Flash().data(), 4096);
    EXPECT_NE(Checksum(0, 4096), good);
    EXPECT_EQ(Checksum(0, 4096), good);
}

TEST_F(Emulator, VanishAfterFailsEveryLaterCommandUntilPowerCycle) {
    emu.SetFaults({.vanishAfter = 2});
    EXPECT_EQ(Run(dev::WriteEnableCdb()), kGood);
    EXPECT_FALSE(emu.Vanished());
    EXPECT_EQ(Run(dev::WriteEnableCdb()), kGood);
    EXPECT_TRUE(emu.Vanished());
    EXPECT_NE(Run(dev::WriteEnableCdb()), kGood);
    uint8_t data[36];
    uint32_t n = 0;
    uint8_t cdb[16] = {dev::kInquiryOpcode, 0, 0, 0, 36};
    EXPECT_NE(emu.Execute(cdb, dev::kDirFromFrame, data, 36, n), kGood) << "a gone frame answers nothing";
    emu.PowerCycle();
    EXPECT_FALSE(emu.Vanished());
    EXPECT_EQ(Run(dev::WriteEnableCdb()), kGood);
}

TEST_F(Emulator, BusyPollsStartAgainWithEachSeries) {
    emu.SetFaults({.busyPolls = 2});
    EXPECT_EQ(StatusPoll() & 1, 1);
    EXPECT_EQ(StatusPoll() & 1, 1);
    EXPECT_EQ(StatusPoll() & 1, 0);
    Read(0, 64);  // any other command ends the series
    EXPECT_EQ(StatusPoll() & 1, 1);
}

TEST_F(Emulator, DeviceModelCountsTime) {
    emu.SetDeviceModel(true);
    Unprotect();
    EnabledRun(dev::EraseCdb(dev::kOpErase64K, 0));
    EnabledProgram(0, std::vector<uint8_t>(4096, 0));
    // 6 commands, one 64 KB erase, 16 program pages, 4096 bytes on the bus.
    EXPECT_NEAR(emu.GetStats().modelledSeconds, 0.006 + 0.150 + 16 * 0.0007 + 0.004096, 1e-9);
    EXPECT_EQ(emu.GetStats().bytesIn, 4096u);

    // In real time each command is answered no sooner than its modelled time has passed.
    emu.SetRealTime(true);
    Run(dev::WriteEnableCdb());
    const auto start = std::chrono::steady_clock::now();
    const double before = emu.GetStats().modelledSeconds;
    Run(dev::EraseCdb(dev::kOpErase64K, 0x10000));
    Read(0, 4096);
    const double modelled = emu.GetStats().modelledSeconds - before;
    EXPECT_NEAR(modelled, 0.002 + 0.150 + 0.004096, 1e-9);
    EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), modelled);
}

TEST(EmulatorImage, ChangesAreWrittenThroughToTheFile) {
    const testsupport::TempFolder folder;
    const std::string path = (folder / "frame.img").string();
    { std::ofstream(path, std::ios::binary) << std::string(128 * 1024, '\xFF'); }
    std::string error;
    auto emu = CFlashEmulator::OpenImage(path, {}, error);
    ASSERT_TRUE(emu) << error;
    EXPECT_EQ(emu->Flash().size(), 128u * 1024) << "the file's size is the flash size";
    uint32_t n = 0;
    auto run = [&](const dev::Cdb& c, int dir = dev::kDirNone, uint8_t* d = nullptr, uint32_t len = 0) {
        return emu->Execute(c.data(), dir, d, len, n);
    };
    run(dev::WriteEnableCdb());
    run(dev::WriteStatusCdb(0));
    run(dev::WriteEnableCdb());
    uint8_t data[3] = {0x12, 0x34, 0x56};
    ASSERT_EQ(run(dev::ProgramCdb(dev::kOpProgram, 3, 0x10000, false), dev::kDirToFrame, data, 3), kGood);
    // Read the file while the emulator still holds it: no flush or close is needed.
    const testsupport::Bytes bytes = testsupport::ReadBytes(path);
    ASSERT_EQ(bytes.size(), 128u * 1024);
    EXPECT_EQ(bytes[0x10000], 0x12);
    EXPECT_EQ(bytes[0x10002], 0x56);
    EXPECT_FALSE(CFlashEmulator::OpenImage((folder / "missing.img").string(), {}, error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace fotolume::sim
