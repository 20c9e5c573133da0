// The SCSI generic back-end against a fake sysfs tree and a fake SG_IO.
#include <gtest/gtest.h>

#include "device/comm_usb.h"
#include "device/flash_cdb.h"
#include "device/process_flash.h"
#include "device/sg_backend.h"
#include "tests/device/drive_rigs.h"

namespace fotolume::device {
namespace {

using testing::MakeSgRig;

TEST(SgBackend, OnlyCdDvdNodesAreCandidatesInNumericOrder) {
    auto rig = MakeSgRig();
    rig->AddDrive("zentaris", "DPF");                   // sg2
    rig->AddDrive("zentaris", "DPF");                   // sg10
    rig->AddRawDevice("sg0", "0", true, "zentaris");    // a disk
    rig->AddRawDevice("sg1", "5", true, "Generic");     // another vendor's CD-ROM
    auto backend = rig->MakeBackend();
    EXPECT_EQ(backend->ListDrives(), (std::vector<std::string>{"sg1", "sg2", "sg10"}));
    CCommUSB link(std::move(backend));
    ASSERT_TRUE(link.IniUSBDevice());
    EXPECT_EQ(link.DriveName(), "sg2");
    EXPECT_EQ(rig->RawOpens("sg0"), 0u) << "a disk is never opened";
    EXPECT_EQ(rig->RawOpens("sg1"), 1u) << "another CD-ROM is opened for the test only";
    EXPECT_EQ(rig->RawCommands("sg1"), 0u);
}

TEST(SgBackend, CdRomOffUsbIsRejectedEvenWithTheVendorText) {
    auto rig = MakeSgRig();
    rig->AddRawDevice("sg0", "5", false, "ZENTARIS");
    auto backend = rig->MakeBackend();
    auto* sg = dynamic_cast<CSgBackend*>(backend.get());
    ASSERT_NE(sg, nullptr);
    DriveIdentity id;
    ASSERT_TRUE(sg->ReadIdentity("sg0", id));
    EXPECT_FALSE(id.usb);
    EXPECT_EQ(id.vendor, "ZENTARIS") << "sysfs padding is trimmed";
    EXPECT_FALSE(sg->ReadIdentity("sg7", id)) << "a node that is not there";
    CCommUSB link(std::move(backend));
    ASSERT_TRUE(link.IniUSBDevice());
    EXPECT_FALSE(link.GetUSBDeviceStatus());
    EXPECT_EQ(rig->RawOpens("sg0"), 1u);
    EXPECT_EQ(rig->RawCommands("sg0"), 0u);
}

TEST(SgBackend, PassThroughHeaderCarriesTheCommand) {
    for (Variant variant : {Variant::Full, Variant::Compact}) {
        auto rig = MakeSgRig();
        rig->AddDrive("zentaris", "DPF");
        CCommUSB link(rig->MakeBackend(), variant);
        ASSERT_TRUE(link.IniUSBDevice());
        uint8_t buffer[512];
        ASSERT_EQ(link.SendCmdToDPF(ReadCdb(kOpRead, 512, 0x1000).data(), buffer, 512, kDirFromFrame), kSendDone);
        sg_io_hdr_t h = rig->LastHeader();
        EXPECT_EQ(h.interface_id, 'S');
        EXPECT_EQ(h.cmd_len, 16);
        EXPECT_EQ(h.dxfer_direction, SG_DXFER_FROM_DEV);
        EXPECT_EQ(h.dxfer_len, 512u);
        EXPECT_EQ(h.timeout, variant == Variant::Full ? 300'000u : 5'000u);
        uint8_t page[256] = {};
        ASSERT_EQ(link.SendCmdToDPF(ProgramCdb(kOpProgram, 256, 0, false).data(), page, 256, kDirToFrame), kSendDone);
        EXPECT_EQ(rig->LastHeader().dxfer_direction, SG_DXFER_TO_DEV);
        ASSERT_EQ(link.SendCmdToDPF(WriteEnableCdb().data(), nullptr, 0, kDirNone), kSendDone);
        EXPECT_EQ(rig->LastHeader().dxfer_direction, SG_DXFER_NONE);
        EXPECT_EQ(rig->LastHeader().dxfer_len, 0u);
    }
}

TEST(SgBackend, HostErrorIsAFailedCommand) {
    auto rig = MakeSgRig();
    rig->AddDrive("zentaris", "DPF");
    CCommUSB link(rig->MakeBackend());
    ASSERT_TRUE(link.IniUSBDevice());
    rig->SetHostStatus(0x07);  // DID_ERROR
    EXPECT_EQ(link.SendCmdToDPF(WriteEnableCdb().data(), nullptr, 0, kDirNone), kSendFailed);
    rig->SetHostStatus(0);
    EXPECT_EQ(link.SendCmdToDPF(WriteEnableCdb().data(), nullptr, 0, kDirNone), kSendDone);
}

TEST(SgBackend, DriveThatCannotBeOpenedIsNamedInTheScanProblem) {
    testing::TempDir dir;
    // No device nodes: the real open fails.
    CCommUSB link(std::make_unique<CSgBackend>(testing::OneFrameNode(dir.String())));
    ASSERT_TRUE(link.IniUSBDevice());
    EXPECT_FALSE(link.GetUSBDeviceStatus());
    EXPECT_NE(link.ScanProblem().find("/dev/sg3"), std::string::npos) << link.ScanProblem();
}

TEST(SgBackend, EmptySysfsListsNothingAndOddNamesOpenNothing) {
    // An empty sysfs root: nothing to list, nothing opened.
    testing::TempDir dir;
    SgOptions o;
    o.sysfsRoot = dir.String();
    o.devRoot = dir.String();
    o.notifications = std::make_unique<CEventNotifier>();
    CSgBackend backend(std::move(o));
    EXPECT_TRUE(backend.ListDrives().empty());
    EXPECT_EQ(backend.OpenDrive("sg0"), nullptr);
    EXPECT_EQ(backend.OpenDrive("../etc/passwd"), nullptr);
}

}  // namespace
}  // namespace fotolume::device
