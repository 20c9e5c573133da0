// The picture list and the image: loading, free space, adding, deleting, compaction, reading pictures.
#include <gtest/gtest.h>

#include "album/picture_list.h"
#include "tests/album/album_fixture.h"
#include "tests/support/temp_folder.h"

namespace fotolume::album::testing {
namespace {

constexpr uint32_t kL = 0x10000;
constexpr uint32_t kArea = kL + kListSize;

// Puts a list with the given entries on the frame at L.
void PresetList(AlbumFrame& frame, const std::vector<PicEntry>& entries) {
    uint8_t* list = frame.emulator.Flash().data() + frame.layout.listAddress;
    InitEmptyList(list, 0x1234, 0x5678);
    for (size_t i = 0; i < entries.size(); ++i) WriteEntry(list, static_cast<int>(i), entries[i]);
}

TEST(PictureListTest, FreeSpacePerPictureFollowsTheMaximumCount) {
    AlbumFrame frame({.flashSize = 1024 * 1024, .maxPictures = 10});
    auto a = frame.Open();
    const uint32_t each = (a->store.GetCapacity() - 600000) / 4;
    ASSERT_EQ(each * 4 + 600000, a->store.GetCapacity());
    for (uint32_t i = 0; i < 4; ++i) ASSERT_TRUE(a->store.AddPictureData(Picture(each, i).data(), each));
    EXPECT_EQ(a->store.GetFreeBytes(), 600000u);
    EXPECT_EQ(a->store.GetFreeSpaceForPicture(), 100000u);
    // A picture over the share is refused although the bytes are free.
    EXPECT_FALSE(a->store.AddPictureData(Picture(100001, 9).data(), 100001));
    for (uint32_t i = 0; i < 6; ++i) ASSERT_TRUE(a->store.AddPictureData(Picture(10, i).data(), 10));
    EXPECT_EQ(a->store.GetFreeSpaceForPicture(), 0u);
    EXPECT_FALSE(a->store.AddPictureData(Picture(1, 0).data(), 1));
}

TEST(PictureListTest, TheFiveHundredTenthPictureIsRefused) {
    AlbumFrame frame;
    auto a = frame.Open();
    const auto bytes = Picture(100, 1);
    for (int i = 0; i < kMaxSlots; ++i) ASSERT_TRUE(a->store.AddPictureData(bytes.data(), 100)) << i;
    const uint32_t free = a->store.GetFreeBytes();
    EXPECT_GT(free, 100u);
    EXPECT_FALSE(a->store.AddPictureData(bytes.data(), 100));
    EXPECT_EQ(a->store.GetPictureCount(), kMaxSlots);
    EXPECT_EQ(a->store.GetFreeBytes(), free);
    // The full list survives a commit and a fresh read.
    ASSERT_TRUE(a->store.CommitAlbum());
    BoundStore b(frame.emulator);
    ReadAlbum(b.store, false);
    EXPECT_EQ(b.store.GetPictureCount(), kMaxSlots);
}

TEST(PictureListTest, DeletingTheOnlyPictureStartsTheAreaAgain) {
    AlbumFrame frame;
    auto a = frame.Open();
    ASSERT_TRUE(a->store.AddPictureData(Picture(70000, 1).data(), 70000));
    ASSERT_TRUE(a->store.CommitAlbum());
    ASSERT_TRUE(a->store.DeletePicture(0));
    EXPECT_EQ(a->store.GetUsedLength(), 0u);
    EXPECT_EQ(a->store.GetCommittedLength(), 0u);
    ASSERT_TRUE(a->store.AddPictureData(Picture(500, 2).data(), 500));
    PicEntry entry;
    ASSERT_TRUE(a->store.GetPictureEntry(0, entry));
    EXPECT_EQ(entry.address, kArea);
    ASSERT_TRUE(a->store.CommitAlbum());
    auto back = frame.ReadBack();
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0], Picture(500, 2));
}

TEST(PictureListTest, DeletingMovesLaterSlotsDownAndLeavesAHole) {
    AlbumFrame frame;
    auto a = frame.Open();
    for (uint32_t i = 0; i < 5; ++i) ASSERT_TRUE(a->store.AddPictureData(Picture(1000 + i, i).data(), 1000 + i));
    const uint32_t used = a->store.GetUsedLength();
    PicEntry third, fourth;
    a->store.GetPictureEntry(3, third);
    a->store.GetPictureEntry(4, fourth);
    ASSERT_TRUE(a->store.DeletePicture(2));
    EXPECT_FALSE(a->store.DeletePicture(4));
    EXPECT_EQ(a->store.GetPictureCount(), 4);
    PicEntry entry;
    a->store.GetPictureEntry(2, entry);
    EXPECT_EQ(entry.address, third.address);
    a->store.GetPictureEntry(3, entry);
    EXPECT_EQ(entry.address, fourth.address);
    EXPECT_FALSE(a->store.GetPictureEntry(4, entry));
    EXPECT_EQ(a->store.GetUsedLength(), used);
    EXPECT_EQ(a->store.GetFreeBytes(), a->store.GetCapacity() - (1000 + 1001 + 1003 + 1004));
}

