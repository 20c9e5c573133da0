// A download keeps a record of what it is doing until the frame holds the new list; a frame whose list
// an interrupted download left erased is offered its album back when it is read again.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "album/commit_record.h"
#include "album/flash_layout.h"
#include "album/recovery_compact.h"
#include "compact/compact_controller.h"
#include "device/comm_usb.h"
#include "device/process_flash.h"
#include "tests/compact/compact_fixture.h"

namespace fotolume::compact::testing {
namespace {

const QString kAlbumQuestion = QStringLiteral(
    "MacFotolume|The last synchronize with this DPF was interrupted. Restore the album from the pictures still on "
    "the DPF?|Yes|No");
const QString kDamagedQuestion = QStringLiteral(
    "MacFotolume|The last synchronize with this DPF was interrupted. Restore the album from the pictures still on "
    "the DPF?\nSome pictures were damaged by the interruption; only the undamaged pictures can be restored.|Yes|No");

const QString kGiveUpQuestion = QStringLiteral(
    "MacFotolume|The album of the interrupted synchronize can still be restored. DownLoad anyway and give it up for "
    "good?|Yes|No");

class RecoveryTest : public CompactTest {
protected:
    // Where a download is cut off, counted in frame commands from its start.
    struct Cuts {
        uint64_t listEmptied = 0;      // the program that leaves the list without entries
        uint64_t listBlockErased = 0;  // the erase of the list block that the final list write begins with
    };

    // The frame holds red and blue, blue behind the list's 64 KB block, so that green, added after it,
    // is written before the list block is.
    void PrepareAlbum() {
        NewFlash();
        const uint32_t L = m_layout.listAddress;
        m_red = EncodedPicture(m_layout.width, m_layout.height, Qt::red);
        m_blue = EncodedPicture(m_layout.width, m_layout.height, Qt::blue);
        m_green = EncodedPicture(m_layout.width, m_layout.height, Qt::green);
        ASSERT_FALSE(m_red.empty() || m_blue.empty() || m_green.empty());
        m_slots = {{1, L + album::kListSize, static_cast<uint32_t>(m_red.size())},
                   {1, L + album::kBlockSize + 1000, static_cast<uint32_t>(m_blue.size())}};
        PutAlbum(m_slots, {m_red, m_blue});
        m_greenAt = m_slots[1].address + m_slots[1].length;
        m_initial = m_emulator->Flash();
        Start();
        ASSERT_EQ(AlbumNames().size(), 2);
        AddStream("Picture3.bmp", m_green);
    }

    // A whole download of the prepared album, to learn where its steps fall; then a new start.
    Cuts FindCuts() {
        PrepareAlbum();
        m_backend->ClearSent();
        MyDownLoadButtonHandler();
        Settle();
        EXPECT_EQ(Text("devl", 0), QStringLiteral("DownLoad Finished!"));
        const uint32_t L = m_layout.listAddress;
        Cuts cuts;
        uint64_t n = 0;
        for (const testsupport::SentCommand& command : testsupport::VendorCommands(m_backend->SentCommands())) {
            ++n;
            if (command.Address() != L) continue;
            if (command.IsProgram() && cuts.listEmptied == 0) cuts.listEmptied = n;
            if (command.IsErase()) cuts.listBlockErased = n;
        }
        EXPECT_GT(cuts.listEmptied, 0u);
        EXPECT_GT(cuts.listBlockErased, cuts.listEmptied);
        TearDown();
        m_prompt = CScriptedMacPrompt();
        return cuts;
    }

    // The prepared album's download, cut off by a power loss after its command number cut.
    void DownloadCutAfter(uint64_t cut) {
        PrepareAlbum();
        sim::FlashFaults faults;
        faults.vanishAfter = m_emulator->CommandCount() + cut;
        m_emulator->SetFaults(faults);
        MyDownLoadButtonHandler();
        Settle();
        m_emulator->SetFaults({});
        Plug(false);
    }

