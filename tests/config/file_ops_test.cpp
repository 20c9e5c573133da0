// The scratch folder of adds and exports: private while it lives, gone with its files afterwards.
#include <gtest/gtest.h>

#include <fstream>

#include "config/file_ops.h"
#include "tests/config/support.h"

namespace fotolume::config {
namespace {

TEST(ScratchFolder, IsPrivateAndGoesWithItsFiles) {
    test::TempDir parent;
    std::filesystem::path made;
    {
        CScratchFolder scratch(parent.Path(), "add-");
        ASSERT_TRUE(scratch.Ok());
        made = scratch.Path();
        EXPECT_EQ(made.parent_path(), parent.Path());
        EXPECT_EQ(std::filesystem::status(made).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_all);
        std::ofstream(scratch.File("x.bmp")) << "x";
    }
    EXPECT_FALSE(std::filesystem::exists(made));
    EXPECT_FALSE(CScratchFolder("/nonexistent-folder-of-fotolume", "add-").Ok());
}

}  // namespace
}  // namespace fotolume::config
