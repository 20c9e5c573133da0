// The commit: what it writes, in which order, its progress, its refusals and the stop request.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "device/bytes.h"
#include "tests/album/album_fixture.h"

namespace fotolume::album::testing {
namespace {

constexpr uint32_t kL = 0x10000;

std::vector<uint32_t> ErasedBlocks(const std::vector<SentCommand>& sent) {
    std::vector<uint32_t> out;
    for (const auto& c : sent) {
        if (c.IsErase()) out.push_back(c.Address());
    }
    return out;
}

// Addresses where a verified 64 KB read started (its first 4 KB piece).
std::vector<uint32_t> BlockReads(const std::vector<SentCommand>& sent) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < sent.size(); ++i) {
        if (sent[i].IsRead() && (i == 0 || !sent[i - 1].IsRead())) out.push_back(sent[i].Address());
    }
    return out;
}

std::unique_ptr<BoundStore> AlbumWith(AlbumFrame& frame, const std::vector<uint32_t>& sizes) {
    auto a = frame.Open();
    for (size_t i = 0; i < sizes.size(); ++i) {
        EXPECT_TRUE(a->store.AddPictureData(Picture(sizes[i], static_cast<uint32_t>(i)).data(), sizes[i]));
    }
    EXPECT_TRUE(a->store.CommitAlbum());
    a->ClearSent();
    a->progress.clear();
    return a;
}

TEST(CommitTest, AfterOnlyDeletesOnlyTheListBlockIsWritten) {
    AlbumFrame frame;
    AlbumWith(frame, {30000, 90000, 20000});
    auto a = frame.Open();
    ASSERT_TRUE(a->store.DeletePicture(1));
    ASSERT_TRUE(a->store.CommitAlbum());
    EXPECT_EQ(a->progress, (std::vector<ProgressCall>{{2, 99, 100}}));
    auto sent = a->Sent();
    EXPECT_EQ(ErasedBlocks(sent), std::vector<uint32_t>{kL});
    for (const auto& c : sent) {
        if (c.IsProgram()) {
            EXPECT_LT(c.Address() - kL, kBlockSize);
        }
    }
    auto back = frame.ReadBack();
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0], Picture(30000, 0));
    EXPECT_EQ(back[1], Picture(20000, 2));
}

TEST(CommitTest, NewDataIsWrittenFromTheFirstUncommittedByte) {
    AlbumFrame frame;
    auto a = AlbumWith(frame, {100000});
    ASSERT_TRUE(a->store.AddPictureData(Picture(50000, 1).data(), 50000));
    ASSERT_TRUE(a->store.CommitAlbum());
    auto sent = a->Sent();
    // The list block is emptied, the two blocks the new picture touches are read and merged (26976
    // bytes into the first, 23024 into the second), and the list block is written last: each block is
    // read once, before anything is erased.
    EXPECT_EQ(ErasedBlocks(sent), (std::vector<uint32_t>{kL, kL + 0x10000, kL + 0x20000, kL}));
    EXPECT_EQ(BlockReads(sent), (std::vector<uint32_t>{kL, kL + 0x10000, kL + 0x20000}));
    EXPECT_EQ(a->progress, (std::vector<ProgressCall>{
                               {2, 1, 100}, {2, 2, 100}, {2, 3, 100}, {2, 0, 50000}, {2, 26976, 50000}, {2, 99, 100}}));
    PicEntry entry;
    a->store.GetPictureEntry(1, entry);
    EXPECT_EQ(entry.address, kL + 104096);
    auto back = frame.ReadBack();
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0], Picture(100000, 0));
    EXPECT_EQ(back[1], Picture(50000, 1));
}

TEST(CommitTest, LayoutsThatWouldTouchTheFramesOwnRegionAreRefusedBeforeAnyErase) {
    struct Case {
        uint32_t list, flash;
        uint16_t width = 128, height = 128;
    } cases[] = {{0x18000, 0x200000},
                 {0x1FF000, 0x1FF800},
                 {0x10000, 0x300000},  // a 3 MB header on the 2 MB chip: writes would run past its end
                 {0x10000, 0x200000, 65535, 65535},
                 {0x10000, 0x200000, 0, 128}};
    for (const Case& c : cases) {
        AlbumFrame frame;
        device::WriteLe24(frame.emulator.Flash().data() + sim::kHeaderListAddress, c.list);
        device::WriteLe24(frame.emulator.Flash().data() + sim::kHeaderFlashSize, c.flash);
        device::WriteLe16(frame.emulator.Flash().data() + sim::kHeaderWidth, c.width);
        device::WriteLe16(frame.emulator.Flash().data() + sim::kHeaderHeight, c.height);
        const auto before = frame.emulator.Flash();
        auto a = frame.Open();
        ASSERT_FALSE(a->store.IsLayoutWritable());
        a->store.AddPictureData(Picture(100, 1).data(), 100);
        EXPECT_EQ(CommitCode(a->store), ErrLayout) << "list address " << c.list;
        EXPECT_THROW(a->store.SetColors(0x1234, 0x4321), CAlbumError);
        for (const auto& cmd : a->Sent()) EXPECT_FALSE(cmd.IsErase() || cmd.IsProgram());
        EXPECT_EQ(frame.emulator.Flash(), before);
    }
}

