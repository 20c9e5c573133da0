// Where drives come from: the system's SCSI generic devices, a frames folder of sockets, or in-process
// emulators. The device link sees only this interface.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fotolume::device {

// What a drive says about itself (the storage descriptor).
struct DriveIdentity {
    bool usb = false;     // the drive sits on USB
    std::string vendor;   // as the drive reports it, trailing spaces removed
    std::string product;
};

// One drive a survey saw: what it is, whether it opens, who it says it is. Diagnostics only.
struct DriveCandidate {
    std::string name;          // sgN, or the socket's name
    std::string node;          // what is opened for commands: /dev/sgN or the socket's path
    std::string deviceType;    // SCSI peripheral device type as the system reports it; empty when unknown
    bool cdrom = false;        // a CD/DVD drive, the only kind a frame is
    bool openTried = false;    // only CD/DVD drives are opened
    bool opened = false;
    std::string openProblem;   // why it did not open (for example "Permission denied")
    bool identityRead = false;
    DriveIdentity identity;
    // Filled by CCommUSB::SurveyDrives.
    bool accepted = false;
    std::string verdict;       // "the frame", or why the drive is not taken for it
};

// How one command ended at the pass-through.
struct CommandOutcome {
    bool completed = false;    // the pass-through carried the command (false: call failed, drive gone)
    uint8_t status = 0xFF;     // SCSI status, 0 = GOOD
    uint32_t transferred = 0;  // data bytes moved
};

// One opened drive. Closing is destruction.
class IDriveHandle {
public:
    virtual ~IDriveHandle() = default;
    // One command block of cdbLength bytes with at most one data phase (direction 0 none, 1 to the
    // drive, 2 from the drive) of length bytes in data.
    virtual CommandOutcome Execute(const uint8_t* cdb, uint8_t cdbLength, int direction, uint8_t* data,
                                   uint32_t length, uint32_t timeoutMs) = 0;
    // Reads the drive's identity; false when the drive no longer answers.
    virtual bool QueryIdentity(DriveIdentity& identity) = 0;
};

class IDriveBackend {
public:
    virtual ~IDriveBackend() = default;
    // Registers for change notifications; false when that is refused.
    virtual bool StartMonitor() = 0;
    // Readable when a device change happened; -1 before StartMonitor.
    virtual int NotificationFd() const = 0;
    // Takes the pending notifications off the descriptor.
    virtual void ConsumeNotification() = 0;
    // Names of the CD-ROM class drives present now, in drive order.
    virtual std::vector<std::string> ListDrives() = 0;
    // Opens one drive for commands; nullptr when it cannot be opened.
    virtual std::unique_ptr<IDriveHandle> OpenDrive(const std::string& name) = 0;
    // Why the last scan could not open a drive (for example a permission), or empty.
    virtual std::string LastProblem() const { return {}; }
    // The file whose flock stands for the drive in every process (see frame_claim.h); empty when no
    // other process can reach the drive. May create a lock file.
    virtual std::string ClaimPath(const std::string& /*name*/) { return {}; }
    // Every drive-like node present, also those ListDrives leaves out, each CD/DVD drive opened and
    // closed once to see whether it can be. Sends nothing but an identity query.
    virtual std::vector<DriveCandidate> SurveyDrives();
};

}  // namespace fotolume::device
