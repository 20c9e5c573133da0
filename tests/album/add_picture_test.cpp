// Adding at falling quality: which qualities are tried, which stream is kept, and what is refused.
#include <gtest/gtest.h>

#include "album/add_picture.h"
#include "tests/album/album_fixture.h"
#include "tests/support/temp_folder.h"

namespace fotolume::album::testing {
namespace {

// An encoder whose stream at quality q is size(q) bytes; it remembers the qualities asked for.
struct FakeEncoder {
    std::string path;
    std::function<std::size_t(int)> size;
    std::vector<int> asked;

    EncodeAtQuality Callback() {
        return [this](int q) -> std::size_t {
            asked.push_back(q);
            const std::size_t n = size(q);
            if (n == 0) return 0;
            testsupport::WriteBytes(path, Picture(static_cast<uint32_t>(n), static_cast<uint32_t>(q)));
            return n;
        };
    }
};

// The quality steps against a budget, as every program walks them: stream sizes of 1000 bytes per
// quality point plus 500, an encoder that fails at failAt.
struct BudgetCase {
    const char* what;
    std::size_t budget;
    int first;
    int failAt;
    std::vector<int> asked;
    bool fits;
};

TEST(FitToBudget, WalksDownInStepsOfTenUntilTheStreamFits) {
    const BudgetCase cases[] = {
        {"fits at once", 90500, 90, -1, {90}, true},
        {"a stream exactly the budget fits", 60500, 90, -1, {90, 80, 70, 60}, true},
        {"one byte short takes the next step", 60499, 90, -1, {90, 80, 70, 60, 50}, true},
        {"from 85 down to 5, then gives up", 5499, 85, -1, {85, 75, 65, 55, 45, 35, 25, 15, 5}, false},
        {"the last step above 0 fits", 5500, 85, -1, {85, 75, 65, 55, 45, 35, 25, 15, 5}, true},
        {"no budget at all", 0, 10, -1, {10}, false},
        {"the first quality is tried even below 1", 1000, 0, -1, {0}, true},
        {"a failed encoding stops the steps", 1000, 90, 70, {90, 80, 70}, false},
    };
    for (const BudgetCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<int> asked;
        const BudgetFit fit = FitToBudget(c.budget, c.first, [&](int q) -> std::size_t {
            asked.push_back(q);
            return q == c.failAt ? 0 : static_cast<std::size_t>(q) * 1000 + 500;
        });
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(fit.fits, c.fits);
        EXPECT_EQ(fit.quality, c.asked.back());
        EXPECT_EQ(fit.bytes, c.asked.back() == c.failAt ? 0u : static_cast<std::size_t>(c.asked.back()) * 1000 + 500);
    }
}

class AddPictureFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        encoder.path = (folder / "stream.bin").string();
        encoder.size = [](int q) { return static_cast<std::size_t>(q) * 1000; };
    }

    // Leaves exactly `free` bytes for the next picture.
    void LeaveFree(BoundStore& a, uint32_t free) {
        const uint32_t fill = a.store.GetFreeBytes() - free;
        ASSERT_TRUE(a.store.AddPictureData(Picture(fill, 77).data(), fill));
        ASSERT_EQ(a.store.GetFreeSpaceForPicture(), free);
    }

    testsupport::TempFolder folder;
    FakeEncoder encoder;
};

// Streams of 1000 bytes per quality point against the space left: the stream kept is the first that fits.
TEST_F(AddPictureFileTest, KeepsTheFirstQualityStepThatFitsAndRefusesWhenNoneDoes) {
    const struct {
        const char* what;
        uint32_t free;
        int first;
        AddStatus status;
        int quality;
        std::vector<int> asked;
    } cases[] = {
        {"a middle step fits", 60000, 90, AddStatus::Added, 60, {90, 80, 70, 60}},
        {"the last step fits", 10000, 90, AddStatus::Added, 10, {90, 80, 70, 60, 50, 40, 30, 20, 10}},
        {"no step fits", 9999, 90, AddStatus::TooLarge, 10, {90, 80, 70, 60, 50, 40, 30, 20, 10}},
        {"steps of ten from a configured quality", 5000, 95, AddStatus::Added, 5, {95, 85, 75, 65, 55, 45, 35, 25, 15, 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AlbumFrame frame;
        auto a = frame.Open();
        LeaveFree(*a, c.free);
        encoder.asked.clear();
        const AddResult r = AddPictureFile(a->store, encoder.path, c.first, encoder.Callback());
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.quality, c.quality);
        EXPECT_EQ(r.bytes, static_cast<uint32_t>(c.quality) * 1000);
        EXPECT_EQ(r.freeSpace, c.free);
        EXPECT_EQ(encoder.asked, c.asked);
        if (c.status == AddStatus::Added) {
            ASSERT_EQ(a->store.GetPictureCount(), 2);
            // The stream of the quality kept.
            EXPECT_EQ(PicturesInMemory(a->store)[1], Picture(r.bytes, static_cast<uint32_t>(c.quality)));
        } else {
            EXPECT_EQ(a->store.GetPictureCount(), 1);
            EXPECT_EQ(a->store.GetFreeSpaceForPicture(), c.free);
        }
    }
}

TEST_F(AddPictureFileTest, AFullAlbumRefusesWithoutEncoding) {
    AlbumFrame frame({.maxPictures = 2});
    auto a = frame.Open();
    for (uint32_t i = 0; i < 2; ++i) ASSERT_TRUE(a->store.AddPictureData(Picture(100, i).data(), 100));
    ASSERT_GT(a->store.GetFreeBytes(), 1000000u);  // plenty of bytes, but no slot under the maximum
    AddResult r = AddPictureFile(a->store, encoder.path, 90, encoder.Callback());
    EXPECT_EQ(r.status, AddStatus::AlbumFull);
    EXPECT_TRUE(encoder.asked.empty());
    EXPECT_EQ(a->store.GetPictureCount(), 2);
}

TEST_F(AddPictureFileTest, NoStreamMeansNothingIsAdded) {
    AlbumFrame frame;
    auto a = frame.Open();
    // A stream from an earlier add lies in the file: with no quality step to try it must stay out.
    testsupport::WriteBytes(encoder.path, Picture(100, 1));
    AddResult r = AddPictureFile(a->store, encoder.path, 0, encoder.Callback());
    EXPECT_EQ(r.status, AddStatus::EncodeFailed);
    EXPECT_TRUE(encoder.asked.empty());
    EXPECT_EQ(a->store.GetPictureCount(), 0);

    // The encoder giving up part-way stops the tries.
    LeaveFree(*a, 50000);
    encoder.size = [](int q) -> std::size_t { return q == 80 ? 0 : static_cast<std::size_t>(q) * 1000; };
    r = AddPictureFile(a->store, encoder.path, 90, encoder.Callback());
    EXPECT_EQ(r.status, AddStatus::EncodeFailed);
    EXPECT_EQ(encoder.asked, (std::vector<int>{90, 80}));
    EXPECT_EQ(a->store.GetPictureCount(), 1);

    // A stream that fits but cannot be read back is refused by the store.
    r = AddPictureFile(a->store, (folder / "missing" / "stream.bin").string(), 90,
                       [](int q) { return static_cast<std::size_t>(q) * 100; });
    EXPECT_EQ(r.status, AddStatus::Refused);
    EXPECT_EQ(a->store.GetPictureCount(), 1);
}

}  // namespace
}  // namespace fotolume::album::testing
