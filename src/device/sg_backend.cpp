#include "device/sg_backend.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fotolume::device {

namespace {

constexpr unsigned kDriverSense = 0x08;  // driver byte that only says sense data came back

std::string ReadTrimmed(const std::string& path) {
    std::ifstream in(path);
    std::string text;
    std::getline(in, text, '\0');
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
    return text.substr(start);
}

// sgN -> N, or -1 for any other name.
long SgNumber(const std::string& name) {
    if (name.size() < 3 || name.compare(0, 2, "sg") != 0) return -1;
    long n = 0;
    for (size_t i = 2; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])) || n > 1'000'000) return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

// A device path runs through USB when one of its parts is a USB bus (usb1, usb2, ...).
bool ThroughUsb(const std::filesystem::path& devicePath) {
    for (const auto& part : devicePath) {
        std::string s = part.string();
        if (s.size() > 3 && s.compare(0, 3, "usb") == 0 &&
            std::all_of(s.begin() + 3, s.end(), [](unsigned char c) { return std::isdigit(c); }))
            return true;
    }
    return false;
}

class SgDrive : public IDriveHandle {
public:
    SgDrive(const CSgBackend& backend, std::shared_ptr<ISgPassThrough> pass, int fd, std::string name)
        : m_backend(backend), m_pass(std::move(pass)), m_fd(fd), m_name(std::move(name)) {}
    ~SgDrive() override { m_pass->Close(m_fd); }

    CommandOutcome Execute(const uint8_t* cdb, uint8_t cdbLength, int direction, uint8_t* data, uint32_t length,
                           uint32_t timeoutMs) override {
        CommandOutcome r;
        uint8_t command[16] = {};
        std::copy_n(cdb, std::min<size_t>(cdbLength, 16), command);
        uint8_t sense[32] = {};
        sg_io_hdr_t h{};
        h.interface_id = 'S';
        h.cmd_len = cdbLength;
        h.cmdp = command;
        h.mx_sb_len = sizeof sense;
        h.sbp = sense;
        h.timeout = timeoutMs;
        if (direction == 0 || length == 0) {
            h.dxfer_direction = SG_DXFER_NONE;
        } else {
            h.dxfer_direction = direction == 1 ? SG_DXFER_TO_DEV : SG_DXFER_FROM_DEV;
            h.dxfer_len = length;
            h.dxferp = data;
        }
        if (m_pass->SgIo(m_fd, h) < 0) return r;
        if (h.host_status != 0 || (h.driver_status & ~kDriverSense) != 0) return r;
        r.completed = true;
        r.status = h.status;
        r.transferred = h.dxfer_len > static_cast<unsigned>(h.resid) && h.resid >= 0 ? h.dxfer_len - h.resid : 0;
        return r;
    }

    bool QueryIdentity(DriveIdentity& identity) override { return m_backend.ReadIdentity(m_name, identity); }

private:
    const CSgBackend& m_backend;
    std::shared_ptr<ISgPassThrough> m_pass;
    int m_fd;
    std::string m_name;
};

}  // namespace

int CSystemSgPassThrough::Open(const std::string& path) {
    // Read-write is what lets SG_IO carry vendor commands; SG_IO itself blocks regardless of O_NONBLOCK.
    return ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
}

int CSystemSgPassThrough::SgIo(int fd, sg_io_hdr_t& header) { return ::ioctl(fd, SG_IO, &header); }

void CSystemSgPassThrough::Close(int fd) { ::close(fd); }

CSgBackend::CSgBackend(SgOptions options) : m_options(std::move(options)) {
    if (!m_options.passThrough) m_options.passThrough = std::make_shared<CSystemSgPassThrough>();
    if (!m_options.notifications) m_options.notifications = std::make_unique<CUdevMonitor>();
}

CSgBackend::~CSgBackend() = default;

bool CSgBackend::StartMonitor() { return m_options.notifications->Start(); }
int CSgBackend::NotificationFd() const { return m_options.notifications->Fd(); }
void CSgBackend::ConsumeNotification() { m_options.notifications->Consume(); }

std::string CSgBackend::ClassDir(const std::string& name) const {
    return m_options.sysfsRoot + "/class/scsi_generic/" + name;
}

std::vector<std::string> CSgBackend::AllNodes() const {
    std::vector<std::pair<long, std::string>> found;
    std::string classRoot = m_options.sysfsRoot + "/class/scsi_generic";
    if (DIR* dir = ::opendir(classRoot.c_str())) {
        while (dirent* e = ::readdir(dir)) {
            std::string name = e->d_name;
            long n = SgNumber(name);
            if (n >= 0) found.emplace_back(n, name);
        }
        ::closedir(dir);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& f : found) names.push_back(f.second);
    return names;
}

std::string CSgBackend::DeviceType(const std::string& name) const {
    return ReadTrimmed(ClassDir(name) + "/device/type");
}

std::vector<std::string> CSgBackend::ListDrives() {
    m_problem.clear();  // a new scan
    std::vector<std::string> names;
    for (std::string& name : AllNodes())
        if (DeviceType(name) == "5") names.push_back(std::move(name));  // CD/DVD drives only
    return names;
}

std::vector<DriveCandidate> CSgBackend::SurveyDrives() {
    std::vector<DriveCandidate> found;
    for (const std::string& name : AllNodes()) {
        DriveCandidate c;
        c.name = name;
        c.node = m_options.devRoot + "/" + name;
        c.deviceType = DeviceType(name);
        c.cdrom = c.deviceType == "5";
        c.identityRead = ReadIdentity(name, c.identity);
        if (c.cdrom) {
            // Opening sends nothing; it tells whether this user may use the node.
            c.openTried = true;
            int fd = m_options.passThrough->Open(c.node);
            if (fd >= 0) {
                c.opened = true;
                m_options.passThrough->Close(fd);
            } else {
                c.openProblem = std::strerror(errno);
            }
        }
        found.push_back(std::move(c));
    }
    return found;
}

bool CSgBackend::ReadIdentity(const std::string& name, DriveIdentity& identity) const {
    std::error_code ec;
    std::filesystem::path device = std::filesystem::canonical(ClassDir(name) + "/device", ec);
    if (ec) return false;  // the device left
    identity.usb = ThroughUsb(device);
    identity.vendor = ReadTrimmed(device.string() + "/vendor");
    identity.product = ReadTrimmed(device.string() + "/model");
    return true;
}

std::string CSgBackend::ClaimPath(const std::string& name) {
    return SgNumber(name) < 0 ? std::string() : m_options.devRoot + "/" + name;
}

std::unique_ptr<IDriveHandle> CSgBackend::OpenDrive(const std::string& name) {
    if (SgNumber(name) < 0) return nullptr;
    const std::string path = m_options.devRoot + "/" + name;
    int fd = m_options.passThrough->Open(path);
    if (fd < 0) {
        m_problem = "cannot open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<SgDrive>(*this, m_options.passThrough, fd, name);
}

}  // namespace fotolume::device