    // Erases and programs sent since the last ClearSent.
    long Writes() const {
        const auto commands = testsupport::VendorCommands(m_backend->SentCommands());
        return std::count_if(commands.begin(), commands.end(),
                             [](const testsupport::SentCommand& c) { return c.IsProgram() || c.IsErase(); });
    }

    // The frame's list holds exactly these pictures, each with the bytes meant for it, and the album read
    // from the frame shows them with those bytes.
    void ExpectAlbum(const std::vector<std::pair<uint32_t, const std::vector<uint8_t>*>>& pictures) {
        const std::vector<uint8_t> list = FlashList();
        ASSERT_TRUE(album::IsListValid(list.data()));
        for (size_t i = 0; i < pictures.size(); ++i) {
            const album::PicEntry entry = album::ReadEntry(list.data(), static_cast<int>(i));
            const auto& [address, bytes] = pictures[i];
            EXPECT_EQ(entry.flag, 1) << i;
            EXPECT_EQ(entry.address, address) << i;
            ASSERT_EQ(entry.length, bytes->size()) << i;
            EXPECT_EQ(FlashBytes(address, entry.length), *bytes) << i;
            EXPECT_EQ(ReadBytes(EdataPath("DPFPicture" + std::to_string(i + 1) + ".bmp")), *bytes) << i;
        }
        EXPECT_EQ(album::ReadEntry(list.data(), static_cast<int>(pictures.size())).flag, 0);
        EXPECT_EQ(AlbumNames().size(), static_cast<qsizetype>(pictures.size()));
    }

    // The frame still without a valid list and the record kept, the window idle with its commands on.
    void ExpectNotRestored() {
        EXPECT_FALSE(album::IsListValid(FlashList().data()));
        EXPECT_EQ(Records().size(), 1u);
        EXPECT_TRUE(CommandsEnabled());
        EXPECT_EQ(gmyIsTransferData, 0);
    }

