#include "device/frames_backend.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "device/inquiry.h"
#include "device/wire_protocol.h"

namespace fotolume::device {

namespace {

constexpr uint32_t kIdentityTimeoutMs = 5000;
// Beyond the command's own timeout the server may take this long to answer before the drive counts
// as gone.
constexpr uint32_t kWireSlackMs = 5000;

class SocketDrive : public IDriveHandle {
public:
    explicit SocketDrive(int fd) : m_fd(fd) {}
    ~SocketDrive() override { ::close(m_fd); }

    CommandOutcome Execute(const uint8_t* cdb, uint8_t cdbLength, int direction, uint8_t* data, uint32_t length,
                           uint32_t timeoutMs) override {
        CommandOutcome r;
        if (m_broken || cdbLength > 16 || direction < 0 || direction > 2 || length > kWireMaxData) return r;
        WireRequest q;
        q.cdbLength = cdbLength;
        std::copy_n(cdb, cdbLength, q.cdb.begin());
        q.direction = static_cast<uint8_t>(direction);
        q.dataLength = direction == 0 ? 0 : length;
        q.timeoutMs = timeoutMs;
        auto header = EncodeRequest(q);
        if (!WriteAll(m_fd, header.data(), header.size()) ||
            (direction == 1 && length > 0 && !WriteAll(m_fd, data, length)))
            return Broken();
        uint8_t answer[kWireResponseSize];
        const int wait = static_cast<int>(std::min<uint64_t>(uint64_t{timeoutMs} + kWireSlackMs, 0x7FFFFFFF));
        if (!ReadAll(m_fd, answer, sizeof answer, wait)) return Broken();
        WireResponse a = DecodeResponse(answer);
        if (a.count > (direction == 2 ? length : 0)) return Broken();  // the server broke the protocol
        if (a.count > 0 && !ReadAll(m_fd, data, a.count, wait)) return Broken();
        r.completed = true;
        r.status = a.status;
        r.transferred = direction == 1 && a.status == 0 ? length : a.count;
        return r;
    }

    bool QueryIdentity(DriveIdentity& identity) override {
        if (!InquireIdentity(*this, identity, kIdentityTimeoutMs)) return false;
        identity.usb = true;  // a simulated frame sits on USB as a real one does
        return true;
    }

private:
    CommandOutcome Broken() {
        // A connection that broke stays broken: the frame is gone.
        m_broken = true;
        return {};
    }

    int m_fd;
    bool m_broken = false;
};

}  // namespace

std::unique_ptr<IDriveHandle> ConnectSocketDrive(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return nullptr;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<SocketDrive>(fd);
}

CFramesBackend::CFramesBackend(std::string folder) : m_folder(std::move(folder)) {}

CFramesBackend::~CFramesBackend() {
    if (m_inotifyFd >= 0) ::close(m_inotifyFd);
}

bool CFramesBackend::StartMonitor() {
    if (m_inotifyFd >= 0) return true;
    int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return false;
    const uint32_t mask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
    if (::inotify_add_watch(fd, m_folder.c_str(), mask) < 0) {
        ::close(fd);
        return false;
    }
    m_inotifyFd = fd;
    return true;
}

void CFramesBackend::ConsumeNotification() {
    if (m_inotifyFd < 0) return;
    alignas(inotify_event) char buffer[4096];
    while (::read(m_inotifyFd, buffer, sizeof buffer) > 0) {
    }
}

std::vector<std::string> CFramesBackend::ListDrives() {
    std::vector<std::string> names;
    DIR* dir = ::opendir(m_folder.c_str());
    if (!dir) return names;
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name.size() <= 5 || name.compare(name.size() - 5, 5, ".sock") != 0) continue;
        struct stat st {};
        if (::lstat((m_folder + "/" + name).c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());  // byte order: char_traits<char> compares as unsigned
    return names;
}

std::unique_ptr<IDriveHandle> CFramesBackend::OpenDrive(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) return nullptr;
    return ConnectSocketDrive(m_folder + "/" + name);
}

std::string CFramesBackend::ClaimPath(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) return {};
    const std::string socket = m_folder + "/" + name;
    // A folder this user cannot write to: all of its frames share one claim on the folder.
    return MakeSocketClaimFile(socket) ? SocketClaimFile(socket) : m_folder;
}

std::string SocketClaimFile(const std::string& socketPath) { return socketPath + ".lock"; }

bool MakeSocketClaimFile(const std::string& socketPath) {
    const std::string path = SocketClaimFile(socketPath);
    const int existing = O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::open(path.c_str(), existing);
    bool made = false;
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.c_str(), existing | O_CREAT | O_EXCL, 0644);
        made = fd >= 0;
        if (fd < 0 && errno == EEXIST) fd = ::open(path.c_str(), existing);  // made by another program
    }
    if (fd < 0) return false;
    struct stat st {};
    const bool plain = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (plain && made) ::fchmod(fd, 0644);  // whatever the umask: other users lock it read-only
    ::close(fd);
    return plain;
}

}  // namespace fotolume::device
