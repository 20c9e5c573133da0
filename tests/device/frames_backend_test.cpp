// The frames folder: the socket protocol's bytes, which files are drives, and broken connections.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "device/bytes.h"
#include "device/flash_cdb.h"
#include "device/frames_backend.h"
#include "device/inquiry.h"
#include "device/wire_protocol.h"
#include "tests/device/drive_rigs.h"

namespace fotolume::device {
namespace {

using testing::TempDir;

TEST(WireProtocol, RequestAndResponseLayout) {
    WireRequest q;
    q.cdbLength = 16;
    q.cdb = ReadCdb(kOpRead, 4096, 0x123456);
    q.direction = 2;
    q.dataLength = 4096;
    q.timeoutMs = 300000;
    auto h = EncodeRequest(q);
    EXPECT_EQ(h[0], 16);
    EXPECT_EQ(h[1], 0xCD);
    EXPECT_EQ(h[1 + 11], 0x12);
    EXPECT_EQ(h[17], 2);
    EXPECT_EQ(ReadLe32(&h[18]), 4096u);
    EXPECT_EQ(ReadLe32(&h[22]), 300000u);
    WireRequest back;
    ASSERT_TRUE(DecodeRequest(h.data(), back));
    EXPECT_EQ(back.cdb, q.cdb);
    EXPECT_EQ(back.dataLength, 4096u);

    // A 6-byte block leaves the rest zero on the wire.
    WireRequest inquiry;
    inquiry.cdbLength = 6;
    inquiry.cdb.fill(0x77);
    inquiry.direction = 0;
    inquiry.dataLength = 99;
    auto hi = EncodeRequest(inquiry);
    EXPECT_EQ(hi[6], 0x77);
    EXPECT_EQ(hi[7], 0);
    EXPECT_EQ(ReadLe32(&hi[18]), 0u) << "no length without a data phase";

    auto r = EncodeResponse({2, 0x01020304});
    EXPECT_EQ(r[0], 2);
    EXPECT_EQ(r[1], 0x04);
    EXPECT_EQ(DecodeResponse(r.data()).count, 0x01020304u);
}

TEST(WireProtocol, MalformedRequestsAreRefused) {
    auto make = [](uint8_t cdbLength, uint8_t direction, uint32_t length) {
        std::array<uint8_t, kWireRequestSize> h{};
        h[0] = cdbLength;
        h[17] = direction;
        WriteLe32(&h[18], length);
        return h;
    };
    WireRequest q;
    std::string why;
    EXPECT_FALSE(DecodeRequest(make(7, 0, 0).data(), q, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(DecodeRequest(make(16, 3, 0).data(), q));
    EXPECT_FALSE(DecodeRequest(make(16, 0, 5).data(), q));
    EXPECT_FALSE(DecodeRequest(make(16, 2, kWireMaxData + 1).data(), q));
    EXPECT_TRUE(DecodeRequest(make(12, 1, 512).data(), q));
}

int BindSocket(const std::string& path) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0) << path;
    return fd;
}

TEST(FramesFolder, SocketsNamedDotSockAreDrivesInByteOrder) {
    TempDir dir;
    std::vector<int> fds;
    for (const char* name : {"b.sock", "B.sock", "a.sock", "frame.socket", "x.sock.new1"})
        fds.push_back(BindSocket(dir.String() + "/" + name));
    std::ofstream(dir.String() + "/plain.sock") << "not a socket";
    CFramesBackend backend(dir.String());
    EXPECT_EQ(backend.ListDrives(), (std::vector<std::string>{"B.sock", "a.sock", "b.sock"}));
    EXPECT_EQ(backend.OpenDrive("a.sock"), nullptr) << "bound but nobody listens";
    EXPECT_EQ(backend.OpenDrive("../a.sock"), nullptr);
    for (int fd : fds) ::close(fd);
}

TEST(FramesFolder, MissingFolderRefusesMonitoring) {
    CFramesBackend backend("/nonexistent/fotolume-frames");
    EXPECT_FALSE(backend.StartMonitor());
    EXPECT_EQ(backend.NotificationFd(), -1);
    EXPECT_TRUE(backend.ListDrives().empty());
}

TEST(FramesFolder, BrokenConnectionStaysBrokenWhenTheFrameComesBack) {
    auto rig = testing::MakeFramesRig();
    rig->AddDrive("zentaris", "DPF");
    auto backend = rig->MakeBackend();
    auto handle = backend->OpenDrive(rig->DriveName(0));
    ASSERT_NE(handle, nullptr);
    DriveIdentity id;
    ASSERT_TRUE(handle->QueryIdentity(id));
    EXPECT_TRUE(id.usb);
    EXPECT_EQ(id.vendor, "zentaris");
    rig->Unplug(0);
    auto cdb = WriteEnableCdb();
    EXPECT_FALSE(handle->Execute(cdb.data(), 16, 0, nullptr, 0, 1000).completed);
    rig->Plug(0);
    EXPECT_FALSE(handle->Execute(cdb.data(), 16, 0, nullptr, 0, 1000).completed);
    EXPECT_FALSE(handle->QueryIdentity(id));
    auto fresh = backend->OpenDrive(rig->DriveName(0));
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(fresh->Execute(cdb.data(), 16, 0, nullptr, 0, 1000).completed);
}

}  // namespace
}  // namespace fotolume::device
