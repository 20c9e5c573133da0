// The power goes after each command of a commit in turn; the store then reads the frame with its
// recovery records and restores what the flash still holds. Every cut must end in the complete new
// album, the complete old album, or (only when the cut fell inside a block write) every whole picture.
#include <gtest/gtest.h>

#include "recovery_fixture.h"

namespace fotolume::album::testing {
namespace {

constexpr int kShards = 8;

class RecoveryMatrix : public ::testing::TestWithParam<int> {};

TEST_P(RecoveryMatrix, EveryCutComesBackAsAWholeAlbumOrItsWholePictures) {
    RecoveryScenario s;
    const uint64_t commands = s.commitCommands.size();
    ASSERT_GT(commands, 300u);
    Album oldAlbum, newAlbum;
    for (const auto& p : s.oldPictures) oldAlbum.push_back(p.bytes);
    for (const auto& p : s.newPictures) newAlbum.push_back(p.bytes);
    int restored = 0;
    for (uint64_t k = 1; k <= commands; ++k) {
        if (static_cast<int>(k % kShards) != GetParam()) continue;
        SCOPED_TRACE("power cut after command " + std::to_string(k));
        const int code = s.CutAfter(k);
        EXPECT_EQ(code == 0, k >= commands);
        const Album expected = s.ExpectedRecovery();

        auto reader = s.Reader();
        CAlbumStore& store = reader->store;
        if (store.ListValidOnFrame()) {
            // The cut came before the list was erased or after it was written: nothing to recover, and
            // the record, if one was left, is stale and gone.
            EXPECT_FALSE(store.RecoveryPending());
            EXPECT_EQ(store.FindRecovery().kind, RecoveryKind::None);
            EXPECT_TRUE(s.folder.Records().empty());
            const Album seen = s.ReadBack();
            EXPECT_TRUE(seen == oldAlbum || seen == newAlbum);
            continue;
        }
        ASSERT_FALSE(expected.empty()) << "every cut leaves at least one whole picture in this edit";
        EXPECT_TRUE(store.RecoveryPending());
        EXPECT_EQ(store.GetPictureCount(), 0);
        const RecoveryResult found = store.FindRecovery();
        ASSERT_NE(found.kind, RecoveryKind::None);
        if (!s.InsideBlockWrite(k)) {
            EXPECT_TRUE(found.kind == RecoveryKind::NewAlbum || found.kind == RecoveryKind::OldAlbum)
                << RecoveryKindName(found.kind);
        }
        if (found.kind == RecoveryKind::NewAlbum) {
            EXPECT_EQ(expected, newAlbum);
        } else if (found.kind == RecoveryKind::OldAlbum) {
            EXPECT_EQ(expected, oldAlbum);
        }
        ASSERT_TRUE(store.ApplyRecovery(found));
        EXPECT_FALSE(store.RecoveryPending());
        EXPECT_EQ(store.GetPictureCount(), static_cast<int>(expected.size()));
        EXPECT_TRUE(s.folder.Records().empty());
        EXPECT_EQ(s.ReadBack(), expected);
        ++restored;
    }
    EXPECT_GT(restored, 0);
}

INSTANTIATE_TEST_SUITE_P(Shard, RecoveryMatrix, ::testing::Range(0, kShards));

}  // namespace
}  // namespace fotolume::album::testing
