#include "device/notify_source.h"

#include <libudev.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace fotolume::device {

CUdevMonitor::CUdevMonitor() = default;

CUdevMonitor::~CUdevMonitor() {
    if (m_monitor) udev_monitor_unref(m_monitor);
    if (m_udev) udev_unref(m_udev);
}

bool CUdevMonitor::Start() {
    if (m_monitor) return true;
    m_udev = udev_new();
    if (!m_udev) return false;
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "scsi_generic", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_monitor) < 0) {
        if (m_monitor) udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
        return false;
    }
    return true;
}

int CUdevMonitor::Fd() const { return m_monitor ? udev_monitor_get_fd(m_monitor) : -1; }

void CUdevMonitor::Consume() {
    if (!m_monitor) return;
    // The monitor's socket does not block; take every queued event.
    while (udev_device* d = udev_monitor_receive_device(m_monitor)) udev_device_unref(d);
}

CEventNotifier::~CEventNotifier() {
    if (m_fd >= 0) ::close(m_fd);
}

bool CEventNotifier::Start() {
    if (m_fd < 0) m_fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return m_fd >= 0;
}

void CEventNotifier::Consume() {
    uint64_t value = 0;
    if (m_fd >= 0 && ::read(m_fd, &value, sizeof value) < 0) value = 0;
}

void CEventNotifier::Notify() {
    uint64_t one = 1;
    if (m_fd >= 0 && ::write(m_fd, &one, sizeof one) < 0) one = 0;
}

}  // namespace fotolume::device
