// In-process emulators presented as attached drives, for tests and benchmarks.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/drive_backend.h"
#include "sim/flash_emulator.h"

namespace fotolume::sim {

// Drive i is named "emuI" and lists in index order. A drive whose emulator has vanished is gone.
class CEmulatorBackend : public device::IDriveBackend {
public:
    explicit CEmulatorBackend(std::vector<CFlashEmulator*> drives);
    ~CEmulatorBackend() override;

    bool StartMonitor() override;
    int NotificationFd() const override { return m_eventFd; }
    void ConsumeNotification() override;
    std::vector<std::string> ListDrives() override;
    std::unique_ptr<device::IDriveHandle> OpenDrive(const std::string& name) override;

    // Plugging and unplugging; each fires a change notification.
    void SetAttached(size_t index, bool attached);
    // A change notification about some other device.
    void Notify();
    // The next StartMonitor refuses (as a system that denies the registration).
    void SetMonitorRefused(bool refused) { m_monitorRefused = refused; }
    // Whether the notification descriptor has something pending.
    bool NotificationPending() const;

    // Everything sent through handles, in order (identity queries excluded).
    struct Sent {
        size_t drive;
        std::array<uint8_t, 16> cdb;
        int direction;
        uint32_t length;
    };
    const std::vector<Sent>& SentCommands() const { return m_sent; }
    void ClearSent() { m_sent.clear(); }
    size_t OpenCount(size_t index) const { return m_drives.at(index).opens; }
    size_t OpenHandles(size_t index) const { return m_drives.at(index).openHandles; }

private:
    class Handle;
    struct Drive {
        CFlashEmulator* emulator;
        bool attached = true;
        bool vanishReported = false;
        size_t opens = 0;
        size_t openHandles = 0;
    };
    bool Present(size_t index) const;

    std::vector<Drive> m_drives;
    std::vector<Sent> m_sent;
    int m_eventFd = -1;
    bool m_monitorRefused = false;
};

std::unique_ptr<device::IDriveBackend> MakeEmulatorBackend(std::vector<CFlashEmulator*> drives);

}  // namespace fotolume::sim
