// Reading a frame whose last synchronize was cut: the restore question and what Yes and No do.
#include "tests/app/app_harness.h"

#include "app/setting_dlg.h"
#include "app/thumb_list_ctrl.h"

#include "album/album_store.h"
#include "album/recovery_record.h"

#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

using namespace fotolume;
using namespace fotolume::apptest;
using album::RecoveryKind;

namespace {

const QString kAsk = QStringLiteral(
    "The last synchronize with this DPF was interrupted. Restore the album from the pictures still on the DPF?");
const QString kRestored = QStringLiteral("Album restored!");

// Unplugs the frame and plugs it in again with the answer to the question queued; true once read.
bool ReplugAnswering(AppHarness& h, bool yes)
{
    h.prompt.Clear();
    yes ? h.prompt.QueueYes() : h.prompt.QueueNo();
    return h.Replug();
}

// The window's own synchronize of three dropped pictures, cut in the middle of the picture data after its
// store left a record; the frame's fault is cleared again.
::testing::AssertionResult SynchronizeCutLeavingARecord(AppHarness& h)
{
    if (!h.StartAndRead() || !DropPictures(h, 3))
        return ::testing::AssertionFailure() << "no album to synchronize";
    FailCommitInPictureData(h);
    const std::optional<int> code = SynchronizeAndWait(h);
    h.emulator.SetFaults({});
    if (code.value_or(0) == 0)
        return ::testing::AssertionFailure() << "the synchronize did not fail";
    if (RecordCount(h.temp.path()) != 1U)
        return ::testing::AssertionFailure() << RecordCount(h.temp.path()) << " records";
    return ::testing::AssertionSuccess();
}

std::vector<Bytes> Joined(std::vector<Bytes> a, const std::vector<Bytes>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(Recovery, YesBringsBackTheAlbumTheCutLeftWholeAndReadsItAsUsual)
{
    struct Row {
        const char* name;
        RecoveryKind kind;
        bool cutFromEnd; // from the end: the new album is whole; from the start: the list block was being
                         // written for the first time, and the old pictures in it were erased
        bool newAlbumBack;
    };
    for (const Row& row : {Row{"new album", RecoveryKind::NewAlbum, true, true},
                           Row{"old album from the journal", RecoveryKind::OldAlbum, false, false}}) {
        SCOPED_TRACE(row.name);
        AppHarness h;
        const std::vector<Bytes> old = NoiseStreams(1, 3);
        const std::vector<Bytes> added = NoiseStreams(10, 2);
        ASSERT_TRUE(CutCommitLeaving(h, old, added, row.kind, row.cutFromEnd));
        ASSERT_TRUE(ReadBackAlbum(h.emulator).empty());
        if (row.kind == RecoveryKind::OldAlbum) {
            ASSERT_TRUE(Findable(h.emulator, h.temp.path()).fromJournal);
        }
        const std::vector<Bytes> expected = row.newAlbumBack ? Joined(old, added) : old;

        h.prompt.QueueYes();
        ASSERT_TRUE(h.StartAndRead());
        EXPECT_EQ(h.prompt.Texts(), (QStringList{kAsk, kRestored}));
        EXPECT_EQ(h.prompt.CountOf(app::CScriptedPrompt::Kind::YesNo), 1);
        EXPECT_EQ(static_cast<size_t>(h.Window().AlbumList()->count()), expected.size());
        EXPECT_EQ(static_cast<size_t>(h.Controller().CachePaths().size()), expected.size());
        // The frame holds the album now: nothing is left to synchronize and no record to offer.
        EXPECT_FALSE(h.Flags().isModified);
        EXPECT_EQ(ReadBackAlbum(h.emulator), expected);
        EXPECT_EQ(RecordCount(h.temp.path()), 0U);
    }
}

TEST(Recovery, NoKeepsTheRecordAndTheNextReadAsksAgainAfterTheWindowsOwnSynchronizeFailed)
{
    AppHarness h(WideFrame());
    ASSERT_TRUE(SynchronizeCutLeavingARecord(h));
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
    ASSERT_TRUE(CutCommitLeaving(h, NoiseStreams(1, 2), NoiseStreams(10, 1), RecoveryKind::NewAlbum, true));
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

TEST(Recovery, AfterAFailedSynchronizeANewStartAsksFirstAndAnEditAsksBeforeWritingOverTheRecord)
{
    AppHarness h(WideFrame());
    ASSERT_TRUE(SynchronizeCutLeavingARecord(h));
    const std::vector<uint8_t> interrupted = h.emulator.Flash();

    // The program ends without a word (as when it is killed) and starts again: the restore question is
    // the first thing the new window says, and No leaves the frame and the record as they are.
    h.controller.reset();
    h.prompt.Clear();
    h.prompt.QueueNo();
    ASSERT_TRUE(h.StartAndRead());
    ASSERT_FALSE(h.prompt.History().isEmpty());
    EXPECT_EQ(h.prompt.History().constFirst().kind, app::CScriptedPrompt::Kind::YesNo);
    EXPECT_TRUE(h.prompt.History().constFirst().text.startsWith(kAsk));
    EXPECT_EQ(h.prompt.History().size(), 1);
    EXPECT_TRUE(h.emulator.Flash() == interrupted);
    EXPECT_EQ(RecordCount(h.temp.path()), 1U);

    // An edit is fine; writing it asks first, and No writes nothing.
    ASSERT_TRUE(DropPictures(h, 1));
    const std::vector<Bytes> edited = AlbumInMemory(h.Controller());
    const QString discard = QStringLiteral(
        "The album of the interrupted synchronize can still be restored from this DPF. Give it up and write over it?");
    h.prompt.Clear();
    h.prompt.QueueNo();
    h.Controller().OnSynchronize();
    EXPECT_EQ(h.prompt.Texts(), QStringList{discard});
    EXPECT_FALSE(h.Flags().isSending);
    EXPECT_TRUE(h.emulator.Flash() == interrupted);
    EXPECT_EQ(RecordCount(h.temp.path()), 1U);

    // So does a colour change.
    h.prompt.Clear();
    bool chosen = false;
    QTimer::singleShot(0, &h.Window(), [&] {
        auto* dialog = h.Window().findChild<app::CSettingDlg*>();
        ASSERT_NE(dialog, nullptr);
        h.prompt.QueueColor(QColor(0, 0, 248));
        dialog->Button(app::setting_ids::kFontColor)->click();
        h.prompt.QueueNo();
        chosen = true;
        dialog->accept();
    });
    h.Controller().OnSetting();
    ASSERT_TRUE(chosen);
    EXPECT_EQ(h.prompt.Texts().constLast(), discard);
    EXPECT_TRUE(h.emulator.Flash() == interrupted);
    EXPECT_EQ(h.Controller().FontColour(), QColor(0, 0, 0));

    // Yes gives the record up and writes the album the window shows.
    h.prompt.Clear();
    h.prompt.QueueYes();
    EXPECT_EQ(SynchronizeAndWait(h), 0);
    EXPECT_EQ(h.prompt.Texts(), QStringList{discard});
    EXPECT_EQ(ReadBackAlbum(h.emulator), edited);
    EXPECT_EQ(RecordCount(h.temp.path()), 0U);
}
