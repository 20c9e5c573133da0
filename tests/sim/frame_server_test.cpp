// The frame server: a frame appears as a socket, answers the protocol, and is gone when it stops.
#include <gtest/gtest.h>

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "device/flash_cdb.h"
#include "device/frames_backend.h"
#include "device/wire_protocol.h"
#include "sim/frame_server.h"
#include "tests/support/temp_folder.h"

namespace fotolume::sim {
namespace {

namespace dev = fotolume::device;
namespace fs = std::filesystem;

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = (folder / "frame.sock").string();
        stopFd = ::eventfd(0, EFD_CLOEXEC);
    }
    void TearDown() override {
        Stop();
        ::close(stopFd);
    }
    void Start() {
        server = std::make_unique<CFrameServer>(emulator, path);
        std::string error;
        ASSERT_TRUE(server->Listen(error)) << error;
        thread = std::thread([this] { vanished = server->Serve(stopFd); });
    }
    void Stop() {
        if (!thread.joinable()) return;
        uint64_t one = 1;
        ASSERT_EQ(::write(stopFd, &one, sizeof one), 8);
        thread.join();
    }
    bool SocketThere() const {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
    }

    testsupport::TempFolder folder;
    std::string path;
    int stopFd = -1;
    CFlashEmulator emulator{CFlashEmulator::Options{.flashSize = 128 * 1024}};
    std::unique_ptr<CFrameServer> server;
    std::thread thread;
    bool vanished = false;
};

TEST_F(ServerTest, ServesTheFrameAndRemovesTheSocketWhenStopped) {
    Start();
    EXPECT_TRUE(SocketThere());
    EXPECT_FALSE(fs::exists(path + ".new" + std::to_string(::getpid()))) << "the temporary name is gone";
    auto drive = dev::ConnectSocketDrive(path);
    ASSERT_NE(drive, nullptr);
    uint8_t answer[64] = {};
    auto cdb = dev::VersionCdb();
    dev::CommandOutcome r = drive->Execute(cdb.data(), 16, 2, answer, 64, 1000);
    ASSERT_TRUE(r.completed);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.transferred, 64u);
    EXPECT_STREQ(reinterpret_cast<char*>(answer), "1.00");
    // Data to the frame arrives whole.
    uint8_t page[300];
    std::memset(page, 0x42, sizeof page);
    for (const auto& c : {dev::WriteEnableCdb(), dev::WriteStatusCdb(0), dev::WriteEnableCdb()})
        ASSERT_EQ(drive->Execute(c.data(), 16, 0, nullptr, 0, 1000).status, 0);
    auto program = dev::ProgramCdb(dev::kOpProgram, sizeof page, 0x100, false);
    ASSERT_EQ(drive->Execute(program.data(), 16, 1, page, sizeof page, 1000).status, 0);
    Stop();
    EXPECT_FALSE(vanished);
    EXPECT_FALSE(SocketThere());
    EXPECT_EQ(emulator.Flash()[0x100 + 299], 0x42);
    EXPECT_FALSE(drive->Execute(cdb.data(), 16, 2, answer, 64, 1000).completed) << "the frame is gone";
}

TEST_F(ServerTest, VanishingFrameBreaksConnectionsAndLeaves) {
    emulator.SetFaults({.vanishAfter = 2});
    Start();
    auto drive = dev::ConnectSocketDrive(path);
    ASSERT_NE(drive, nullptr);
    auto cdb = dev::WriteEnableCdb();
    EXPECT_TRUE(drive->Execute(cdb.data(), 16, 0, nullptr, 0, 1000).completed);
    EXPECT_TRUE(drive->Execute(cdb.data(), 16, 0, nullptr, 0, 1000).completed);
    EXPECT_FALSE(drive->Execute(cdb.data(), 16, 0, nullptr, 0, 1000).completed);
    thread.join();
    EXPECT_TRUE(vanished);
    EXPECT_FALSE(SocketThere());
}

TEST_F(ServerTest, MalformedRequestDropsTheConnectionOnly) {
    Start();
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    uint8_t bad[dev::kWireRequestSize] = {7};  // no such command block length
    ASSERT_TRUE(dev::WriteAll(fd, bad, sizeof bad));
    uint8_t byte;
    EXPECT_EQ(::recv(fd, &byte, 1, 0), 0) << "the server closed the connection";
    ::close(fd);
    auto drive = dev::ConnectSocketDrive(path);
    ASSERT_NE(drive, nullptr);
    auto cdb = dev::WriteEnableCdb();
    EXPECT_TRUE(drive->Execute(cdb.data(), 16, 0, nullptr, 0, 1000).completed) << "others are still served";
}

TEST_F(ServerTest, StaleSocketIsReplacedButAServedOneOrAFileIsNot) {
    {
        int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
        ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        ::close(stale);  // the socket file stays, nobody serves it
    }
    Start();
    CFlashEmulator other{CFlashEmulator::Options{.flashSize = 64 * 1024}};
    CFrameServer second(other, path);
    std::string error;
    EXPECT_FALSE(second.Listen(error));
    EXPECT_NE(error.find("another frame"), std::string::npos) << error;
    std::ofstream(folder / "file.sock") << "x";
    CFrameServer third(other, (folder / "file.sock").string());
    EXPECT_FALSE(third.Listen(error));
    Stop();
    EXPECT_FALSE(SocketThere());
}

}  // namespace
}  // namespace fotolume::sim
