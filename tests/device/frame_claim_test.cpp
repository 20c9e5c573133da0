// Frame claims across processes: readers share, a writer is alone, a process never conflicts with
// itself, and a claim dies with its process.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "device/frame_claim.h"
#include "device/frames_backend.h"
#include "device/sg_backend.h"
#include "tests/device/drive_rigs.h"

namespace fotolume::device {
namespace {

using namespace std::chrono_literals;
using testing::TempDir;

// A claim held by another process until Release or Kill. Made before this process holds any claim:
// a forked child would share this process's lock descriptors.
class OtherProcess {
public:
    OtherProcess(const std::string& path, ClaimMode mode) {
        int toChild[2], fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(toChild[1]);
            ::close(fromChild[0]);
            CFrameClaim claim = CFrameClaim::Take(path, mode, 0ms);
            const char held = claim.Held() ? 'y' : 'n';
            if (::write(fromChild[1], &held, 1) != 1) ::_exit(1);
            char any;
            while (::read(toChild[0], &any, 1) > 0) {
            }
            ::_exit(0);  // the claim goes with the process
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        m_release = toChild[1];
        char held = 'n';
        m_held = ::read(fromChild[0], &held, 1) == 1 && held == 'y';
        ::close(fromChild[0]);
    }
    ~OtherProcess() { Release(); }
    bool Held() const { return m_held; }
    pid_t Pid() const { return m_pid; }
    void Release() {
        if (m_release >= 0) ::close(m_release);
        m_release = -1;
        Reap();
    }
    void Kill() {
        if (m_pid > 0) ::kill(m_pid, SIGKILL);
        Reap();
    }

private:
    void Reap() {
        if (m_pid > 0) ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    pid_t m_pid = -1;
    int m_release = -1;
    bool m_held = false;
};

class FrameClaimTest : public ::testing::Test {
protected:
    void SetUp() override {
        lockFile = dir.String() + "/f.sock.lock";
        std::ofstream(lockFile).flush();
    }
    TempDir dir;
    std::string lockFile;
};

TEST_F(FrameClaimTest, ReadersShareAWriterIsAloneAndARefusalNamesTheHolder) {
    struct Case {
        ClaimMode other, mine;
        bool held;
    } cases[] = {
        {ClaimMode::Shared, ClaimMode::Shared, true},
        {ClaimMode::Shared, ClaimMode::Exclusive, false},
        {ClaimMode::Exclusive, ClaimMode::Shared, false},
        {ClaimMode::Exclusive, ClaimMode::Exclusive, false},
    };
    for (const Case& c : cases) {
        OtherProcess other(lockFile, c.other);
        ASSERT_TRUE(other.Held());
        const CFrameClaim mine = CFrameClaim::Take(lockFile, c.mine, 100ms);
        EXPECT_EQ(mine.Held(), c.held) << static_cast<int>(c.other) << static_cast<int>(c.mine);
        if (!c.held) {
            const std::string holder = "test_device (pid " + std::to_string(other.Pid()) + ")";
            EXPECT_EQ(mine.Holder(), holder);
            EXPECT_EQ(mine.RefusalText(), "the frame is in use by " + holder + "; try again when it has finished");
        }
    }
}

TEST_F(FrameClaimTest, AProcessHoldsItsOwnClaimAgainAndLetsGoWithTheLast) {
    CFrameClaim reading = CFrameClaim::Take(lockFile, ClaimMode::Shared, 0ms);
    CFrameClaim writing = CFrameClaim::Take(lockFile, ClaimMode::Exclusive, 0ms);
    CFrameClaim readingAgain = CFrameClaim::Take(lockFile, ClaimMode::Shared, 0ms);
    ASSERT_TRUE(reading.Held() && writing.Held() && readingAgain.Held());
    auto othersMay = [&](ClaimMode mode) {
        // A thread cannot stand for another process: this process's claims never conflict.
        pid_t pid = ::fork();
        if (pid == 0) {
            // The child shares this process's lock; a fresh descriptor of its own does not.
            const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
            ::_exit(::flock(fd, (mode == ClaimMode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0 ? 0 : 1);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    EXPECT_FALSE(othersMay(ClaimMode::Shared));
    writing.Release();
    EXPECT_TRUE(othersMay(ClaimMode::Shared)) << "back to a shared claim once the writing is done";
    EXPECT_FALSE(othersMay(ClaimMode::Exclusive));
    reading.Release();
    EXPECT_FALSE(othersMay(ClaimMode::Exclusive));
    CFrameClaim moved = std::move(readingAgain);
    EXPECT_FALSE(readingAgain.Held());
    EXPECT_FALSE(othersMay(ClaimMode::Exclusive));
    moved.Release();
    EXPECT_TRUE(othersMay(ClaimMode::Exclusive));
}

TEST_F(FrameClaimTest, AClaimEndsWithItsProcessAndAWaiterGetsItWhenLetGo) {
    {
        OtherProcess crashed(lockFile, ClaimMode::Exclusive);
        ASSERT_TRUE(crashed.Held());
        crashed.Kill();
        EXPECT_TRUE(CFrameClaim::Take(lockFile, ClaimMode::Exclusive, 0ms).Held()) << "no stale claim";
    }
    OtherProcess writer(lockFile, ClaimMode::Exclusive);
    ASSERT_TRUE(writer.Held());
    std::thread done([&] {
        std::this_thread::sleep_for(200ms);
        writer.Release();
    });
    const CFrameClaim mine = CFrameClaim::Take(lockFile, ClaimMode::Exclusive, 30s);
    done.join();
    EXPECT_TRUE(mine.Held());
}

TEST_F(FrameClaimTest, EachBackEndNamesTheFileThatStandsForItsDrive) {
    SgOptions options;
    options.sysfsRoot = dir.String() + "/sys";
    options.devRoot = dir.String() + "/dev";
    CSgBackend sg(std::move(options));
    EXPECT_EQ(sg.ClaimPath("sg3"), dir.String() + "/dev/sg3");
    EXPECT_EQ(sg.ClaimPath("sda"), "");

    const std::string frames = dir.String() + "/frames";
    std::filesystem::create_directories(frames + "/g.sock.lock");  // a folder where the lock file goes
    std::filesystem::create_symlink(lockFile, frames + "/h.sock.lock");
    CFramesBackend backend(frames);
    ASSERT_EQ(backend.ClaimPath("f.sock"), frames + "/f.sock.lock");
    struct stat st {};
    ASSERT_EQ(::lstat((frames + "/f.sock.lock").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0644u) << "other users' programs may lock it";
    EXPECT_TRUE(backend.ListDrives().empty()) << "a lock file is no drive";
    EXPECT_EQ(backend.ClaimPath("g.sock"), frames) << "no lock file can be made: the folder stands in";
    EXPECT_EQ(backend.ClaimPath("h.sock"), frames) << "a link is never followed";
    EXPECT_EQ(backend.ClaimPath("../f.sock"), "");

    // Nothing to lock (an in-process drive, a drive gone): held, so the commands decide.
    EXPECT_TRUE(CFrameClaim::Take("", ClaimMode::Exclusive, 0ms).Held());
    EXPECT_TRUE(CFrameClaim::Take(dir.String() + "/dev/sg3", ClaimMode::Exclusive, 0ms).Held());
}

}  // namespace
}  // namespace fotolume::device
