// Reading a frame whose last synchronize was cut: the restore question and what Yes and No do.
#include "app_harness.h"

#include "thumb_list_ctrl.h"

#include "album/album_error.h"
#include "album/album_store.h"
#include "album/recovery_record.h"
#include "device/process_flash.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

using namespace fotolume;
using namespace fotolume::apptest;
using album::RecoveryKind;

namespace {

const QString kAsk = QStringLiteral(
    "The last synchronize with this DPF was interrupted. Restore the album from the pictures still on the DPF?");
const QString kRestored = QStringLiteral("Album restored!");

// A store of its own on the frame that keeps records in folder, as the window's store does.
std::unique_ptr<album::CAlbumStore> RecordingStore(sim::CFlashEmulator& emulator, const QString& folder)
{
    auto store = std::make_unique<album::CAlbumStore>();
    store->Bind(sim::MakeEmulatorBackend({&emulator}), "zentaris");
    store->Flash().SetPollInterval(std::chrono::milliseconds(0));
    store->SetRecoveryFolder(folder.toStdString());
    store->GetInformation();
    store->ReadPictureList();
    return store;
}

album::RecoveryResult Findable(sim::CFlashEmulator& emulator, const QString& folder)
{
    auto store = RecordingStore(emulator, folder);
    return store->RecoveryPending() ? store->FindRecovery() : album::RecoveryResult{};
}

size_t RecordCount(const QString& folder)
{
    return album::ListRecordFiles(folder.toStdString()).size();
}

// The frame holds old; a commit appending added is cut by a power loss after command k, for the first k
// (from the start, or from the end) whose cut leaves `wanted` to find. The records live in the
// harness's private folder, where the window's store finds them.
bool CutCommitLeaving(AppHarness& h, const std::vector<Bytes>& old, const std::vector<Bytes>& added,
                      RecoveryKind wanted, bool fromEnd)
{
    SeedAlbum(h.emulator, old);
    const std::vector<uint8_t> before = h.emulator.Flash();
    const QString folder = h.temp.path();
    auto commitCut = [&](uint64_t k) {
        h.emulator.Flash() = before;
        h.emulator.PowerCycle();
        for (const auto& record : album::ListRecordFiles(folder.toStdString()))
            std::filesystem::remove(record);
        auto store = RecordingStore(h.emulator, folder);
        for (const Bytes& picture : added)
            store->AddPictureData(picture.data(), static_cast<uint32_t>(picture.size()));
        const uint64_t start = h.emulator.CommandCount();
        if (k != 0)
            h.emulator.SetFaults({.vanishAfter = start + k});
        try {
            store->CommitAlbum();
        } catch (const album::CAlbumError&) {
        }
        const uint64_t used = h.emulator.CommandCount() - start;
        store.reset();
        h.emulator.SetFaults({});
        h.emulator.PowerCycle();
        return used;
    };
    const uint64_t total = commitCut(0);
    for (uint64_t i = 1; i < total; ++i) {
        commitCut(fromEnd ? total - i : i);
        if (Findable(h.emulator, folder).kind == wanted)
            return true;
    }
    return false;
}

// Unplugs the frame and plugs it in again with the answer to the question queued; true once read.
bool ReplugAnswering(AppHarness& h, bool yes)
{
    h.prompt.Clear();
    h.Plug(false);
    if (!WaitFor([&] { return !h.Flags().isConnected && !h.Controller().WorkerRunning(); }))
        return false;
    const int reads = h.Controller().ReadsFinished();
    yes ? h.prompt.QueueYes() : h.prompt.QueueNo();
    h.Plug(true);
    return h.WaitForRead(reads);
}

std::vector<Bytes> Pictures(AppHarness& h, unsigned firstSeed, int count)
{
    std::vector<Bytes> pictures;
    for (int i = 0; i < count; ++i)
        pictures.push_back(EncodeStream(NoisePicture(128, 128, firstSeed + static_cast<unsigned>(i)), 60, h.files.path()));
    return pictures;
}

std::vector<Bytes> Joined(std::vector<Bytes> a, const std::vector<Bytes>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(Recovery, YesBringsBackTheInterruptedAlbumAndReadsItAsUsual)
{
    AppHarness h;
    const std::vector<Bytes> old = Pictures(h, 1, 3);
    const std::vector<Bytes> added = Pictures(h, 10, 2);
    ASSERT_TRUE(CutCommitLeaving(h, old, added, RecoveryKind::NewAlbum, true));
    ASSERT_TRUE(ReadBackAlbum(h.emulator).empty());

    h.prompt.QueueYes();
    ASSERT_TRUE(h.StartAndRead());
    EXPECT_EQ(h.prompt.Texts(), (QStringList{kAsk, kRestored}));
    EXPECT_EQ(h.prompt.CountOf(app::CScriptedPrompt::Kind::YesNo), 1);
    EXPECT_EQ(h.Window().AlbumList()->count(), 5);
    EXPECT_EQ(h.Controller().CachePaths().size(), 5);
    // The frame holds the album now: nothing is left to synchronize and no record to offer.
    EXPECT_FALSE(h.Flags().isModified);
    EXPECT_EQ(ReadBackAlbum(h.emulator), Joined(old, added));
    EXPECT_EQ(RecordCount(h.temp.path()), 0U);
}

TEST(Recovery, WhenTheNewAlbumIsNotWholeTheOldOneComesBackExactly)
{
    AppHarness h;
    const std::vector<Bytes> old = Pictures(h, 1, 3);
    const std::vector<Bytes> added = Pictures(h, 10, 2);
    // Cut while the list block was being written for the first time: old pictures in it were erased.
    ASSERT_TRUE(CutCommitLeaving(h, old, added, RecoveryKind::OldAlbum, false));
    ASSERT_TRUE(Findable(h.emulator, h.temp.path()).fromJournal);

    h.prompt.QueueYes();
    ASSERT_TRUE(h.StartAndRead());
    EXPECT_EQ(h.prompt.Texts(), (QStringList{kAsk, kRestored}));
    EXPECT_EQ(h.Window().AlbumList()->count(), 3);
    EXPECT_EQ(ReadBackAlbum(h.emulator), old);
}

TEST(Recovery, NoKeepsTheRecordAndTheNextReadAsksAgainAfterTheWindowsOwnSynchronizeFailed)
{
    AppHarness h(WideFrame());
    ASSERT_TRUE(h.StartAndRead());
    ASSERT_TRUE(DropPictures(h, 3));
    // Cut in the middle of the picture data: the window's own store left a record first.
    FailCommitInPictureData(h);
    QSignalSpy done(&h.Controller(), &app::CMainController::synchronizeFinished);
    ASSERT_TRUE(SynchronizeAndWait(h, done, 0));
    ASSERT_NE(done.constLast().at(0).toInt(), 0);
    h.emulator.SetFaults({});
    ASSERT_EQ(RecordCount(h.temp.path()), 1U);
    const album::RecoveryResult found = Findable(h.emulator, h.temp.path());
    ASSERT_NE(found.kind, RecoveryKind::None);

    // Plugged in again, the frame is read afresh; No leaves it empty and the record in place.
    ASSERT_TRUE(ReplugAnswering(h, false));
    ASSERT_EQ(h.prompt.CountOf(app::CScriptedPrompt::Kind::YesNo), 1);
    EXPECT_TRUE(h.prompt.History().constFirst().text.startsWith(kAsk));
    EXPECT_EQ(h.Window().AlbumList()->count(), 0);
    EXPECT_TRUE(ReadBackAlbum(h.emulator).empty());
    EXPECT_EQ(RecordCount(h.temp.path()), 1U);

    ASSERT_TRUE(ReplugAnswering(h, true));
    EXPECT_EQ(h.prompt.Texts().constLast(), kRestored);
    EXPECT_EQ(static_cast<size_t>(h.Window().AlbumList()->count()), found.pictures.size());
    EXPECT_EQ(ReadBackAlbum(h.emulator).size(), found.pictures.size());
    EXPECT_EQ(RecordCount(h.temp.path()), 0U);
}

TEST(Recovery, AFrameWithAValidListAsksNothingAndDropsItsStaleRecord)
{
    AppHarness h;
    const std::vector<Bytes> old = Pictures(h, 1, 2);
    const std::vector<Bytes> added = Pictures(h, 10, 1);
    ASSERT_TRUE(CutCommitLeaving(h, old, added, RecoveryKind::NewAlbum, true));
    const auto records = album::ListRecordFiles(h.temp.path().toStdString());
    ASSERT_EQ(records.size(), 1U);
    const std::filesystem::path copy = records[0].string() + ".keep";
    std::filesystem::copy_file(records[0], copy);
    // Restored elsewhere meanwhile (that removed the record; its copy comes back as a stale one).
    ASSERT_TRUE(RecordingStore(h.emulator, h.temp.path())->ApplyRecovery(Findable(h.emulator, h.temp.path())));
    ASSERT_EQ(ReadBackAlbum(h.emulator).size(), 3U);
    std::filesystem::rename(copy, records[0]);

    ASSERT_TRUE(h.StartAndRead());
    EXPECT_TRUE(h.prompt.Texts().isEmpty());
    EXPECT_EQ(h.Window().AlbumList()->count(), 3);
    EXPECT_EQ(RecordCount(h.temp.path()), 0U);
}
