// The drive survey behind "probe --verbose": every node is reported with the verdict the presence scan
// gives it, against the fake sysfs tree, a frames folder and a node this user may not open.
#include <gtest/gtest.h>

#include <cerrno>

#include "device/comm_usb.h"
#include "device/sg_backend.h"
#include "tests/device/drive_rigs.h"

namespace fotolume::device {
namespace {

const DriveCandidate* Find(const std::vector<DriveCandidate>& survey, const std::string& name) {
    for (const DriveCandidate& c : survey)
        if (c.name == name) return &c;
    return nullptr;
}

TEST(DriveSurvey, EveryNodeIsReportedWithTheScansVerdict) {
    auto rig = testing::MakeSgRig();
    rig->AddDrive("zentaris", "DPF");                    // sg2: the frame
    rig->AddDrive("ZenTaris", "DPF");                    // sg10: a second frame
    rig->AddRawDevice("sg0", "0", true, "zentaris");     // a USB disk with the vendor text
    rig->AddRawDevice("sg1", "5", true, "Generic");      // another vendor's CD-ROM
    rig->AddRawDevice("sg3", "5", false, "ZENTARIS");    // the vendor text, but not on USB
    CCommUSB link(rig->MakeBackend());
    std::vector<DriveCandidate> survey = link.SurveyDrives();

    std::vector<std::string> order;
    for (const auto& c : survey) order.push_back(c.name);
    EXPECT_EQ(order, (std::vector<std::string>{"sg0", "sg1", "sg2", "sg3", "sg10"})) << "numeric order, all types";

    const DriveCandidate* disk = Find(survey, "sg0");
    ASSERT_NE(disk, nullptr);
    EXPECT_EQ(disk->deviceType, "0");
    EXPECT_FALSE(disk->cdrom);
    EXPECT_FALSE(disk->openTried);
    EXPECT_FALSE(disk->accepted);
    EXPECT_EQ(disk->verdict, "not a CD/DVD drive");
    EXPECT_EQ(rig->RawOpens("sg0"), 0u) << "a disk is never opened, not even by the survey";

    const DriveCandidate* other = Find(survey, "sg1");
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(other->opened);
    EXPECT_TRUE(other->identity.usb);
    EXPECT_EQ(other->identity.vendor, "Generic");
    EXPECT_EQ(other->verdict, "vendor \"Generic\" does not contain \"zentaris\"");
    EXPECT_EQ(rig->RawCommands("sg1"), 0u) << "the survey sends nothing";

    const DriveCandidate* frame = Find(survey, "sg2");
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->accepted);
    EXPECT_EQ(frame->verdict, "the frame");
    EXPECT_TRUE(frame->node.size() > 4 && frame->node.compare(frame->node.size() - 4, 4, "/sg2") == 0) << frame->node;

    const DriveCandidate* offUsb = Find(survey, "sg3");
    ASSERT_NE(offUsb, nullptr);
    EXPECT_FALSE(offUsb->accepted);
    EXPECT_EQ(offUsb->verdict, "not on USB");

    const DriveCandidate* second = Find(survey, "sg10");
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(second->accepted) << "only the first frame is taken, as the scan takes it";
    EXPECT_NE(second->verdict.find("first one found"), std::string::npos) << second->verdict;

    // Every handle the survey opened is closed again, and the scan then takes the same drive.
    EXPECT_EQ(rig->OpenNow(0), 0u);
    EXPECT_EQ(rig->OpenNow(1), 0u);
    ASSERT_TRUE(link.IniUSBDevice());
    EXPECT_EQ(link.DriveName(), "sg2");
}

TEST(DriveSurvey, ProductAndVendorMatchFollowTheLinksSettings) {
    auto rig = testing::MakeSgRig();
    rig->AddDrive("ACME", "Frame 2");
    CCommUSB link(rig->MakeBackend());
    EXPECT_FALSE(link.SurveyDrives().at(0).accepted);
    link.SetVendorMatch("acme");
    link.SetProductMatch("keychain");
    EXPECT_EQ(link.SurveyDrives().at(0).verdict, "product \"Frame 2\" does not contain \"keychain\"");
    link.SetProductMatch("FRAME");
    EXPECT_TRUE(link.SurveyDrives().at(0).accepted);
}

// A pass-through whose nodes this user may not open.
class DeniedPassThrough : public ISgPassThrough {
public:
    int Open(const std::string&) override {
        errno = EACCES;
        return -1;
    }
    int SgIo(int, sg_io_hdr_t&) override { return -1; }
    void Close(int) override {}
};

TEST(DriveSurvey, NodeThisUserMayNotOpenIsRefusedWithThePermission) {
    testing::TempDir dir;
    SgOptions o = testing::OneFrameNode(dir.String());
    o.devRoot = "/dev";
    o.passThrough = std::make_shared<DeniedPassThrough>();
    CCommUSB link(std::make_unique<CSgBackend>(std::move(o)));
    std::vector<DriveCandidate> survey = link.SurveyDrives();
    ASSERT_EQ(survey.size(), 1u);
    const DriveCandidate& c = survey[0];
    EXPECT_TRUE(c.cdrom);
    EXPECT_TRUE(c.identityRead) << "sysfs tells who it is without opening it";
    EXPECT_EQ(c.identity.product, "DPF");
    EXPECT_TRUE(c.openTried);
    EXPECT_FALSE(c.opened);
    EXPECT_EQ(c.verdict, "cannot open /dev/sg3: Permission denied");
}

TEST(DriveSurvey, FramesFolderReportsEachSocketByItsInquiry) {
    auto rig = testing::MakeFramesRig();
    rig->AddDrive("Generic", "Thing");
    rig->AddDrive("ZENTARIS", "DPF");
    CCommUSB link(rig->MakeBackend());
    std::vector<DriveCandidate> survey = link.SurveyDrives();
    ASSERT_EQ(survey.size(), 2u);
    EXPECT_EQ(survey[0].name, rig->DriveName(0));
    EXPECT_TRUE(survey[0].identityRead);
    EXPECT_EQ(survey[0].identity.vendor, "Generic");
    EXPECT_FALSE(survey[0].accepted);
    EXPECT_EQ(survey[1].identity.product, "DPF");
    EXPECT_TRUE(survey[1].accepted);
    EXPECT_EQ(rig->OpenNow(0), 0u);
    EXPECT_EQ(rig->OpenNow(1), 0u);
}

}  // namespace
}  // namespace fotolume::device
