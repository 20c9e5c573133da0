// The picture file list and the totals fields.
#include <gtest/gtest.h>

#include "compact/compact_controller.h"
#include "compact/file_data_list.h"
#include "tests/compact/compact_fixture.h"

namespace fotolume::compact::testing {
namespace {

FileData Named(const char* name, int size) {
    FileData node;
    node.name = name;
    node.size = size;
    return node;
}

TEST(FileDataList, PositionsCountFromOneAndOutOfRangeMeansTheLast) {
    std::unique_ptr<FileDataHead> head = CreateList();
    EXPECT_EQ(head->count, 0);
    EXPECT_EQ(GetNode(*head, 0), &head->sentinel);
    EXPECT_FALSE(DelNode(*head, 1));
    for (const char* name : {"a", "b", "c", "d"}) AddNode(*head, Named(name, 1));
    EXPECT_EQ(head->count, 4);
    EXPECT_EQ(GetNode(*head, 1)->name, "a");
    EXPECT_EQ(GetNode(*head, 3)->name, "c");
    EXPECT_EQ(GetNode(*head, 0), &head->sentinel);
    EXPECT_EQ(GetNode(*head, 99)->name, "d");

    EXPECT_TRUE(DelNode(*head, 2));  // b
    EXPECT_TRUE(DelNode(*head, 99)); // the last: d
    EXPECT_EQ(head->count, 2);
    EXPECT_EQ(GetNode(*head, 1)->name, "a");
    EXPECT_EQ(GetNode(*head, 2)->name, "c");
    EXPECT_EQ(GetNode(*head, 2)->next, nullptr);

    FreeList(head);
    EXPECT_EQ(head, nullptr);
    FreeList(head);  // freeing nothing is harmless
}

TEST(FileDataList, ALongListIsFreedWithoutDeepRecursion) {
    std::unique_ptr<FileDataHead> head = CreateList();
    for (int i = 0; i < 200000; ++i) AddNode(*head, Named("p", 1));
    EXPECT_EQ(head->count, 200000);
    FreeList(head);
    EXPECT_EQ(head, nullptr);
}

class TotalsTest : public CompactTest {};

TEST_F(TotalsTest, KilobytesWithoutACountLimitAndCountsWithOne) {
    Start();
    G_TotalPicNum = 0;
    G_FlashTotalSize = 2097152;
    TotolFlashSizeForPic = 1048576;
    gmyTotalePictureNum = 3;
    gmyCurrentSelectItem = 2;
    UpdateInfo();
    Settle();
    EXPECT_EQ(Text("TOPI", 0), QStringLiteral("1024K/2048K"));
    EXPECT_EQ(Text("CUPI", 0), QStringLiteral("002"));

    G_TotalPicNum = 100;
    gmyTotalePictureNum = 37;
    UpdateInfo();
    Settle();
    EXPECT_EQ(Text("TOPI", 0), QStringLiteral("037/100"));

    // An empty album has nothing selected, whatever was selected before.
    gmyTotalePictureNum = 0;
    gmyCurrentSelectItem = 5;
    UpdateInfo();
    Settle();
    EXPECT_EQ(Text("TOPI", 0), QStringLiteral("000/100"));
    EXPECT_EQ(Text("CUPI", 0), QStringLiteral("000"));
    EXPECT_EQ(gmyCurrentSelectItem, 0);
}

}  // namespace
}  // namespace fotolume::compact::testing
