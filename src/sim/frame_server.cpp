#include "sim/frame_server.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "device/frames_backend.h"
#include "device/wire_protocol.h"

namespace fotolume::sim {

namespace dev = fotolume::device;

namespace {

// A client that stops in the middle of a request is dropped after this long.
constexpr int kRequestTimeoutMs = 5000;

bool FillAddress(const std::string& path, sockaddr_un& addr) {
    addr = {};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Whether some process accepts connections on the socket at path.
bool SomeoneServes(const std::string& path) {
    sockaddr_un addr;
    if (!FillAddress(path, addr)) return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool served = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return served;
}

}  // namespace

CFrameServer::CFrameServer(CFlashEmulator& emulator, std::string socketPath)
    : m_emulator(emulator), m_path(std::move(socketPath)) {
    // The served drive is named as a frames folder names it: by the socket's file name.
    const size_t slash = m_path.rfind('/');
    m_name = slash == std::string::npos ? m_path : m_path.substr(slash + 1);
}

CFrameServer::~CFrameServer() {
    RemoveSocket();
}

bool CFrameServer::Listen(std::string& error) {
    const std::string temporary = m_path + ".new" + std::to_string(::getpid());
    sockaddr_un addr;
    if (!FillAddress(temporary, addr)) {
        error = m_path + ": socket path too long";
        return false;
    }
    struct stat st {};
    if (::lstat(m_path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            error = m_path + ": exists and is not a socket";
            return false;
        }
        if (SomeoneServes(m_path)) {
            error = m_path + ": another frame is served there";
            return false;
        }
    }
    // Made before the socket appears, so that programs of other users find a lock file they may use.
    dev::MakeSocketClaimFile(m_path);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::unlink(temporary.c_str());
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0 ||
        ::rename(temporary.c_str(), m_path.c_str()) != 0) {
        error = m_path + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        ::unlink(temporary.c_str());
        return false;
    }
    ::lstat(m_path.c_str(), &st);
    m_inode = st.st_ino;
    m_listenFd = fd;
    return true;
}

void CFrameServer::RemoveSocket() {
    if (m_listenFd < 0) return;
    struct stat st {};
    // Only our own socket: a later server may have taken the name.
    if (::lstat(m_path.c_str(), &st) == 0 && st.st_ino == m_inode) ::unlink(m_path.c_str());
    ::close(m_listenFd);
    m_listenFd = -1;
}

bool CFrameServer::ServeRequest(int fd) {
    uint8_t header[dev::kWireRequestSize];
    if (!dev::ReadAll(fd, header, sizeof header, kRequestTimeoutMs)) return false;
    dev::WireRequest q;
    std::string why;
    if (!dev::DecodeRequest(header, q, &why)) {
        if (m_trace) m_trace->Note(m_name, R"(,"refused":)" + dev::TraceJsonString(why));
        return false;
    }
    std::vector<uint8_t> data(q.dataLength);
    if (q.direction == 1 && q.dataLength > 0 && !dev::ReadAll(fd, data.data(), data.size(), kRequestTimeoutMs))
        return false;
    // The trace shows the command as the frame received and answered it.
    dev::TracedCommand traced;
    dev::CCommandTrace::Slot slot;
    if (m_trace) {
        traced.drive = m_name;
        traced.cdb = q.cdb.data();
        traced.cdbLength = q.cdbLength;
        traced.direction = q.direction;
        traced.requested = q.dataLength;
        traced.data = data.data();
        slot = m_trace->Begin(traced);
    }
    uint32_t transferred = 0;
    dev::WireResponse a;
    a.status = m_emulator.Execute(q.cdb.data(), q.direction, data.data(), q.dataLength, transferred);
    a.count = q.direction == 2 ? std::min(transferred, q.dataLength) : 0;
    if (m_trace) {
        traced.outcome.completed = true;
        traced.outcome.status = a.status;
        traced.outcome.transferred = q.direction == 1 && a.status == 0 ? q.dataLength : a.count;
        m_trace->End(slot, traced);
    }
    auto answer = dev::EncodeResponse(a);
    return dev::WriteAll(fd, answer.data(), answer.size()) && (a.count == 0 || dev::WriteAll(fd, data.data(), a.count));
}

bool CFrameServer::Serve(int stopFd) {
    if (m_listenFd < 0) return false;
    std::vector<int> clients;
    bool vanished = false;
    while (!vanished) {
        std::vector<pollfd> fds;
        fds.push_back({stopFd, POLLIN, 0});
        fds.push_back({m_listenFd, POLLIN, 0});
        for (int c : clients) fds.push_back({c, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents) break;
        if (fds[1].revents & POLLIN) {
            int c = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0) {
                clients.push_back(c);
                ++m_connections;
                ++m_openConnections;
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents) continue;
            if (!ServeRequest(fds[i].fd)) {
                ::close(fds[i].fd);
                clients.erase(std::find(clients.begin(), clients.end(), fds[i].fd));
                --m_openConnections;
            }
            if (m_emulator.Vanished()) {
                vanished = true;  // the frame left the bus: every connection breaks
                break;
            }
        }
    }
    for (int c : clients) ::close(c);
    m_openConnections = 0;
    RemoveSocket();
    return vanished;
}

}  // namespace fotolume::sim
