// Every write the programs make (an append whose first pictures share the list block, a delete from the
// middle, a colour change, a compacting edit, the compact download's append and full rewrite, and a backup
// of another album restored over the frame's), with the 64 KB and the 4 KB erase opcode, interrupted at
// every command: the power goes after the command (the frame must come back as exactly the old or exactly
// the new album after at most one recovery), or the command fails once with the frame attached (the write
// must end with exactly the new album, no recovery).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>

#include "album/compact_download.h"
#include "album/recovery_compact.h"
#include "device/comm_usb.h"
#include "device/process_flash.h"
#include "tests/album/recovery_fixture.h"

namespace fotolume::album::testing {
namespace {

constexpr int kShards = 6;
constexpr uint32_t kL = 0x10000;

// What the frame shows: colours and pictures in list order.
struct Shown {
    bool valid = false;
    uint16_t font = 0, background = 0;
    Album pictures;
    bool operator==(const Shown&) const = default;
};

// The 1-based index, as the frame counts its commands, of the first erase sent; 0 when none was.
uint64_t FirstErase(const std::vector<sim::CEmulatorBackend::Sent>& sent) {
    const std::vector<SentCommand> vendor = testsupport::VendorCommands(sent);
    for (size_t i = 0; i < vendor.size(); ++i) {
        if (vendor[i].IsErase()) return i + 1;
    }
    return 0;
}

// The compact program's view of a frame: its own link and flash access.
struct CompactLink : testsupport::FrameLink {
    explicit CompactLink(sim::CFlashEmulator& emulator) : FrameLink(emulator, device::Variant::Compact) {
        EXPECT_TRUE(compact::GetInformation(*flash, info));
    }
    DeviceInfo info;
};

struct Edit {
    const char* name;
    std::vector<uint32_t> oldSizes;  // the album on the frame before, seeds 0, 1, ...
    // The full program's edit of the album in memory; empty for the compact download.
    std::function<void(CAlbumStore&)> edit;
    bool colours = false;
    // The compact download: which old pictures stay (in order) and the sizes appended (seeds 100, 101, ...).
    std::vector<int> compactKeep;
    std::vector<uint32_t> compactAdd;
    // A restore: `edit`, committed on a copy of the frame, makes the backup that is then written back.
    bool restore = false;
};

const Edit kEdits[] = {
    {"AppendSharingTheListBlock", {30000, 20000},
     [](CAlbumStore& s) {
         s.AddPictureData(Picture(40000, 100).data(), 40000);
         s.AddPictureData(Picture(30000, 101).data(), 30000);
     },
     false, {}, {}},
    {"DeleteFromTheMiddle", {30000, 50000, 20000, 40000}, [](CAlbumStore& s) { s.DeletePicture(1); }, false, {}, {}},
    {"ColourChange", {30000, 50000}, nullptr, true, {}, {}},
    {"CompactingEdit", {50000, 60000, 50000, 70000, 50000, 60000, 50000},
     [](CAlbumStore& s) {
         s.DeletePicture(3);
         s.DeletePicture(0);
         // More than is left behind the last picture: the area is compacted and every picture moves.
         s.AddPictureData(Picture(90000, 100).data(), 90000);
     },
     false, {}, {}},
    {"CompactDownloadAppend", {30000, 20000, 60000}, nullptr, false, {0, 1, 2}, {45000, 25000}},
    {"CompactDownloadRewrite", {100000, 150000, 150000}, nullptr, false, {1, 2}, {80000}},
    {"RestoreBackup", {30000, 50000, 20000, 40000},
     [](CAlbumStore& s) {
         s.DeletePicture(2);
         s.AddPictureData(Picture(60000, 100).data(), 60000);
         s.AddPictureData(Picture(45000, 101).data(), 45000);
         s.SetColors(0x0F0F, 0xF0F0);
     },
     false, {}, {}, true},
};

enum class Fault { PowerCut, FailedCommand };

struct Case {
    const Edit* edit;
    uint8_t opcode;
    Fault fault;
    int shard;
};

class WriteScenario {
public:
    WriteScenario(const Edit& edit, uint8_t opcode) : m_edit(edit), m_frame(Layout(opcode)) {
        auto a = Bound(false);
        ReadAlbum(a->store, false);
        for (size_t i = 0; i < edit.oldSizes.size(); ++i) {
            EXPECT_TRUE(a->store.AddPictureData(Picture(edit.oldSizes[i], static_cast<uint32_t>(i)).data(), edit.oldSizes[i]));
        }
        EXPECT_TRUE(a->store.CommitAlbum());
        a->store.SetColors(0x1234, 0x5678);
        m_initial = m_frame.emulator.Flash();
        m_old = Show();
        EXPECT_EQ(m_old.pictures.size(), edit.oldSizes.size());
        if (edit.restore) m_backup = MakeBackup();
        // Undisturbed, the write gives the new album and sends this many commands.
        EXPECT_EQ(Write({}), 0);
        m_commands = m_frame.emulator.CommandCount();
        EXPECT_GT(m_firstErase, 0u);
        m_new = Show();
        EXPECT_NE(m_new, m_old);
        if (edit.restore) {
            // From the list on, the frame is the backup, byte for byte.
            const auto& flash = m_frame.emulator.Flash();
            EXPECT_TRUE(std::equal(flash.begin() + kL, flash.end(), m_backup.begin() + kL));
        }
        EXPECT_TRUE(m_folder.Records().empty());
    }