    std::vector<uint8_t> m_red, m_blue, m_green, m_initial;
    std::vector<Slot> m_slots;
    uint32_t m_greenAt = 0;
};

TEST_F(RecoveryTest, ADownloadCutOffAfterTheListWasEmptiedIsOfferedBackAndYesRestoresIt) {
    const Cuts cuts = FindCuts();
    struct Case {
        const char* name;
        uint64_t cut;
        bool greenWritten;
    };
    for (const Case& c : {Case{"right after the list was emptied", cuts.listEmptied, false},
                          Case{"just before the list block was written", cuts.listBlockErased - 1, true}}) {
        SCOPED_TRACE(c.name);
        DownloadCutAfter(c.cut);
        // The frame is left without a valid list; the record of the download is still there.
        ASSERT_FALSE(album::IsListValid(FlashList().data()));
        ASSERT_EQ(Records().size(), 1u);

        m_prompt.QueueOk(true);
        Plug(true);
        ASSERT_EQ(m_prompt.Asked(), QStringList{kAlbumQuestion});
        if (c.greenWritten) {
            ExpectAlbum({{m_slots[0].address, &m_red}, {m_slots[1].address, &m_blue}, {m_greenAt, &m_green}});
        } else {
            ExpectAlbum({{m_slots[0].address, &m_red}, {m_slots[1].address, &m_blue}});
        }
        EXPECT_TRUE(Records().empty());
        EXPECT_EQ(Text("devl", 0), QStringLiteral("Album restored!"));
        EXPECT_TRUE(CommandsEnabled());
        EXPECT_EQ(gmyIsTransferData, 0);

        // Read again: a valid list, nothing to ask.
        Plug(false);
        Plug(true);
        EXPECT_EQ(m_prompt.Asked().size(), 1);
        TearDown();
        m_prompt = CScriptedMacPrompt();
    }
}

TEST_F(RecoveryTest, NoLeavesTheFrameEmptyAndTheQuestionComesAgainNextTime) {
    DownloadCutAfter(FindCuts().listEmptied);
    m_prompt.QueueOk(false);
    Plug(true);
    EXPECT_EQ(m_prompt.Asked(), QStringList{kAlbumQuestion});
    EXPECT_TRUE(AlbumNames().isEmpty());
    EXPECT_EQ(Text("devl", 0), QStringLiteral("No Picture"));
    ExpectNotRestored();

    m_prompt.QueueOk(true);
    Plug(false);
    Plug(true);
    EXPECT_EQ(m_prompt.Asked(), QStringList({kAlbumQuestion, kAlbumQuestion}));
    ExpectAlbum({{m_slots[0].address, &m_red}, {m_slots[1].address, &m_blue}});
}

TEST_F(RecoveryTest, APictureDamagedInABlockTheDownloadWritesIsPutBackByTheJournal) {
    DownloadCutAfter(FindCuts().listEmptied);
    // Blue, in both the old and the new album, lost a byte in the block green is merged into: neither album
    // is whole, but the journal holds that block as it was.
    m_emulator->Flash()[m_slots[1].address + 40] ^= 0x5A;
    m_prompt.QueueOk(true);
    Plug(true);
    EXPECT_EQ(m_prompt.Asked(), QStringList{kAlbumQuestion});
    ExpectAlbum({{m_slots[0].address, &m_red}, {m_slots[1].address, &m_blue}});
    EXPECT_TRUE(Records().empty());
}

TEST_F(RecoveryTest, ARestoreThatFailsSaysSoAndGoesOnWithTheEmptyAlbum) {
    DownloadCutAfter(FindCuts().listEmptied);
    Plug(true);  // answered No
    ASSERT_EQ(m_prompt.Asked().size(), 1);
    const uint64_t reading = m_emulator->CommandCount();

    // The same reading again, and Yes; the first command of the restore fails.
    Plug(false);
    m_prompt.QueueOk(true);
    m_backend->SetAttached(0, true);
    m_emulator->PowerCycle();
    m_emulator->SetFaults({.failCommand = reading + 1});
    compact::device->HandleNotification();
    Settle();
    m_emulator->SetFaults({});
    EXPECT_EQ(m_prompt.Asked().size(), 2);
    EXPECT_EQ(Text("devl", 0), QStringLiteral("The album could not be restored!"));
    EXPECT_TRUE(AlbumNames().isEmpty());
    ExpectNotRestored();
}

TEST_F(RecoveryTest, AFrameRemovedBeforeTheQuestionIsNotAskedAbout) {
    DownloadCutAfter(FindCuts().listEmptied);
    m_prompt.QueueOk(true);
    // The frame comes and the reading worker finds the record; it leaves before the window asks.
    Announce(true);
    JoinWorker();
    Announce(false);
    Settle();
    EXPECT_TRUE(m_prompt.Asked().isEmpty());
    EXPECT_EQ(gmyIsTransferData, 0);
    EXPECT_EQ(Text("devl", 0), QStringLiteral("Device Not Online!"));
    EXPECT_FALSE(album::IsListValid(FlashList().data()));
    EXPECT_EQ(Records().size(), 1u);
    // Back again: now it is asked.
    Plug(true);
    EXPECT_EQ(m_prompt.Asked(), QStringList{kAlbumQuestion});
    EXPECT_EQ(AlbumNames().size(), 2);
}

TEST_F(RecoveryTest, AYesGivenAfterTheFrameWasSwappedIsNotCarriedOut) {
    DownloadCutAfter(FindCuts().listEmptied);
    // While the question is open the frame is pulled and plugged in again; its new reading asks anew.
    m_prompt.WhileAsking([this] {
        Announce(false);
        Announce(true);
        JoinWorker();  // the new reading is done before the answer comes
    });
    m_prompt.QueueOk(true);
    m_prompt.QueueOk(false);
    Plug(true);
    EXPECT_EQ(m_prompt.Asked(), QStringList({kAlbumQuestion, kAlbumQuestion}));
    // Only the answer about the frame as it is now counts: No.
    EXPECT_TRUE(AlbumNames().isEmpty());
    ExpectNotRestored();
}

TEST_F(RecoveryTest, ACompletedDownloadLeavesNoRecordAndAStaleOneGoesWithoutAQuestion) {
    PrepareAlbum();
    MyDownLoadButtonHandler();
    Settle();
    ASSERT_EQ(Text("devl", 0), QStringLiteral("DownLoad Finished!"));
    EXPECT_TRUE(Records().empty());

    // A record of the album the frame now holds, left by a program that stopped before removing it.
    const std::vector<uint8_t> frameList = FlashList();
    album::FrameAccess access = album::compact::RecoveryAccess(*m_PtrPF, G_DeviceInfo);
    album::RecoveryRecord stale;
    album::DescribeOldAlbum(stale, access, album::ReadFrameIdentity(access), frameList.data());
    album::DescribeNewAlbum(stale, access, frameList.data(), {});
    std::string error;
    ASSERT_FALSE(album::StoreRecord(gmyRecoveryFolder, {}, stale, error).empty()) << error;
    ASSERT_EQ(Records().size(), 1u);
    Plug(false);
    Plug(true);
    EXPECT_TRUE(m_prompt.Asked().isEmpty());
    EXPECT_TRUE(Records().empty());
    ExpectAlbum({{m_slots[0].address, &m_red}, {m_slots[1].address, &m_blue}, {m_greenAt, &m_green}});
}

// Without the record an interruption could cost pictures: the download says why and writes nothing.
TEST_F(RecoveryTest, WithoutAPlaceForTheRecordTheDownloadSaysSoAndWritesNothing) {
    PrepareAlbum();
    QTemporaryDir dir;
    const std::filesystem::path notAFolder = dir.filePath(QStringLiteral("file")).toStdString();
    std::ofstream(notAFolder) << "x";
    gmyRecoveryFolder = notAFolder;
    ::testing::internal::CaptureStderr();
    MyDownLoadButtonHandler();
    Settle();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(Text("devl", 0), QStringLiteral("Fail To Download Picture!"));
    EXPECT_TRUE(said.starts_with("MacFotolume: no recovery record could be kept")) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_TRUE(CommandsEnabled());
    Plug(false);
    Plug(true);
    ExpectAlbum({{m_slots[0].address, &m_red}, {m_slots[1].address, &m_blue}});
}

TEST_F(RecoveryTest, AfterNoADownloadAsksBeforeGivingTheAlbumUpAndNothingIsWrittenUnderAQuestion) {
    DownloadCutAfter(FindCuts().listEmptied);
    // DownLoad pressed while the restore question is still open does nothing.
    m_prompt.WhileAsking([] { MyDownLoadButtonHandler(); });
    m_prompt.QueueOk(false);
    m_backend->ClearSent();
    Plug(true);
    ASSERT_EQ(m_prompt.Asked(), QStringList{kAlbumQuestion});
    EXPECT_EQ(Writes(), 0);
    EXPECT_EQ(Records().size(), 1u);

    // A new album, and No to giving the old one up: nothing is written, the record stays.
    AddStream("Picture1.bmp", m_green);
    m_prompt.QueueOk(false);
    m_backend->ClearSent();
    MyDownLoadButtonHandler();
    Settle();
    EXPECT_EQ(m_prompt.Asked(), QStringList({kAlbumQuestion, kGiveUpQuestion}));
    EXPECT_EQ(Writes(), 0);
    ExpectNotRestored();

    // Yes: the record is set aside, then the album written.
    const std::filesystem::path record = Records().front();
    m_prompt.QueueOk(true);
    MyDownLoadButtonHandler();
    Settle();
    EXPECT_EQ(m_prompt.Asked().size(), 3);
    EXPECT_EQ(Text("devl", 0), QStringLiteral("DownLoad Finished!"));
    EXPECT_TRUE(Records().empty());
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(record).concat(".discarded")));
    // Read again: the new album, and nothing to ask.
    Plug(false);
    Plug(true);
    EXPECT_EQ(m_prompt.Asked().size(), 3);
    ExpectAlbum({{album::ReadEntry(FlashList().data(), 0).address, &m_green}});
}

}  // namespace
}  // namespace fotolume::compact::testing
