// The power-cut and failed-command matrix over a full-size album: a 4 MB frame holding 40 pictures, an
// edit that deletes six, adds one that only fits once the area is compacted (so every picture moves) and
// adds two more. After every cut the frame must read, after at most one recovery, as exactly the old album
// or exactly the new one, nothing below the list address may change, and the program that still holds the
// album must get exactly the undisturbed flash from a second commit. A failed command is tried again and
// the commit ends with the undisturbed flash.
//
// The commit sends tens of thousands of commands; cutting after each would take hours. The cuts are every
// command of the list's invalidation and of the final list write (where the album changes meaning), the
// erase of every data block and the command after it, and a fixed stride through the programming between.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>

#include "device/process_flash.h"
#include "tests/album/recovery_fixture.h"

namespace fotolume::album::testing {
namespace {

constexpr int kShards = 8;
constexpr uint32_t kL = 0x10000;
constexpr uint32_t kFlash = 4u << 20;
constexpr int kOldPictures = 40;
constexpr uint64_t kStride = 97;  // prime, so the cuts fall at every position within a block's programs

using Album = std::vector<std::vector<uint8_t>>;

uint32_t OldSize(int i) { return 80'000 + static_cast<uint32_t>(i * 7919 % 36'000); }

struct LargeScenario {
    LargeScenario() : frame(Layout()) {
        auto a = Open();
        for (int i = 0; i < kOldPictures; ++i)
            EXPECT_TRUE(a->store.AddPictureData(Picture(OldSize(i), static_cast<uint32_t>(i)).data(), OldSize(i)));
        EXPECT_TRUE(a->store.CommitAlbum());
        oldAlbum = PicturesInMemory(a->store);
        initial = frame.emulator.Flash();

        auto b = Edited();
        EXPECT_EQ(b->store.GetCommittedLength(), 0u) << "the edit compacted the area";
        EXPECT_TRUE(b->store.CommitAlbum());
        sent = b->Sent();
        intended = frame.emulator.Flash();
        newAlbum = PicturesInMemory(b->store);
        EXPECT_EQ(newAlbum.size(), static_cast<size_t>(kOldPictures - 6 + 3));
        ChooseCuts();
    }

    static sim::NewFrame Layout() { return {.flashSize = kFlash, .listAddress = kL}; }

    // A store that has read the whole album, with records (or without, for the plain view). The emulated
    // flash is never busy for long: no pause between status polls, or the matrix would mostly wait.
    std::unique_ptr<BoundStore> Open(bool records = true) {
        auto a = std::make_unique<BoundStore>(frame.emulator);
        a->store.Flash().SetPollInterval(std::chrono::milliseconds(0));
        if (records) a->store.Recovery().SetFolder(folder.Path());
        ReadAlbum(a->store);
        a->ClearSent();
        a->progress.clear();
        return a;
    }

