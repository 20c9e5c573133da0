// Drives of the system: SCSI generic devices. A candidate is /sys/class/scsi_generic/sgN of device
// type 5 (CD/DVD), in ascending N; its identity is sysfs's vendor and model text and whether its
// device path runs through a USB device; commands go through ioctl(SG_IO) on /dev/sgN.
#pragma once

#include <scsi/sg.h>

#include <memory>
#include <string>
#include <vector>

#include "device/drive_backend.h"
#include "device/notify_source.h"

namespace fotolume::device {

// The system calls the back-end makes on device nodes; tests replace them.
class ISgPassThrough {
public:
    virtual ~ISgPassThrough() = default;
    virtual int Open(const std::string& path) = 0;   // a descriptor, or -1
    virtual int SgIo(int fd, sg_io_hdr_t& header) = 0;  // the ioctl's result
    virtual void Close(int fd) = 0;
};

class CSystemSgPassThrough : public ISgPassThrough {
public:
    int Open(const std::string& path) override;
    int SgIo(int fd, sg_io_hdr_t& header) override;
    void Close(int fd) override;
};

struct SgOptions {
    std::string sysfsRoot = "/sys";
    std::string devRoot = "/dev";
    std::shared_ptr<ISgPassThrough> passThrough;  // nullptr: the system's
    std::unique_ptr<INotifySource> notifications;  // nullptr: a udev monitor
};

class CSgBackend : public IDriveBackend {
public:
    explicit CSgBackend(SgOptions options = {});
    ~CSgBackend() override;

    bool StartMonitor() override;
    int NotificationFd() const override;
    void ConsumeNotification() override;
    std::vector<std::string> ListDrives() override;
    std::unique_ptr<IDriveHandle> OpenDrive(const std::string& name) override;
    // Every sgN of any device type; identities from sysfs, CD/DVD nodes opened and closed once.
    std::vector<DriveCandidate> SurveyDrives() override;

    // Identity of sgN from sysfs; false when it is no longer there.
    bool ReadIdentity(const std::string& name, DriveIdentity& identity) const;
    std::string LastProblem() const override { return m_problem; }
    // The node itself: every program that opens the drive opens it.
    std::string ClaimPath(const std::string& name) override;

private:
    std::string ClassDir(const std::string& name) const;
    std::vector<std::string> AllNodes() const;  // every sgN, in ascending N
    std::string DeviceType(const std::string& name) const;

    SgOptions m_options;
    std::string m_problem;
};

}  // namespace fotolume::device