    static sim::NewFrame Layout(uint8_t opcode) {
        return {.flashSize = 512 * 1024, .listAddress = kL, .eraseOpcode = opcode};
    }

    // The write from the old album with these faults; 0 when it reports the new album written.
    int Write(const sim::FlashFaults& faults) {
        for (const auto& p : m_folder.Records()) std::filesystem::remove(p);
        m_frame.emulator.SetFaults({});
        m_frame.emulator.Flash() = m_initial;
        m_frame.emulator.PowerCycle();
        int code = 0;
        if (m_edit.restore) {
            code = Restore(faults);
        } else if (m_edit.compactKeep.empty()) {
            auto a = Bound(true);
            ReadAlbum(a->store);
            if (m_edit.edit) m_edit.edit(a->store);
            m_frame.emulator.PowerCycle();
            m_frame.emulator.SetFaults(faults);
            a->ClearSent();
            code = m_edit.colours ? CodeOf([&] { a->store.SetColors(0x0F0F, 0xF0F0); }) : CommitCode(a->store);
            if (!faults.vanishAfter && !faults.failCommand) m_firstErase = FirstErase(a->backend->SentCommands());
        } else {
            code = CompactDownload(faults);
        }
        m_frame.emulator.SetFaults({});
        return code;
    }

    // The frame after the edit, committed on a copy; the frame itself is left as it was.
    std::vector<uint8_t> MakeBackup() {
        auto a = Bound(false);
        ReadAlbum(a->store);
        m_edit.edit(a->store);
        EXPECT_TRUE(a->store.CommitAlbum());
        std::vector<uint8_t> backup = m_frame.emulator.Flash();
        m_frame.emulator.Flash() = m_initial;
        return backup;
    }

    // The backup written back over the old album, as the restore command writes it.
    int Restore(const sim::FlashFaults& faults) {
        auto a = Bound(true);
        ReadAlbum(a->store, false);
        BackupImage backup;
        std::string problem;
        EXPECT_TRUE(ParseBackup(m_backup, backup, problem)) << problem;
        EXPECT_FALSE(a->store.CompareWithBackup(backup).Any());
        const RestoreTarget target = MakeRestoreTarget(backup, a->store.Info());
        m_frame.emulator.PowerCycle();
        m_frame.emulator.SetFaults(faults);
        a->ClearSent();
        const int code = CodeOf([&] { return a->store.RestoreAlbum(target); });
        if (!faults.vanishAfter && !faults.failCommand) m_firstErase = FirstErase(a->backend->SentCommands());
        return code;
    }

