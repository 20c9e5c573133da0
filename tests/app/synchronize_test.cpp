// The synchronize worker: writing the album to the simulated frame.
#include "tests/app/app_harness.h"

#include "app/text_progress_ctrl.h"
#include "app/thumb_list_ctrl.h"

#include "album/album_error.h"

#include <QDir>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace fotolume;
using namespace fotolume::apptest;


TEST(Synchronize, WithoutAChangeNothingHappens)
{
    AppHarness h;
    ASSERT_TRUE(h.StartAndRead());
    const uint64_t commands = h.emulator.CommandCount();
    const QString status = h.Window().StatusText();
    h.Controller().OnSynchronize();
    EXPECT_FALSE(h.Flags().isSending);
    EXPECT_FALSE(h.Controller().WorkerRunning());
    QTest::qWait(20);
    EXPECT_EQ(h.emulator.CommandCount(), commands);
    EXPECT_EQ(h.Window().StatusText(), status);
}

TEST(Synchronize, SuccessLeavesTheFrameHoldingTheAlbum)
{
    AppHarness h(WideFrame());
    ASSERT_TRUE(h.StartAndRead());
    ASSERT_TRUE(DropPictures(h, 7));
    ASSERT_TRUE(h.Flags().isModified);
    const std::vector<Bytes> album = AlbumInMemory(h.Controller());
    ASSERT_EQ(album.size(), 7U);

    h.statuses.clear();
    EXPECT_EQ(SynchronizeAndWait(h), 0);
    // While the third of seven pictures was written the status said so.
    EXPECT_TRUE(h.statuses.contains(QStringLiteral("Sending.......3/7")));
    EXPECT_EQ(h.statuses.constLast(), QStringLiteral(" Synchronize Finished!"));
    EXPECT_EQ(h.Window().Progress()->GetPos(), 0);
    EXPECT_TRUE(h.Window().Button(1001)->isEnabled());
    EXPECT_TRUE(h.Window().AlbumList()->isEnabled());
    EXPECT_FALSE(h.Flags().isSending);
    EXPECT_FALSE(h.Flags().isModified);
    EXPECT_TRUE(h.prompt.Texts().isEmpty());
    EXPECT_EQ(ReadBackAlbum(h.emulator), album);
    // A second Synchronize has nothing to write.
    h.Controller().OnSynchronize();
    EXPECT_FALSE(h.Flags().isSending);
}

TEST(Synchronize, AFailureIsReportedAndTheNextSynchronizeRestoresTheFrame)
{
    AppHarness h(WideFrame());
    ASSERT_TRUE(h.StartAndRead());
    ASSERT_TRUE(DropPictures(h, 3));
    const std::vector<Bytes> album = FailCommitInPictureData(h);
    h.statuses.clear();
    EXPECT_EQ(SynchronizeAndWait(h), album::ErrTransfer);
    ASSERT_EQ(h.prompt.Texts().size(), 1);
    EXPECT_TRUE(h.prompt.Texts()[0].startsWith(QStringLiteral("Download pics failed!")));
    EXPECT_EQ(h.statuses.constLast(), QStringLiteral(" Synchronize Finished!"));
    EXPECT_TRUE(h.Window().Button(1001)->isEnabled());
    EXPECT_EQ(h.Window().Progress()->GetPos(), 0);
    h.emulator.SetFaults({});
    EXPECT_TRUE(ReadBackAlbum(h.emulator).empty());
    // The frame does not hold the album: it stays marked for writing.
    EXPECT_TRUE(h.Flags().isModified);

    EXPECT_EQ(SynchronizeAndWait(h), 0);
    EXPECT_EQ(ReadBackAlbum(h.emulator), album);
    EXPECT_FALSE(h.Flags().isModified);
}

TEST(Synchronize, QuittingMidWayLeavesAWholeAlbumOnTheFrame)
{
    AppHarness h(WideFrame());
    ASSERT_TRUE(h.StartAndRead());
    ASSERT_TRUE(DropPictures(h, 7));
    const std::vector<Bytes> album = AlbumInMemory(h.Controller());
    h.Window().show();
    // Slow erases give the stop time to arrive mid-way.
    h.emulator.SetFaults({.busyPolls = 5});

    QSignalSpy ended(&h.Controller(), &app::CMainController::finished);
    bool asked = false;
    QObject::connect(&h.Window(), &app::CMainDlg::statusShown, [&](const QString& text) {
        if (!asked && text == QStringLiteral("Sending.......2/7")) {
            asked = true;
            h.prompt.QueueYes();
            h.Window().RequestLeave();
        }
    });
    h.Controller().OnSynchronize();
    ASSERT_TRUE(WaitFor([&] { return ended.count() == 1; }, 60000));
    ASSERT_TRUE(asked);
    EXPECT_TRUE(h.prompt.Texts().constFirst().startsWith(QStringLiteral("Stop download and quit?\n")));
    EXPECT_TRUE(h.Flags().isQuitPending);
    EXPECT_TRUE(h.statuses.contains(QStringLiteral("Stopping……")));
    EXPECT_FALSE(h.Window().isVisible());

    // The frame holds a whole album: the one it had (empty), or the new one when only its list was left.
    const std::vector<Bytes> kept = ReadBackAlbum(h.emulator);
    EXPECT_TRUE(kept.empty() || kept == album) << kept.size() << " pictures";
    // Nothing was said after the window closed.
    EXPECT_EQ(h.prompt.Texts().size(), 1);
    EXPECT_TRUE(QDir(h.Controller().CacheFolder()).entryList(QDir::Files).isEmpty());
}