    // The frame as before the edit, and a store that has read it and made the edit in memory.
    std::unique_ptr<BoundStore> Edited() {
        frame.emulator.SetFaults({});
        frame.emulator.Flash() = initial;
        frame.emulator.PowerCycle();
        auto a = Open();
        for (int position : {38, 30, 21, 13, 5, 0}) EXPECT_TRUE(a->store.DeletePicture(position));
        const uint32_t big = 260'000;  // more than is left behind the last picture
        EXPECT_LT(a->store.GetCapacity() - a->store.GetUsedLength(), big);
        EXPECT_TRUE(a->store.AddPictureData(Picture(big, 100).data(), big));
        EXPECT_TRUE(a->store.AddPictureData(Picture(61'000, 101).data(), 61'000));
        EXPECT_TRUE(a->store.AddPictureData(Picture(9'000, 102).data(), 9'000));
        frame.emulator.PowerCycle();
        a->ClearSent();
        return a;
    }

    void ChooseCuts() {
        std::set<uint64_t> chosen;
        const uint64_t n = sent.size();
        // The list's invalidation: everything up to the end of the first write of the list block.
        uint64_t firstListWrite = 0, lastListErase = 0;
        for (uint64_t k = 1; k <= n; ++k) {
            const SentCommand& c = sent[k - 1];
            if (c.IsErase() && c.Address() == kL) {
                if (firstListWrite == 0) firstListWrite = k;
                lastListErase = k;
            }
            if (c.IsErase()) chosen.insert({k, k + 1});
            if (k % kStride == 0) chosen.insert(k);
        }
        uint64_t firstDataErase = n;
        for (uint64_t k = firstListWrite + 1; k <= n; ++k)
            if (sent[k - 1].IsErase() && sent[k - 1].Address() != kL) {
                firstDataErase = k;
                break;
            }
        // The reads before it leave the frame as it was; the stride samples them.
        for (uint64_t k = firstListWrite > 1 ? firstListWrite - 1 : 1; k <= firstDataErase; ++k) chosen.insert(k);
        for (uint64_t k = lastListErase > 0 ? lastListErase - 1 : 1; k <= n; ++k) chosen.insert(k);
        for (uint64_t k : chosen)
            if (k >= 1 && k <= n) cuts.push_back(k);
    }

    bool RegionBelowListUntouched() {
        const auto& flash = frame.emulator.Flash();
        return std::equal(flash.begin(), flash.begin() + kL, initial.begin());
    }

    // A fresh read of the frame, and one recovery when it asks for one, must show the old or the new album.
    void ExpectOldOrNewAfterOneRecovery() {
        frame.emulator.SetFaults({});
        frame.emulator.PowerCycle();
        auto reader = Open();
        if (!reader->store.Recovery().ListValidOnFrame()) {
            ASSERT_TRUE(reader->store.Recovery().Pending());
            ASSERT_TRUE(reader->store.ApplyRecovery(reader->store.Recovery().Find()));
        }
        EXPECT_TRUE(folder.Records().empty());
        const Album seen = PicturesInMemory(Open(false)->store);
        EXPECT_TRUE(seen == oldAlbum || seen == newAlbum) << seen.size() << " pictures";
    }

    TempFolder folder;
    AlbumFrame frame;
    std::vector<uint8_t> initial, intended;
    Album oldAlbum, newAlbum;
    std::vector<SentCommand> sent;
    std::vector<uint64_t> cuts;
};

class LargeAlbumMatrix : public ::testing::TestWithParam<int> {};

TEST_P(LargeAlbumMatrix, PowerCutsLeaveTheOldOrTheNewAlbum) {
    LargeScenario s;
    ASSERT_GT(s.sent.size(), 3000u) << "the edit rewrites the whole area";
    ASSERT_GT(s.cuts.size(), 200u);
    for (size_t i = static_cast<size_t>(GetParam()); i < s.cuts.size(); i += kShards) {
        const uint64_t k = s.cuts[i];
        SCOPED_TRACE("power cut after command " + std::to_string(k) + " of " + std::to_string(s.sent.size()));
        auto a = s.Edited();
        s.frame.emulator.SetFaults({.vanishAfter = k});
        const int code = CommitCode(a->store);
        EXPECT_EQ(code == 0, k >= s.sent.size());
        s.frame.emulator.SetFaults({});
        EXPECT_TRUE(s.RegionBelowListUntouched());
        s.ExpectOldOrNewAfterOneRecovery();
        // The program still holds the album: synchronizing again gives exactly the intended flash.
        s.frame.emulator.PowerCycle();
        ASSERT_EQ(CommitCode(a->store), 0);
        ASSERT_EQ(s.frame.emulator.Flash(), s.intended);
    }
}

TEST_P(LargeAlbumMatrix, AFailedCommandIsTriedAgainToTheIntendedFlash) {
    LargeScenario s;
    for (size_t i = static_cast<size_t>(GetParam()); i < s.cuts.size(); i += kShards) {
        const uint64_t k = s.cuts[i];
        if (k > s.sent.size()) continue;
        SCOPED_TRACE("failed command " + std::to_string(k));
        auto a = s.Edited();
        s.frame.emulator.SetFaults({.failCommand = k});
        ASSERT_EQ(CommitCode(a->store), 0);
        s.frame.emulator.SetFaults({});
        ASSERT_EQ(s.frame.emulator.Flash(), s.intended);
        EXPECT_TRUE(s.folder.Records().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Shard, LargeAlbumMatrix, ::testing::Range(0, kShards));

}  // namespace
}  // namespace fotolume::album::testing