    // The compact download of the kept pictures (still on the frame) and the appended ones.
    int CompactDownload(const sim::FlashFaults& faults) {
        CompactLink c(m_frame.emulator);
        uint8_t list[kListSize];
        EXPECT_TRUE(compact::ReadPictureList(*c.flash, c.info, list));
        uint8_t kept[kListSize];
        std::memcpy(kept, list, kListSize);
        for (int slot = 0; slot < kMaxSlots; ++slot) ClearEntry(kept, slot);
        std::vector<std::vector<uint8_t>> streams;
        compact::DownloadRequest request;
        for (size_t i = 0; i < m_edit.compactKeep.size(); ++i) {
            const int from = m_edit.compactKeep[i];
            WriteEntry(kept, static_cast<int>(i), ReadEntry(list, from));
            streams.push_back(Picture(m_edit.oldSizes[static_cast<size_t>(from)], static_cast<uint32_t>(from)));
            request.pictures.push_back({true, m_edit.oldSizes[static_cast<size_t>(from)]});
        }
        for (size_t i = 0; i < m_edit.compactAdd.size(); ++i) {
            streams.push_back(Picture(m_edit.compactAdd[i], static_cast<uint32_t>(100 + i)));
            request.pictures.push_back({false, m_edit.compactAdd[i]});
        }
        request.readStream = [&](int index, uint8_t* into, uint32_t size) {
            const auto& bytes = streams[static_cast<size_t>(index)];
            if (bytes.size() != size) return false;
            std::copy(bytes.begin(), bytes.end(), into);
            return true;
        };
        request.recoveryFolder = m_folder.Path();
        m_frame.emulator.PowerCycle();
        m_frame.emulator.SetFaults(faults);
        c.backend->ClearSent();
        const auto result = compact::DownloadAlbum(*c.flash, c.info, kept, request);
        if (!faults.vanishAfter && !faults.failCommand) m_firstErase = FirstErase(c.backend->SentCommands());
        return result.failure == compact::DownloadFailure::None ? 0 : 1;
    }

    // After a power cut: what the frame shows at once, and after the program's own recovery if it asks.
    Shown ReadAndRecover(bool& recovered) {
        m_frame.emulator.PowerCycle();
        recovered = false;
        if (m_edit.compactKeep.empty()) {
            auto reader = Bound(true);
            ReadAlbum(reader->store, false);
            if (reader->store.Recovery().ListValidOnFrame()) {
                EXPECT_FALSE(reader->store.Recovery().Pending());
                return Show();
            }
            EXPECT_TRUE(reader->store.Recovery().Pending());
            const RecoveryResult found = reader->store.Recovery().Find();
            EXPECT_TRUE(found.kind == RecoveryKind::NewAlbum || found.kind == RecoveryKind::OldAlbum)
                << RecoveryKindName(found.kind);
            recovered = reader->store.ApplyRecovery(found);
            EXPECT_TRUE(recovered);
        } else {
            CompactLink c(m_frame.emulator);
            std::vector<std::string> warnings;
            const RecoveryResult found = compact::FindRecovery(*c.flash, c.info, m_folder.Path(), warnings);
            EXPECT_TRUE(warnings.empty());
            if (found.kind != RecoveryKind::None) {
                EXPECT_TRUE(found.kind == RecoveryKind::NewAlbum || found.kind == RecoveryKind::OldAlbum);
                recovered = compact::ApplyRecovery(*c.flash, c.info, found);
                EXPECT_TRUE(recovered);
            }
        }
        return Show();
    }

    // The frame as a fresh read without records sees it.
    Shown Show() {
        m_frame.emulator.PowerCycle();
        auto a = Bound(false);
        ReadAlbum(a->store, false);
        Shown shown;
        shown.valid = a->store.Recovery().ListValidOnFrame();
        a->store.GetColors(shown.font, shown.background);
        for (int i = 0; i < a->store.GetPictureCount(); ++i) a->store.LoadPicture(i);
        shown.pictures = PicturesInMemory(a->store);
        return shown;
    }

    bool RegionBelowListUntouched() {
        const auto& flash = m_frame.emulator.Flash();
        return std::equal(flash.begin(), flash.begin() + kL, m_initial.begin());
    }

