// CCommUSB: the device link. Sends vendor commands to the open frame and keeps track of which frame is
// attached, one frame at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/device_types.h"
#include "device/drive_backend.h"
#include "device/frame_claim.h"

namespace fotolume::device {

class CCommUSB {
public:
    // backend: which drives exist and how to open them (SG_IO, frames folder, or in-process emulators).
    explicit CCommUSB(std::unique_ptr<IDriveBackend> backend, Variant variant = Variant::Full);
    virtual ~CCommUSB();
    CCommUSB(const CCommUSB&) = delete;
    CCommUSB& operator=(const CCommUSB&) = delete;

    // Vendor text a frame's drive must contain (compared in lower case). Default "zentaris".
    void SetVendorMatch(const std::string& text);
    // Product text likewise; empty matches every product.
    void SetProductMatch(const std::string& text);

    // Starts presence monitoring and scans once; no callback for that scan (a program asks
    // GetUSBDeviceStatus afterwards; the compact program starts its online handling from that). False
    // when the notification registration is refused (then nothing is scanned).
    bool IniUSBDevice();
    // True while a matching frame is open.
    bool GetUSBDeviceStatus() const;

    // One command: 0 done, 1 failed, 2 no frame (nothing sent). For direction 2 the buffer is
    // zero-filled first, so a short transfer leaves zeros.
    int SendCmdToDPF(const uint8_t cdb[16], uint8_t* buffer, uint32_t length, int direction);

    // Readable when the system reports a device change; the event loop then calls HandleNotification.
    int NotificationFd() const;
    // One presence step: settle, retest the open frame, report a removal or scan for an arrival.
    void HandleNotification();
    // "USBDEVICECHANGE": called with 1 when a frame arrived, 0 when it is gone.
    void SetChangeCallback(std::function<void(int arrived)> callback);

    // Asks the open drive whether it is still the frame, without changing any state. Used by long
    // waits to notice a removal before the event loop does.
    bool RetestDevice();

    // Every drive the back-end sees, with the verdict the presence scan would give it, in scan order.
    // For diagnostics; it opens and closes drives, so call it while no frame is open.
    std::vector<DriveCandidate> SurveyDrives();

    // Why the last scan could not open some drive (for example a permission), or empty.
    std::string ScanProblem() const { return m_backend ? m_backend->LastProblem() : std::string(); }
    // Claims the open frame for this process (frame_claim.h), waiting up to `wait` for another program
    // to let go. Held without a lock when no frame is open.
    CFrameClaim ClaimFrame(ClaimMode mode, std::chrono::milliseconds wait = kClaimWait);

    // Name and identity of the open frame's drive (empty when none).
    std::string DriveName() const;
    DriveIdentity Identity() const;

    Variant GetVariant() const { return m_variant; }
    // Pass-through timeout: 300 s, 5 s on the compact variant.
    uint32_t TimeoutMs() const;
    // Wait after a change notification before looking at the drives (the system needs it to settle).
    void SetSettleDelay(std::chrono::milliseconds delay) { m_settleDelay = delay; }

private:
    bool ScanDrives();
    bool TestDevice(IDriveHandle& handle, DriveIdentity& identity) const;
    // Why identity is not a frame's, or empty when it is.
    std::string MismatchReason(const DriveIdentity& identity) const;
    void CloseHandle();

    std::unique_ptr<IDriveBackend> m_backend;
    const Variant m_variant;
    std::string m_vendorMatch = "zentaris";
    std::string m_productMatch;
    std::chrono::milliseconds m_settleDelay{50};
    std::function<void(int)> m_changeCallback;
    bool m_monitoring = false;

    std::mutex m_scanLock;              // held for a whole drive scan
    // The open drive. Commands come from one worker at a time; the lock is there because presence
    // (window thread) retests and closes the same handle, and a socket drive must never see two
    // requests interleaved.
    mutable std::mutex m_handleLock;
    std::unique_ptr<IDriveHandle> m_hDevice;
    std::string m_driveName;
    DriveIdentity m_identity;
    std::atomic<bool> m_connected{false};
};

}  // namespace fotolume::device
