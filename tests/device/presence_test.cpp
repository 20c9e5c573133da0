// Presence and transport behaviour that every drive back-end must show alike.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "device/comm_usb.h"
#include "device/flash_cdb.h"
#include "device/process_flash.h"
#include "tests/device/drive_rigs.h"

namespace fotolume::device {
namespace {

using testing::DriveRig;
using testing::WaitReadable;

struct RigKind {
    const char* name;
    std::function<std::unique_ptr<DriveRig>()> make;
};
void PrintTo(const RigKind& kind, std::ostream* os) { *os << kind.name; }

class Presence : public ::testing::TestWithParam<RigKind> {
protected:
    void SetUp() override { rig = GetParam().make(); }

    // Starts the link over the drives added so far.
    void Start(Variant variant = Variant::Full) {
        link = std::make_unique<CCommUSB>(rig->MakeBackend(), variant);
        link->SetSettleDelay(std::chrono::milliseconds(5));
        link->SetChangeCallback([this](int arrived) { changes.push_back(arrived); });
        ASSERT_TRUE(link->IniUSBDevice());
        flash = std::make_unique<CProcessFlash>(*link, variant);
    }
    // Handles every notification that arrives within the wait, as an event loop would.
    void Pump(int firstWaitMs = 2000) {
        int wait = firstWaitMs;
        while (WaitReadable(link->NotificationFd(), wait)) {
            link->HandleNotification();
            wait = 150;
        }
    }
    bool ReadWorks() {
        uint8_t buffer[512];
        return flash->ReadFromFlash(buffer, sizeof buffer, 0) == kFlashOk;
    }