// A failed command is tried again from memory; a frame that stops answering before the first erase is left
// exactly as it was.
TEST(CommitTest, AReadThatFailsOnceIsTriedAgainAndALostFrameIsNotTouched) {
    for (bool lost : {false, true}) {
        SCOPED_TRACE(lost ? "frame lost after the wake-up" : "first read fails once");
        AlbumFrame frame;
        auto a = AlbumWith(frame, {30000});
        ASSERT_TRUE(a->store.AddPictureData(Picture(20000, 5).data(), 20000));
        const auto before = frame.emulator.Flash();
        frame.emulator.PowerCycle();
        // Command 1 wakes the flash; command 2 is the first read of the block at L.
        frame.emulator.SetFaults(lost ? sim::FlashFaults{.vanishAfter = 1} : sim::FlashFaults{.failCommand = 2});
        if (lost) {
            EXPECT_EQ(CommitCode(a->store), ErrTransfer);
            EXPECT_TRUE(ErasedBlocks(a->Sent()).empty());
            EXPECT_EQ(frame.emulator.Flash(), before);
            frame.emulator.SetFaults({});
            frame.emulator.PowerCycle();
        }
        ASSERT_TRUE(a->store.CommitAlbum());
        EXPECT_EQ(frame.ReadBack(), (std::vector<std::vector<uint8_t>>{Picture(30000, 0), Picture(20000, 5)}));
    }
}

// A stop between two blocks ends with a whole album on the frame: untouched when nothing was erased yet,
// the new one when only the list was left, else the old one put back from the journal.
TEST(CommitTest, AStopLeavesTheOldAlbumOrFinishesWhenOnlyTheListIsLeft) {
    struct Case {
        const char* when;
        std::function<bool(const ProgressCall&)> at;  // the stop is asked at this progress call
        bool finished;
    } cases[] = {
        {"before the list is emptied", [](const ProgressCall& p) { return p == ProgressCall{6, 2, 100}; }, false},
        {"during the data", [](const ProgressCall& p) { return p.total == 200000 && p.done > 50000; }, false},
        {"before the list is written", [](const ProgressCall& p) { return p == ProgressCall{6, 99, 100}; }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when);
        AlbumFrame frame;
        auto a = AlbumWith(frame, {25000, 15000});
        for (uint32_t i = 0; i < 4; ++i) ASSERT_TRUE(a->store.AddPictureData(Picture(50000, 10 + i).data(), 50000));
        const auto before = frame.emulator.Flash();
        a->onProgress = [&](const ProgressCall& call) {
            if (c.at(call)) a->store.RequestStop();
        };
        EXPECT_EQ(a->store.CommitAlbum(), c.finished);
        EXPECT_TRUE(a->store.StopRequested());
        if (c.finished) {
            EXPECT_EQ(frame.ReadBack(), PicturesInMemory(a->store));
        } else {
            // The list and the two old pictures share the list block: the journal brought it back whole.
            EXPECT_EQ(frame.ReadBack(), (std::vector<std::vector<uint8_t>>{Picture(25000, 0), Picture(15000, 1)}));
            EXPECT_TRUE(std::equal(before.begin(), before.begin() + kL + kBlockSize, frame.emulator.Flash().begin()));
        }
    }
}