TEST(PictureListTest, CompactionPacksThePicturesWhenTheNextOneDoesNotFitBehind) {
    AlbumFrame frame(SmallFrame());
    auto a = frame.Open();
    const uint32_t capacity = a->store.GetCapacity();
    const uint32_t big = capacity / 3;
    for (uint32_t i = 0; i < 3; ++i) ASSERT_TRUE(a->store.AddPictureData(Picture(big, i).data(), big));
    ASSERT_TRUE(a->store.CommitAlbum());
    ASSERT_TRUE(a->store.DeletePicture(1));
    // The hole is not reused until the new picture no longer fits behind the used area.
    ASSERT_TRUE(a->store.AddPictureData(Picture(big - 10, 7).data(), big - 10));
    uint32_t expected = kArea;
    for (int i = 0; i < 3; ++i) {
        PicEntry entry;
        a->store.GetPictureEntry(i, entry);
        EXPECT_EQ(entry.address, expected) << i;
        expected += entry.length;
    }
    EXPECT_EQ(a->store.GetCommittedLength(), 0u);
    EXPECT_EQ(a->store.GetUsedLength(), 2 * big + big - 10);
    const auto memory = PicturesInMemory(a->store);
    EXPECT_EQ(memory[0], Picture(big, 0));
    EXPECT_EQ(memory[1], Picture(big, 2));
    EXPECT_EQ(memory[2], Picture(big - 10, 7));
    ASSERT_TRUE(a->store.CommitAlbum());
    EXPECT_EQ(frame.ReadBack(), memory);
}

TEST(PictureListTest, CompactionOfPicturesListedOutOfFlashOrder) {
    AlbumFrame frame(SmallFrame());
    const auto first = Picture(150000, 1), second = Picture(100000, 2);
    // Slot 0 lies behind slot 1 on the flash.
    std::copy(first.begin(), first.end(), frame.emulator.Flash().begin() + kArea + 200000);
    std::copy(second.begin(), second.end(), frame.emulator.Flash().begin() + kArea + 50000);
    PresetList(frame, {{1, kArea + 200000, 150000}, {1, kArea + 50000, 100000}});
    auto a = frame.Open();
    ASSERT_EQ(a->store.GetPictureCount(), 2);
    const uint32_t size = a->store.GetFreeBytes() - 1000;
    ASSERT_TRUE(a->store.AddPictureData(Picture(size, 3).data(), size));
    const auto memory = PicturesInMemory(a->store);
    EXPECT_EQ(memory[0], first);
    EXPECT_EQ(memory[1], second);
    ASSERT_TRUE(a->store.CommitAlbum());
    EXPECT_EQ(frame.ReadBack(), memory);
}

TEST(PictureListTest, EntriesOutsideThePictureAreaAreDroppedOnLoad) {
    AlbumFrame frame;
    const uint32_t t = frame.layout.flashSize;
    const auto good = Picture(3000, 5);
    std::copy(good.begin(), good.end(), frame.emulator.Flash().begin() + kArea + 8000);
    PresetList(frame, {
                          {1, kL + 100, 50},             // inside the list
                          {1, kArea + 8000, 3000},       // a picture
                          {0, 0, 0},                     // a free slot among pictures
                          {1, t - 100, 200},             // ends past the flash
                          {2, kArea, 10},                // not a picture
                          {1, kArea + 20000, 0},         // no bytes
                          {1, 0x100, 10},                // in the frame's own region
                      });
    auto a = frame.Open();
    EXPECT_TRUE(a->store.ListChangedOnLoad());
    ASSERT_EQ(a->store.GetPictureCount(), 1);
    PicEntry entry;
    a->store.GetPictureEntry(0, entry);
    EXPECT_EQ(entry.address, kArea + 8000);
    EXPECT_EQ(PicturesInMemory(a->store)[0], good);
    EXPECT_EQ(a->store.GetFreeBytes(), a->store.GetCapacity() - 3000);
    EXPECT_EQ(Colours(a->store), (std::pair<uint16_t, uint16_t>{0x5678, 0x1234}));  // font, background

    // Committing writes the cleaned list.
    ASSERT_TRUE(a->store.CommitAlbum());
    auto again = frame.Open();
    EXPECT_FALSE(again->store.ListChangedOnLoad());
    EXPECT_EQ(again->store.GetPictureCount(), 1);
}