    std::unique_ptr<DriveRig> rig;
    std::unique_ptr<CCommUSB> link;
    std::unique_ptr<CProcessFlash> flash;
    std::vector<int> changes;
};

TEST_P(Presence, CapitalVendorTextMatchesAndTheStartScanReportsNothing) {
    rig->AddDrive("ZENTARIS", "PHOTO FRAME");
    Start();
    EXPECT_TRUE(link->GetUSBDeviceStatus());
    EXPECT_EQ(link->DriveName(), rig->DriveName(0));
    EXPECT_EQ(link->Identity().vendor, "ZENTARIS");
    EXPECT_EQ(link->Identity().product, "PHOTO FRAME");
    EXPECT_TRUE(changes.empty());
    EXPECT_TRUE(ReadWorks());
    EXPECT_GT(rig->Emulator(0).CommandCount(), 0u);
}

TEST_P(Presence, ForeignCdRomIsOpenedTestedClosedAndNeverSentAVendorCommand) {
    rig->AddDrive("Acme", "DVD-RW");
    rig->AddDrive("zentaris", "DPF");
    Start();
    ASSERT_TRUE(link->GetUSBDeviceStatus());
    EXPECT_EQ(link->DriveName(), rig->DriveName(1));
    EXPECT_TRUE(ReadWorks());
    EXPECT_GE(rig->Opens(0), 1u);
    EXPECT_EQ(rig->OpenNow(0), 0u);
    EXPECT_EQ(rig->Emulator(0).CommandCount(), 0u);
    EXPECT_EQ(rig->OpenNow(1), 1u);
}

TEST_P(Presence, ProductMatchMustBeContainedWhenSet) {
    rig->AddDrive("zentaris", "Reader");
    rig->AddDrive("zentaris", "Photo DPF 1.8");
    link = std::make_unique<CCommUSB>(rig->MakeBackend());
    link->SetProductMatch("dpf");
    ASSERT_TRUE(link->IniUSBDevice());
    EXPECT_EQ(link->DriveName(), rig->DriveName(1));
}

TEST_P(Presence, FirstOfTwoFramesInDriveOrderWins) {
    rig->AddDrive("zentaris", "DPF");
    rig->AddDrive("zentaris", "DPF");
    Start();
    EXPECT_EQ(link->DriveName(), rig->DriveName(0));
    EXPECT_TRUE(ReadWorks());
    EXPECT_GT(rig->Emulator(0).CommandCount(), 0u);
    EXPECT_EQ(rig->Emulator(1).CommandCount(), 0u);
}

TEST_P(Presence, UnplugReportsGoneOnceAndReplugReportsArrival) {
    rig->AddDrive("zentaris", "DPF");
    Start();
    rig->Unplug(0);
    Pump();
    EXPECT_EQ(changes, std::vector<int>{0});
    EXPECT_FALSE(link->GetUSBDeviceStatus());
    EXPECT_EQ(link->SendCmdToDPF(WriteEnableCdb().data(), nullptr, 0, kDirNone), kSendNoFrame);
    rig->ForeignChange();
    Pump();
    EXPECT_EQ(changes, std::vector<int>{0}) << "nothing more while no frame is there";
    rig->Plug(0);
    Pump();
    EXPECT_EQ(changes, (std::vector<int>{0, 1}));
    EXPECT_TRUE(link->GetUSBDeviceStatus());
    EXPECT_TRUE(ReadWorks());
}

TEST_P(Presence, ForeignNotificationKeepsTheOpenFrameAndReportsNothing) {
    rig->AddDrive("zentaris", "DPF");
    Start();
    size_t opens = rig->Opens(0);
    rig->ForeignChange();
    Pump();
    EXPECT_TRUE(changes.empty());
    EXPECT_TRUE(link->GetUSBDeviceStatus());
    EXPECT_EQ(rig->Opens(0), opens) << "the open handle was retested, not reopened";
    EXPECT_TRUE(ReadWorks());
}

TEST_P(Presence, OneStepPerNotificationTheOtherFrameComesNextTime) {
    rig->AddDrive("zentaris", "DPF");
    rig->AddDrive("zentaris", "DPF");
    Start();
    rig->Unplug(0);
    Pump();
    EXPECT_EQ(changes, std::vector<int>{0});
    EXPECT_FALSE(link->GetUSBDeviceStatus()) << "a removal only reports the removal";
    rig->ForeignChange();
    Pump();
    EXPECT_EQ(changes, (std::vector<int>{0, 1}));
    EXPECT_EQ(link->DriveName(), rig->DriveName(1));
    EXPECT_TRUE(ReadWorks());
}

TEST_P(Presence, FrameArrivingLaterIsFound) {
    rig->AddDrive("acme", "CD");
    rig->AddDrive("zentaris", "DPF", false);
    Start();
    EXPECT_FALSE(link->GetUSBDeviceStatus());
    rig->Plug(1);
    Pump();
    EXPECT_EQ(changes, std::vector<int>{1});
    EXPECT_EQ(link->DriveName(), rig->DriveName(1));
    EXPECT_EQ(rig->Emulator(0).CommandCount(), 0u);
}

TEST_P(Presence, CommandsFailWhileTheRemovalIsNotYetHandled) {
    rig->AddDrive("zentaris", "DPF");
    Start();
    rig->Unplug(0);
    EXPECT_TRUE(link->GetUSBDeviceStatus());
    uint8_t buffer[64];
    EXPECT_EQ(link->SendCmdToDPF(ReadStatusCdb().data(), buffer, 64, kDirFromFrame), kSendFailed);
    EXPECT_TRUE(link->GetUSBDeviceStatus()) << "a failed command leaves the flag to presence";
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(flash->WaitFlashReady(), kFlashFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    Pump();
    EXPECT_EQ(changes, std::vector<int>{0});
}

TEST_P(Presence, VanishingFrameIsReportedGone) {
    rig->AddDrive("zentaris", "DPF");
    Start();
    rig->Emulator(0).SetFaults({.vanishAfter = 1});  // the first read piece is the last answer
    std::vector<uint8_t> buffer(8192);
    EXPECT_EQ(flash->ReadFromFlash(buffer.data(), 8192, 0), kFlashFailed);
    rig->Unplug(0);  // the rig's own view of the drive follows the frame
    Pump();
    EXPECT_EQ(changes, std::vector<int>{0});
}

TEST_P(Presence, ShortDataInLeavesZeros) {
    rig->AddDrive("zentaris", "DPF");
    Start();
    // The version answer is 64 bytes; ask for more and the rest stays zero.
    uint8_t buffer[128];
    std::fill(std::begin(buffer), std::end(buffer), 0xAA);
    ASSERT_EQ(link->SendCmdToDPF(VersionCdb().data(), buffer, sizeof buffer, kDirFromFrame), kSendDone);
    EXPECT_EQ(buffer[0], '1');
    EXPECT_EQ(buffer[100], 0);
}

TEST_P(Presence, RefusedCommandIsAFailure) {
    rig->AddDrive("zentaris", "DPF");
    Start();
    Cdb unknown{};
    unknown[0] = 0xCB;
    unknown[10] = 0x77;  // no such flash opcode
    EXPECT_EQ(link->SendCmdToDPF(unknown.data(), nullptr, 0, kDirNone), kSendFailed);
    EXPECT_TRUE(link->GetUSBDeviceStatus());
}

INSTANTIATE_TEST_SUITE_P(AllBackEnds, Presence,
                         ::testing::Values(RigKind{"Emulator", testing::MakeEmulatorRig},
                                           RigKind{"ScsiGeneric", [] { return std::unique_ptr<DriveRig>(testing::MakeSgRig()); }},
                                           RigKind{"FramesFolder", testing::MakeFramesRig}),
                         [](const ::testing::TestParamInfo<RigKind>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace fotolume::device
