// Sources of device-change notifications for the SCSI generic back-end: a libudev monitor on the
// real system, an event counter for tests.
#pragma once

struct udev;
struct udev_monitor;

namespace fotolume::device {

class INotifySource {
public:
    virtual ~INotifySource() = default;
    virtual bool Start() = 0;     // false when the registration is refused
    virtual int Fd() const = 0;   // -1 before Start
    virtual void Consume() = 0;   // takes what is pending off the descriptor
};

// Arrivals and removals of SCSI generic devices, from udev.
class CUdevMonitor : public INotifySource {
public:
    CUdevMonitor();
    ~CUdevMonitor() override;
    CUdevMonitor(const CUdevMonitor&) = delete;
    CUdevMonitor& operator=(const CUdevMonitor&) = delete;
    bool Start() override;
    int Fd() const override;
    void Consume() override;

private:
    ::udev* m_udev = nullptr;
    ::udev_monitor* m_monitor = nullptr;
};

// A notification source that fires when told to.
class CEventNotifier : public INotifySource {
public:
    CEventNotifier() = default;
    ~CEventNotifier() override;
    CEventNotifier(const CEventNotifier&) = delete;
    CEventNotifier& operator=(const CEventNotifier&) = delete;
    bool Start() override;
    int Fd() const override { return m_fd; }
    void Consume() override;
    void Notify();

private:
    int m_fd = -1;
};

}  // namespace fotolume::device
