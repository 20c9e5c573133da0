// fotolume-cli info, list, delete, colors and backup against a frame served by fotolume-sim.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>

#include "album/album_store.h"
#include "device/frame_claim.h"
#include "tests/cli/program_runner.h"
#include "tests/support/emulated_frame.h"
#include "tests/support/pictures.h"

namespace fotolume::cli::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testsupport::PictureBytes;

class AlbumCommands : public ProgramTest {
protected:
    void SetUp() override {
        ASSERT_EQ(Sim({"create", image}).exitCode, 0);
        // Three pictures put on the image through the store over a write-through emulator.
        auto emulator = sim::CFlashEmulator::OpenImage(image, {});
        ASSERT_TRUE(emulator);
        album::CAlbumStore store;
        testsupport::BindStore(store, *emulator);
        testsupport::ReadAlbum(store, false);
        for (uint8_t i = 0; i < 3; ++i) ASSERT_TRUE(store.AddPictureData(PictureBytes(kSizes[i], i).data(), kSizes[i]));
        ASSERT_TRUE(store.CommitAlbum());
    }
    static constexpr uint32_t kSizes[3] = {30000, 70000, 20000};
};

TEST_F(AlbumCommands, InfoAndListDescribeTheAlbum) {
    ServedFrame frame(image, frames + "/f.sock");
    RunResult r = Cli({"info"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("List address:     0x010000"));
    EXPECT_THAT(r.out, HasSubstr("Pictures:         3"));
    EXPECT_THAT(r.out, HasSubstr("Free bytes:       1907520"));
    EXPECT_THAT(r.out, HasSubstr("Used end address: 0x02E4C0"));
    r = Cli({"info", "--json"});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(Lines(r.out), 1);
    EXPECT_THAT(r.out, HasSubstr("\"pictures\": 3, \"freeBytes\": 1907520"));
    EXPECT_THAT(r.out, HasSubstr("\"background565\": 65535"));

    r = Cli({"list"});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "   1  0x011000  30000\n   2  0x018530  70000\n   3  0x0296A0  20000\n");
    r = Cli({"list", "--json"});
    EXPECT_THAT(r.out, HasSubstr("{\"position\": 2, \"address\": 99632, \"length\": 70000}"));
}

TEST_F(AlbumCommands, DeleteWritesTheAlbumAndColoursAreSet) {
    {
        ServedFrame frame(image, frames + "/f.sock");
        EXPECT_EQ(Cli({"delete", "4"}).exitCode, 1);
        EXPECT_EQ(Cli({"delete", "0"}).exitCode, 1);
        EXPECT_EQ(Cli({"delete"}).exitCode, 1);
        RunResult r = Cli({"delete", "2"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(r.err.empty()) << "no progress bar unless standard error is a terminal";
        const std::string trace = dir.String() + "/colors.trace";
        r = Cli({"colors", "--font", "FF0000", "--background", "0000ff", "--trace", trace});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "Font:       F80000\nBackground: 0000F8\n");
        // The colours go out with one write of the list block: one erase.
        std::ifstream lines(trace);
        int erases = 0;
        for (std::string line; std::getline(lines, line);) {
            const size_t at = line.find("\"cdb\":\"");
            if (at != std::string::npos && line.compare(at + 7, 2, "cb") == 0 && line.compare(at + 7 + 20, 2, "d8") == 0) {
                ++erases;
            }
        }
        EXPECT_EQ(erases, 1);
        EXPECT_EQ(Cli({"colors", "--font", "red"}).exitCode, 1);
        r = Cli({"colors", "--json"});
        EXPECT_EQ(r.out, "{\"font\": \"F80000\", \"background\": \"0000F8\"}\n");
    }
    EXPECT_EQ(AlbumOnImage(image), (testsupport::Album{PictureBytes(30000, 0), PictureBytes(20000, 2)}));
}

TEST_F(AlbumCommands, BackupIsTheWholeFlash) {
    ServedFrame frame(image, frames + "/f.sock");
    const std::string backup = dir.String() + "/backup.bin";
    RunResult r = Cli({"backup", backup});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadBytes(backup), ReadBytes(image));
    EXPECT_FALSE(fs::exists(backup + ".part"));
    EXPECT_EQ(Cli({"backup"}).exitCode, 1);
    EXPECT_EQ(Cli({"backup", dir.String() + "/no/such/folder/b.bin"}).exitCode, 3);
}

