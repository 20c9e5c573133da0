#include "device/comm_usb.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <thread>

namespace fotolume::device {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

CCommUSB::CCommUSB(std::unique_ptr<IDriveBackend> backend, Variant variant)
    : m_backend(std::move(backend)), m_variant(variant) {}

CCommUSB::~CCommUSB() { CloseHandle(); }

void CCommUSB::SetVendorMatch(const std::string& text) { m_vendorMatch = text; }
void CCommUSB::SetProductMatch(const std::string& text) { m_productMatch = text; }

bool CCommUSB::IniUSBDevice() {
    if (!m_backend || !m_backend->StartMonitor()) return false;
    m_monitoring = true;
    m_connected = ScanDrives();
    return true;
}

bool CCommUSB::GetUSBDeviceStatus() const { return m_connected; }

uint32_t CCommUSB::TimeoutMs() const { return m_variant == Variant::Full ? 300'000 : 5'000; }

int CCommUSB::SendCmdToDPF(const uint8_t cdb[16], uint8_t* buffer, uint32_t length, int direction) {
    if (!m_connected) return kSendNoFrame;
    if (direction < kDirNone || direction > kDirFromFrame || (length > 0 && buffer == nullptr)) return kSendFailed;
    if (direction == kDirNone) length = 0;
    std::lock_guard<std::mutex> lock(m_handleLock);
    if (!m_hDevice) return kSendNoFrame;  // presence closed it between the flag test and here
    if (direction == kDirFromFrame && length > 0) std::memset(buffer, 0, length);
    CommandOutcome r = m_hDevice->Execute(cdb, 16, direction, buffer, length, TimeoutMs());
    // A command that the frame answered with a status other than GOOD did not do its work; it is a
    // failure on both variants, so that no rejected command is taken for a done one.
    return r.completed && r.status == 0 ? kSendDone : kSendFailed;
}

int CCommUSB::NotificationFd() const { return m_monitoring ? m_backend->NotificationFd() : -1; }

void CCommUSB::SetChangeCallback(std::function<void(int arrived)> callback) {
    m_changeCallback = std::move(callback);
}

bool CCommUSB::TestDevice(IDriveHandle& handle, DriveIdentity& identity) const {
    return handle.QueryIdentity(identity) && MismatchReason(identity).empty();
}

std::string CCommUSB::MismatchReason(const DriveIdentity& identity) const {
    if (!identity.usb) return "not on USB";
    if (Lower(identity.vendor).find(Lower(m_vendorMatch)) == std::string::npos)
        return "vendor \"" + identity.vendor + "\" does not contain \"" + m_vendorMatch + "\"";
    if (Lower(identity.product).find(Lower(m_productMatch)) == std::string::npos)
        return "product \"" + identity.product + "\" does not contain \"" + m_productMatch + "\"";
    return {};
}

bool CCommUSB::RetestDevice() {
    std::lock_guard<std::mutex> lock(m_handleLock);
    DriveIdentity identity;
    return m_hDevice && TestDevice(*m_hDevice, identity);
}

void CCommUSB::CloseHandle() {
    std::lock_guard<std::mutex> lock(m_handleLock);
    m_hDevice.reset();
    m_driveName.clear();
    m_identity = {};
}

bool CCommUSB::ScanDrives() {
    std::lock_guard<std::mutex> scan(m_scanLock);
    for (const std::string& name : m_backend->ListDrives()) {
        std::unique_ptr<IDriveHandle> handle = m_backend->OpenDrive(name);
        DriveIdentity identity;
        if (!handle || !TestDevice(*handle, identity)) continue;  // a foreign drive is closed here
        std::lock_guard<std::mutex> lock(m_handleLock);
        m_hDevice = std::move(handle);
        m_driveName = name;
        m_identity = identity;
        return true;
    }
    return false;
}

void CCommUSB::HandleNotification() {
    if (!m_monitoring) return;
    m_backend->ConsumeNotification();
    std::this_thread::sleep_for(m_settleDelay);
    if (RetestDevice()) return;  // the change was about another device
    CloseHandle();
    int change = -1;
    if (m_connected) {
        // One step per notification: a removal is only reported; another frame is found next time.
        m_connected = false;
        change = 0;
    } else if (ScanDrives()) {
        m_connected = true;
        change = 1;
    }
    if (change >= 0 && m_changeCallback) m_changeCallback(change);
}

CFrameClaim CCommUSB::ClaimFrame(ClaimMode mode, std::chrono::milliseconds wait) {
    const std::string name = DriveName();
    return CFrameClaim::Take(name.empty() || !m_backend ? std::string() : m_backend->ClaimPath(name), mode, wait);
}

std::string CCommUSB::DriveName() const {
    std::lock_guard<std::mutex> lock(m_handleLock);
    return m_driveName;
}

DriveIdentity CCommUSB::Identity() const {
    std::lock_guard<std::mutex> lock(m_handleLock);
    return m_identity;
}

}  // namespace fotolume::device