    uint64_t Commands() const { return m_commands; }
    // The first erase of the undisturbed write: from there on the frame has no valid list.
    uint64_t FirstEraseCommand() const { return m_firstErase; }
    const Shown& Old() const { return m_old; }
    const Shown& New() const { return m_new; }
    const TempFolder& Folder() const { return m_folder; }

private:
    std::unique_ptr<BoundStore> Bound(bool records) {
        auto bound = std::make_unique<BoundStore>(m_frame.emulator);
        bound->store.Flash().SetPollInterval(std::chrono::milliseconds(0));
        if (records) bound->store.Recovery().SetFolder(m_folder.Path());
        return bound;
    }

    const Edit& m_edit;
    AlbumFrame m_frame;
    TempFolder m_folder;
    std::vector<uint8_t> m_initial;
    std::vector<uint8_t> m_backup;
    Shown m_old, m_new;
    uint64_t m_commands = 0;
    uint64_t m_firstErase = 0;
};

class WriteMatrix : public ::testing::TestWithParam<Case> {};

TEST_P(WriteMatrix, EndsAsExactlyTheOldOrTheNewAlbum) {
    const Case& c = GetParam();
    WriteScenario s(*c.edit, c.opcode);
    ASSERT_GT(s.Commands(), 20u);
    for (uint64_t k = 1 + static_cast<uint64_t>(c.shard); k <= s.Commands(); k += kShards) {
        SCOPED_TRACE("command " + std::to_string(k) + " of " + std::to_string(s.Commands()));
        if (c.fault == Fault::FailedCommand) {
            // Tried again from memory while the frame answers: the new album, and no record left.
            ASSERT_EQ(s.Write({.failCommand = k}), 0);
            EXPECT_EQ(s.Show(), s.New());
            EXPECT_TRUE(s.Folder().Records().empty());
            continue;
        }
        const int code = s.Write({.vanishAfter = k});
        EXPECT_EQ(code == 0, k >= s.Commands());
        EXPECT_TRUE(s.RegionBelowListUntouched());
        bool recovered = false;
        const Shown shown = s.ReadAndRecover(recovered);
        ASSERT_TRUE(shown == s.Old() || shown == s.New())
            << (shown.valid ? "" : "no valid list, ") << shown.pictures.size() << " pictures";
        // One recovery at most: afterwards nothing is pending and no record is left.
        EXPECT_TRUE(s.Folder().Records().empty());
    }
    if (c.fault == Fault::PowerCut) {
        // Where a write leaves the frame without a list only for a few commands, a shard's cuts can miss
        // them all: every shard also cuts right after the first erase, which always needs a recovery.
        SCOPED_TRACE("right after the first erase");
        EXPECT_NE(s.Write({.vanishAfter = s.FirstEraseCommand()}), 0);
        bool recovered = false;
        const Shown shown = s.ReadAndRecover(recovered);
        EXPECT_TRUE(recovered);
        EXPECT_TRUE(shown == s.Old() || shown == s.New());
        EXPECT_TRUE(s.Folder().Records().empty());
    }
}

std::vector<Case> AllCases() {
    std::vector<Case> out;
    for (const Edit& edit : kEdits) {
        for (uint8_t opcode : {uint8_t{0xD8}, uint8_t{0x20}}) {
            for (Fault fault : {Fault::PowerCut, Fault::FailedCommand}) {
                for (int shard = 0; shard < kShards; ++shard) out.push_back({&edit, opcode, fault, shard});
            }
        }
    }
    return out;
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    const Case& c = info.param;
    return std::string(c.edit->name) + (c.opcode == 0xD8 ? "_64K" : "_4K") +
           (c.fault == Fault::PowerCut ? "_PowerCut_" : "_FailedCommand_") + std::to_string(c.shard);
}

INSTANTIATE_TEST_SUITE_P(Every, WriteMatrix, ::testing::ValuesIn(AllCases()), CaseName);

}  // namespace
}  // namespace fotolume::album::testing