TEST_F(AlbumCommands, AlbumErrorsExitThreeAndNameTheCode) {
    // Command 1 reads the header, 2 polls the status, 3 is the header's checksum query.
    const std::tuple<const char*, std::string, const char*> cases[] = {
        {"3", "info", "checksum query failed (album error 1)"}, {"1", "list", "transfer failed (album error 3)"}};
    for (const auto& [failCommand, command, said] : cases) {
        SCOPED_TRACE(command);
        ServedFrame frame(image, frames + "/" + command + ".sock", {"--fail-command", failCommand});
        RunResult r = Cli({command});
        EXPECT_EQ(r.exitCode, 3);
        EXPECT_THAT(r.err, HasSubstr(said));
        EXPECT_EQ(Lines(r.err), 1) << r.err;
    }
    EXPECT_EQ(Cli({"info"}).exitCode, 2);
}

// Another program holds the frame: a command that would conflict with it waits --wait seconds, then
// refuses with one line naming it and leaves the frame as it was; one that shares it goes ahead.
TEST_F(AlbumCommands, AnotherProgramsClaimIsWaitedForThenRefusedWithItsName) {
    ServedFrame frame(image, frames + "/f.sock");
    const std::string lock = frames + "/f.sock.lock";
    const std::string refusal = "fotolume-cli: the frame is in use by test_cli (pid " + std::to_string(::getpid()) +
                                "); try again when it has finished\n";
    const auto before = ReadBytes(image);
    using device::ClaimMode;
    struct Case {
        ClaimMode held;
        std::vector<std::string> command;
        bool refused;
    } cases[] = {
        {ClaimMode::Shared, {"list"}, false},
        {ClaimMode::Shared, {"backup", dir.String() + "/b.bin"}, false},
        {ClaimMode::Shared, {"recover", "--dry-run"}, false},
        {ClaimMode::Shared, {"delete", "1"}, true},
        {ClaimMode::Shared, {"colors", "--font", "FF0000"}, true},
        {ClaimMode::Shared, {"recover"}, true},
        {ClaimMode::Exclusive, {"info"}, true},
        {ClaimMode::Exclusive, {"colors"}, true},
        {ClaimMode::Exclusive, {"backup", dir.String() + "/c.bin"}, true},
    };
    for (const Case& c : cases) {
        const device::CFrameClaim held = device::CFrameClaim::Take(lock, c.held, std::chrono::milliseconds(0));
        ASSERT_TRUE(held.Held());
        std::vector<std::string> args{"--wait", "0"};
        args.insert(args.end(), c.command.begin(), c.command.end());
        RunResult r = Cli(args);
        if (c.refused) {
            EXPECT_EQ(r.exitCode, 3) << c.command[0];
            EXPECT_EQ(r.err, refusal) << c.command[0];
        } else {
            EXPECT_EQ(r.exitCode, 0) << c.command[0] << ": " << r.err;
        }
    }
    EXPECT_EQ(ReadBytes(image), before);
    EXPECT_FALSE(fs::exists(dir.String() + "/c.bin"));

    // A writer that lets go within the wait: the command goes ahead.
    auto held = device::CFrameClaim::Take(lock, ClaimMode::Exclusive, std::chrono::milliseconds(0));
    auto waiting = Start({"--wait", "60", "delete", "1"});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    held.Release();
    RunResult r = waiting->Finish();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(AlbumOnImage(image), (testsupport::Album{PictureBytes(70000, 1), PictureBytes(20000, 2)}));
    EXPECT_EQ(Cli({"--wait", "x", "list"}).exitCode, 1);
    EXPECT_EQ(Cli({"list", "--wait", "3601"}).exitCode, 1);
}

// fotolume-sim serves an image once, and does not replace an image while it is served.
TEST_F(AlbumCommands, AServedImageIsNeitherServedTwiceNorReplaced) {
    auto frame = std::make_unique<ServedFrame>(image, frames + "/f.sock");
    const auto before = ReadBytes(image);
    RunResult r = Sim({"serve", image, "--socket", frames + "/g.sock"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_THAT(r.err, HasSubstr(": in use by fotolume-sim (pid "));
    EXPECT_FALSE(fs::exists(frames + "/g.sock"));
    r = Sim({"create", image, "--demo", "1"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_THAT(r.err, HasSubstr(": served by fotolume-sim (pid "));
    EXPECT_EQ(ReadBytes(image), before);
    frame.reset();
    EXPECT_EQ(Sim({"create", image}).exitCode, 0);
}

}  // namespace
}  // namespace fotolume::cli::testing
