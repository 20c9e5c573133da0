// Runs window tests on the offscreen platform with a private home, so nothing touches the user's folders
// or display.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <cstdlib>

#include "tests/support/temp_folder.h"

int main(int argc, char** argv) {
    const fotolume::testsupport::TempFolder home;
    ::setenv("HOME", home.String().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (home / "runtime").c_str(), 1);
    if (::mkdir((home / "runtime").c_str(), 0700) != 0) return 1;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::unsetenv("FOTOLUME_FRAMES");

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
