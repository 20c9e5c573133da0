// The survey behind "probe --verbose": every drive a scan looks at, and why it is or is not the frame.

#include "device/comm_usb.h"
#include "device/drive_backend.h"

namespace fotolume::device {

std::vector<DriveCandidate> IDriveBackend::SurveyDrives() {
    // A back-end that lists only CD/DVD class drives: open each to read who it is.
    std::vector<DriveCandidate> found;
    for (const std::string& name : ListDrives()) {
        DriveCandidate c;
        c.name = c.node = name;
        c.cdrom = true;
        c.openTried = true;
        std::unique_ptr<IDriveHandle> handle = OpenDrive(name);
        c.opened = handle != nullptr;
        if (!handle) {
            c.openProblem = LastProblem();
            if (c.openProblem.empty()) c.openProblem = "cannot be opened";
        } else {
            c.identityRead = handle->QueryIdentity(c.identity);
        }
        found.push_back(std::move(c));
    }
    return found;
}

std::vector<DriveCandidate> CCommUSB::SurveyDrives() {
    std::vector<DriveCandidate> found;
    if (!m_backend) return found;
    std::lock_guard<std::mutex> scan(m_scanLock);
    found = m_backend->SurveyDrives();
    bool frameSeen = false;
    for (DriveCandidate& c : found) {
        // The same tests in the same order as the presence scan.
        if (!c.cdrom) {
            c.verdict = "not a CD/DVD drive";
        } else if (!c.opened) {
            c.verdict = "cannot open " + c.node + (c.openProblem.empty() ? "" : ": " + c.openProblem);
        } else if (!c.identityRead) {
            c.verdict = "did not say who it is (gone?)";
        } else if (std::string why = MismatchReason(c.identity); !why.empty()) {
            c.verdict = why;
        } else if (frameSeen) {
            c.verdict = "a frame too, but the first one found is used";
        } else {
            c.accepted = true;
            c.verdict = "the frame";
            frameSeen = true;
        }
    }
    return found;
}

}  // namespace fotolume::device
