// The compact application's recovery calls: a download cut off after it emptied the list comes back
// as the new album when the new picture was written, as the old one when it was not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "album/compact_store.h"
#include "album/recovery_compact.h"
#include "device/comm_usb.h"
#include "device/process_flash.h"
#include "recovery_fixture.h"

namespace fotolume::album::testing {
namespace {

struct CompactLink {
    explicit CompactLink(sim::CFlashEmulator& emulator) {
        link = std::make_unique<device::CCommUSB>(
            std::make_unique<sim::CEmulatorBackend>(std::vector<sim::CFlashEmulator*>{&emulator}),
            device::Variant::Compact);
        link->IniUSBDevice();
        flash = std::make_unique<device::CProcessFlash>(*link, device::Variant::Compact);
        EXPECT_TRUE(compact::GetInformation(*flash, info));
    }
    std::unique_ptr<device::CCommUSB> link;
    std::unique_ptr<device::CProcessFlash> flash;
    DeviceInfo info;
};

TEST(CompactRecovery, AnInterruptedDownloadComesBackWholeOrAsBefore) {
    for (bool written : {true, false}) {
        SCOPED_TRACE(written ? "new picture written" : "new picture not written");
        RecoveryScenario s;
        s.frame.emulator.Flash() = s.initial;
        s.frame.emulator.PowerCycle();
        CompactLink c(s.frame.emulator);
        const uint32_t l = c.info.listAddress;
        // The download's plan: the old album plus one picture behind the last one.
        std::vector<uint8_t> oldList(s.initial.begin() + l, s.initial.begin() + l + kListSize);
        std::vector<uint8_t> newList = oldList;
        const std::vector<uint8_t> added = Picture(25000, 77);
        const uint32_t at = s.oldPictures[2].address + static_cast<uint32_t>(s.oldPictures[2].bytes.size());
        WriteEntry(newList.data(), 3, {1, at, static_cast<uint32_t>(added.size())});
        std::string warning;
        const auto record = compact::WriteRecoveryRecord(*c.flash, c.info, s.folder.Path(), oldList.data(),
                                                         newList.data(), {nullptr, nullptr, nullptr, added.data()},
                                                         warning);
        ASSERT_FALSE(record.empty()) << warning;
        // Cut off after the list was emptied (and, in one case, the picture written).
        auto& flash = s.frame.emulator.Flash();
        std::fill(flash.begin() + l + 15, flash.begin() + l + 4095, 0);
        if (written) std::copy(added.begin(), added.end(), flash.begin() + at);

        std::vector<std::string> warnings;
        const RecoveryResult found = compact::FindRecovery(*c.flash, c.info, s.folder.Path(), warnings);
        EXPECT_TRUE(warnings.empty());
        ASSERT_EQ(found.kind, written ? RecoveryKind::NewAlbum : RecoveryKind::OldAlbum);
        ASSERT_TRUE(compact::ApplyRecovery(*c.flash, c.info, found));
        EXPECT_TRUE(s.folder.Records().empty());
        Album expected;
        for (const auto& p : s.oldPictures) expected.push_back(p.bytes);
        if (written) expected.push_back(added);
        EXPECT_EQ(s.ReadBack(), expected);
        // The list is valid again: nothing more to find, nothing to apply twice.
        EXPECT_EQ(compact::FindRecovery(*c.flash, c.info, s.folder.Path(), warnings).kind, RecoveryKind::None);
    }
}

TEST(CompactRecovery, ACompletedDownloadRemovesItsRecordAndAStaleOneGoesOnRead) {
    RecoveryScenario s;
    s.frame.emulator.Flash() = s.initial;
    s.frame.emulator.PowerCycle();
    CompactLink c(s.frame.emulator);
    const uint32_t l = c.info.listAddress;
    std::vector<uint8_t> list(s.initial.begin() + l, s.initial.begin() + l + kListSize);
    std::string warning;
    auto record = compact::WriteRecoveryRecord(*c.flash, c.info, s.folder.Path(), list.data(), list.data(), {}, warning);
    ASSERT_FALSE(record.empty()) << warning;
    compact::RemoveRecoveryRecord(record);
    EXPECT_TRUE(s.folder.Records().empty());
    // Left behind by a download whose list was written after all: the next read removes it.
    record = compact::WriteRecoveryRecord(*c.flash, c.info, s.folder.Path(), list.data(), list.data(), {}, warning);
    ASSERT_EQ(s.folder.Records().size(), 1u);
    std::vector<std::string> warnings;
    EXPECT_EQ(compact::FindRecovery(*c.flash, c.info, s.folder.Path(), warnings).kind, RecoveryKind::None);
    EXPECT_TRUE(s.folder.Records().empty());
    // No folder: no record.
    EXPECT_TRUE(compact::WriteRecoveryRecord(*c.flash, c.info, {}, list.data(), list.data(), {}, warning).empty());
}

}  // namespace
}  // namespace fotolume::album::testing