TEST(CommitTest, ProgressRunsFromTheListPhasesThroughThePicturesToTheList) {
    AlbumFrame frame;
    auto a = frame.Open();
    for (uint32_t i = 0; i < 7; ++i) ASSERT_TRUE(a->store.AddPictureData(Picture(30000, i).data(), 30000));
    ASSERT_TRUE(a->store.CommitAlbum());
    const auto& p = a->progress;
    ASSERT_GE(p.size(), 5u);
    EXPECT_EQ(p[0], (ProgressCall{7, 1, 100}));
    EXPECT_EQ(p[1], (ProgressCall{7, 2, 100}));
    EXPECT_EQ(p[2], (ProgressCall{7, 3, 100}));
    EXPECT_EQ(p.back(), (ProgressCall{7, 99, 100}));
    // Every picture is reported once it starts, in album order, with done never going back.
    std::vector<int> started;
    int lastDone = 0;
    for (size_t i = 3; i + 1 < p.size(); ++i) {
        EXPECT_EQ(p[i].total, 210000);
        EXPECT_GE(p[i].done, lastDone);
        lastDone = p[i].done;
        if (started.empty() || started.back() != p[i].picture) started.push_back(p[i].picture);
    }
    EXPECT_EQ(started, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
}

sim::NewFrame WithEraseOpcode(uint8_t opcode) {
    sim::NewFrame layout;
    layout.eraseOpcode = opcode;
    return layout;
}

// Swapped colours keep the list's byte sum: with the 4 KB erase opcode, which leaves out a sector that
// already holds its bytes, the swap must still reach the frame.
TEST(CommitTest, ColoursAreWrittenAtOnceAndKeepTheListedPictures) {
    for (uint8_t opcode : {uint8_t{0xD8}, uint8_t{0x20}}) {
        SCOPED_TRACE(static_cast<int>(opcode));
        AlbumFrame frame(WithEraseOpcode(opcode));
        AlbumWith(frame, {5000, 6000});
        for (auto [setFont, setBackground] : {std::pair<uint16_t, uint16_t>{0x07E0, 0x001F}, {0x001F, 0x07E0}}) {
            auto a = frame.Open();
            a->store.SetColors(setFont, setBackground);
            auto b = frame.Open();
            EXPECT_EQ(Colours(b->store), std::make_pair(setFont, setBackground));
            EXPECT_EQ(PicturesInMemory(b->store),
                      (std::vector<std::vector<uint8_t>>{Picture(5000, 0), Picture(6000, 1)}));
        }
    }
}

// On a frame whose header names the 4 KB erase opcode, appending a picture erases the sectors its bytes
// go to, the list's sector and the first sector of each block written; the old pictures' sectors stay.
TEST(CommitTest, ASmallEditOnASectorEraseFrameErasesOnlyTheSectorsItChanges) {
    AlbumFrame frame(WithEraseOpcode(0x20));
    const std::vector<uint32_t> sizes(10, 30000);
    auto a = AlbumWith(frame, sizes);
    ASSERT_TRUE(a->store.AddPictureData(Picture(30000, 10).data(), 30000));
    const uint32_t from = kL + kListSize + 300000, to = from + 30000;
    const uint64_t erasesBefore = frame.emulator.GetStats().erases;
    ASSERT_TRUE(a->store.CommitAlbum());
    std::vector<uint32_t> erased = ErasedBlocks(a->Sent());
    EXPECT_EQ(frame.emulator.GetStats().erases - erasesBefore, erased.size());
    // The list's sector twice (emptied first, written last), each other sector at most once. Whole blocks
    // would have been 64 sector erases: the list block twice and the two blocks the new bytes span.
    EXPECT_EQ(std::count(erased.begin(), erased.end(), kL), 2);
    std::sort(erased.begin(), erased.end());
    EXPECT_EQ(std::unique(erased.begin(), erased.end()) - erased.begin(), static_cast<long>(erased.size()) - 1);
    for (uint32_t address : erased) {
        EXPECT_TRUE(address % kBlockSize == 0 || (address + 4096 > from && address < to)) << std::hex << address;
    }
    EXPECT_LT(erased.size(), 16u);
    auto expected = std::vector<std::vector<uint8_t>>();
    for (uint32_t i = 0; i < 10; ++i) expected.push_back(Picture(30000, i));
    expected.push_back(Picture(30000, 10));
    EXPECT_EQ(frame.ReadBack(), expected);
}

TEST(CommitTest, ColoursOnANewFrameMakeACleanEmptyList) {
    AlbumFrame frame;
    auto a = frame.Open();
    a->store.SetColors(0x1111, 0x2222);
    const uint8_t* list = frame.emulator.Flash().data() + kL;
    EXPECT_TRUE(IsListValid(list));
    EXPECT_TRUE(std::all_of(list + 16, list + 4094, [](uint8_t v) { return v == 0; }));
    auto b = frame.Open();
    EXPECT_FALSE(b->store.ListChangedOnLoad());
    EXPECT_EQ(b->store.GetPictureCount(), 0);
}

// A colour write cut off half way leaves the list block unknown; the next commit of the same store carries on
// from what it meant to write, and the frame ends with the colours and every picture.
TEST(CommitTest, ABrokenColourWriteIsFinishedByTheNextCommit) {
    AlbumFrame frame;
    AlbumWith(frame, {20000, 30000});
    auto a = frame.Open();
    frame.emulator.PowerCycle();
    a->ClearSent();
    a->store.SetColors(0x0001, 0x0002);
    const uint64_t fifthProgram = NthCommand(a->Sent(), &SentCommand::IsProgram, 5);
    ASSERT_NE(fifthProgram, 0u);

    auto b = frame.Open();
    frame.emulator.PowerCycle();
    frame.emulator.SetFaults({.vanishAfter = fifthProgram});
    EXPECT_THROW(b->store.SetColors(0x0003, 0x0004), CAlbumError);
    frame.emulator.SetFaults({});
    frame.emulator.PowerCycle();
    EXPECT_TRUE(frame.ReadBack().empty()) << "the list is not valid while its block is half written";
    ASSERT_TRUE(b->store.CommitAlbum());
    auto c = frame.Open();
    EXPECT_EQ(Colours(c->store), (std::pair<uint16_t, uint16_t>{0x0003, 0x0004}));
    EXPECT_EQ(PicturesInMemory(c->store), (std::vector<std::vector<uint8_t>>{Picture(20000, 0), Picture(30000, 1)}));
}

}  // namespace
}  // namespace fotolume::album::testing
