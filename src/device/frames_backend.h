// Drives of a frames folder: every Unix stream socket DIR/*.sock is one attached drive, taken in
// ascending byte order of the names; creating or removing one is a device change (inotify).
#pragma once

#include <string>

#include "device/drive_backend.h"

namespace fotolume::device {

class CFramesBackend : public IDriveBackend {
public:
    explicit CFramesBackend(std::string folder);
    ~CFramesBackend() override;
    CFramesBackend(const CFramesBackend&) = delete;
    CFramesBackend& operator=(const CFramesBackend&) = delete;

    bool StartMonitor() override;  // false when the folder cannot be watched (missing, no access)
    int NotificationFd() const override { return m_inotifyFd; }
    void ConsumeNotification() override;
    std::vector<std::string> ListDrives() override;
    std::unique_ptr<IDriveHandle> OpenDrive(const std::string& name) override;
    // The socket's lock file; the folder itself when no lock file can be made there.
    std::string ClaimPath(const std::string& name) override;

    const std::string& Folder() const { return m_folder; }

private:
    std::string m_folder;
    int m_inotifyFd = -1;
};

// A socket cannot be locked, so a plain file beside it, "NAME.sock.lock", stands for it. The frames
// folder never takes it for a drive.
std::string SocketClaimFile(const std::string& socketPath);
// Makes that file when it is missing, readable by everyone so that other users' programs can lock it
// too. False when it cannot be made, or something other than a plain file has the name.
bool MakeSocketClaimFile(const std::string& socketPath);

// A connected socket drive; exposed for tests of the protocol client.
std::unique_ptr<IDriveHandle> ConnectSocketDrive(const std::string& path);

}  // namespace fotolume::device