TEST(PictureListTest, EntriesWhoseLengthsOverfillTheAreaAreDropped) {
    AlbumFrame frame(SmallFrame());
    const uint32_t capacity = frame.layout.flashSize - kArea;
    // Both entries name the same bytes; together they claim more than the area holds.
    const uint32_t n = capacity / 2 + 1000;
    PresetList(frame, {{1, kArea, n}, {1, kArea, n}});
    auto a = frame.Open();
    EXPECT_TRUE(a->store.ListChangedOnLoad());
    EXPECT_EQ(a->store.GetPictureCount(), 1);
    EXPECT_EQ(a->store.GetFreeBytes(), capacity - n);
}

TEST(PictureListTest, ReadPictureNeverWritesPastTheBuffer) {
    AlbumFrame frame;
    auto a = frame.Open();
    const auto bytes = Picture(5000, 3);
    ASSERT_TRUE(a->store.AddPictureData(bytes.data(), 5000));
    ASSERT_TRUE(a->store.CommitAlbum());
    auto b = frame.Open();
    std::vector<uint8_t> buffer(6000, 0xEE);
    EXPECT_EQ(b->store.ReadPicture(0, buffer.data(), 4999), 0u);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t v) { return v == 0xEE; }));
    EXPECT_EQ(b->store.ReadPicture(0, buffer.data(), 5000), 5000u);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), buffer.begin()));
    EXPECT_EQ(buffer[5000], 0xEE);
    EXPECT_EQ(b->store.ReadPicture(1, buffer.data(), 6000), 0u);
    EXPECT_EQ(b->store.ReadPicture(-1, buffer.data(), 6000), 0u);
}

TEST(PictureListTest, AddPictureFromAFile) {
    AlbumFrame frame;
    auto a = frame.Open();
    testsupport::TempFolder dir;
    const auto bytes = Picture(12345, 4);
    testsupport::WriteBytes(dir / "picture.bin", bytes);
    EXPECT_FALSE(a->store.AddPicture((dir / "missing.bin").string()));
    testsupport::WriteBytes(dir / "empty.bin", {});
    EXPECT_FALSE(a->store.AddPicture((dir / "empty.bin").string()));
    ASSERT_TRUE(a->store.AddPicture((dir / "picture.bin").string()));
    EXPECT_EQ(PicturesInMemory(a->store)[0], bytes);
    EXPECT_EQ(a->store.GetFreeBytes(), a->store.GetCapacity() - 12345);
}

TEST(PictureListTest, NothingIsAddedBeforeTheListIsRead) {
    AlbumFrame frame;
    BoundStore a(frame.emulator);
    a.store.GetInformation();
    EXPECT_FALSE(a.store.AddPictureData(Picture(10, 1).data(), 10));
    EXPECT_FALSE(a.store.CommitAlbum());
    a.store.ReadPictureList();
    a.store.FreeDataImage();
    EXPECT_FALSE(a.store.AddPictureData(Picture(10, 1).data(), 10));
    EXPECT_FALSE(a.store.CommitAlbum());
}

// Damaged lists of every kind: whatever the entries say, reads, compaction and the commit stay inside the
// image, and what is committed reads back as it is held in memory.
TEST(PictureListTest, DamagedListsNeverReachOutsideThePictureArea) {
    const sim::NewFrame layout = SmallFrame();
    uint32_t x = 2463534242u;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        AlbumFrame frame(layout);
        std::vector<PicEntry> entries;
        const int count = 1 + static_cast<int>(next() % 8);
        for (int i = 0; i < count; ++i) {
            PicEntry e;
            e.flag = static_cast<uint8_t>(next() % 4 == 0 ? next() : 1);
            e.address = next() % 3 == 0 ? next() & 0xFFFFFF : kArea + next() % (layout.flashSize - kArea);
            e.length = next() % 2 == 0 ? next() & 0xFFFFFF : next() % 120000;
            entries.push_back(e);
        }
        PresetList(frame, entries);
        auto a = frame.Open();
        for (int i = 0; i < a->store.GetPictureCount(); ++i) {
            PicEntry e;
            a->store.GetPictureEntry(i, e);
            EXPECT_GE(e.address, kArea);
            EXPECT_LE(uint64_t{e.address} + e.length, layout.flashSize);
        }
        EXPECT_LE(a->store.GetFreeBytes(), a->store.GetCapacity());
        // The largest picture that may still come, so that compaction has its turn whenever it can.
        const uint32_t size = a->store.GetFreeSpaceForPicture();
        if (size > 0) {
            EXPECT_TRUE(a->store.AddPictureData(Picture(size, 1).data(), size));
        }
        const auto memory = PicturesInMemory(a->store);
        ASSERT_TRUE(a->store.CommitAlbum());
        EXPECT_EQ(frame.ReadBack(), memory);
        EXPECT_TRUE(std::equal(frame.emulator.Flash().begin(), frame.emulator.Flash().begin() + kL,
                               sim::BuildFrameImage(layout).begin()));
    }
}

}  // namespace
}  // namespace fotolume::album::testing
