#include "sim/emulator_backend.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

#include "device/device_types.h"
#include "device/inquiry.h"

namespace fotolume::sim {

class CEmulatorBackend::Handle : public device::IDriveHandle {
public:
    Handle(CEmulatorBackend& owner, size_t index) : m_owner(owner), m_index(index) {
        ++m_owner.m_drives[m_index].opens;
        ++m_owner.m_drives[m_index].openHandles;
    }
    ~Handle() override { --m_owner.m_drives[m_index].openHandles; }

    device::CommandOutcome Execute(const uint8_t* cdb, uint8_t cdbLength, int direction, uint8_t* data,
                                   uint32_t length, uint32_t) override {
        uint8_t block[16] = {};
        std::copy_n(cdb, std::min<size_t>(cdbLength, 16), block);
        Sent sent{m_index, {}, direction, length};
        std::copy_n(block, 16, sent.cdb.begin());
        m_owner.m_sent.push_back(sent);
        device::CommandOutcome r;
        if (!m_owner.Present(m_index)) return r;  // unplugged: the pass-through itself fails
        Drive& drive = m_owner.m_drives[m_index];
        r.status = drive.emulator->Execute(block, direction, data, length, r.transferred);
        // Data to the frame counts as moved once the frame took the command, as on a socket drive.
        if (direction == device::kDirToFrame && r.status == 0) r.transferred = length;
        r.completed = true;
        if (drive.emulator->Vanished() && !drive.vanishReported) {
            drive.vanishReported = true;  // the system notices the frame leaving the bus
            m_owner.Notify();
        }
        return r;
    }

    bool QueryIdentity(device::DriveIdentity& identity) override {
        if (!m_owner.Present(m_index)) return false;
        uint8_t block[16] = {};
        auto cdb = device::InquiryCdb();
        std::copy(cdb.begin(), cdb.end(), block);
        uint8_t data[device::kInquiryLength] = {};
        uint32_t got = 0;
        if (m_owner.m_drives[m_index].emulator->Execute(block, device::kDirFromFrame, data, sizeof data, got) != 0)
            return false;
        identity.usb = true;
        return device::ParseInquiry(data, got, identity);
    }

private:
    CEmulatorBackend& m_owner;
    size_t m_index;
};

CEmulatorBackend::CEmulatorBackend(std::vector<CFlashEmulator*> drives) {
    for (CFlashEmulator* e : drives) m_drives.push_back(Drive{e});
}

CEmulatorBackend::~CEmulatorBackend() {
    if (m_eventFd >= 0) ::close(m_eventFd);
}

bool CEmulatorBackend::StartMonitor() {
    if (m_monitorRefused) return false;
    if (m_eventFd < 0) m_eventFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return m_eventFd >= 0;
}

void CEmulatorBackend::ConsumeNotification() {
    uint64_t value = 0;
    if (m_eventFd >= 0) {
        ssize_t n = ::read(m_eventFd, &value, sizeof value);
        (void)n;  // nothing pending is fine
    }
}

bool CEmulatorBackend::NotificationPending() const {
    if (m_eventFd < 0) return false;
    uint64_t value = 0;
    // Peek without consuming: read and write back.
    if (::read(m_eventFd, &value, sizeof value) != sizeof value) return false;
    ssize_t n = ::write(m_eventFd, &value, sizeof value);
    (void)n;
    return true;
}

void CEmulatorBackend::Notify() {
    if (m_eventFd < 0) return;
    uint64_t one = 1;
    ssize_t n = ::write(m_eventFd, &one, sizeof one);
    (void)n;
}

bool CEmulatorBackend::Present(size_t index) const {
    const Drive& d = m_drives[index];
    return d.attached && !d.emulator->Vanished();
}

std::vector<std::string> CEmulatorBackend::ListDrives() {
    std::vector<std::string> names;
    for (size_t i = 0; i < m_drives.size(); ++i)
        if (Present(i)) names.push_back("emu" + std::to_string(i));
    return names;
}

std::unique_ptr<device::IDriveHandle> CEmulatorBackend::OpenDrive(const std::string& name) {
    if (name.rfind("emu", 0) != 0) return nullptr;
    size_t index = 0;
    try {
        index = std::stoul(name.substr(3));
    } catch (...) {
        return nullptr;
    }
    if (index >= m_drives.size() || !Present(index)) return nullptr;
    return std::make_unique<Handle>(*this, index);
}

void CEmulatorBackend::SetAttached(size_t index, bool attached) {
    Drive& d = m_drives.at(index);
    d.attached = attached;
    if (attached) {
        d.emulator->PowerCycle();  // plugging in powers the frame up
        d.vanishReported = false;
    }
    Notify();
}

std::unique_ptr<device::IDriveBackend> MakeEmulatorBackend(std::vector<CFlashEmulator*> drives) {
    return std::make_unique<CEmulatorBackend>(std::move(drives));
}

}  // namespace fotolume::sim
