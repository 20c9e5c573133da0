#include "cli/frame_open.h"

#include "device/backend_select.h"
#include "device/command_trace.h"

namespace fotolume::cli {

std::unique_ptr<device::IDriveBackend> MakeDriveBackend(const GlobalOptions& options) {
    return device::ChooseDriveBackend(options.frames);
}

int OpenFrame(const GlobalOptions& options, device::CCommUSB& link) {
    std::string folder;
    device::ChooseDriveBackend(options.frames, &folder);  // only to name the place in messages
    link.SetVendorMatch(options.vendor);
    if (!link.IniUSBDevice()) {
        PrintError(folder.empty() ? "cannot watch the system's drives (udev unavailable); no frame found"
                                  : "cannot watch the frames folder " + folder + "; no frame found");
        return kExitNoFrame;
    }
    if (!link.GetUSBDeviceStatus()) {
        std::string problem = link.ScanProblem();
        PrintError("no frame found: no " + std::string(folder.empty() ? "USB CD-ROM drive" : "drive in " + folder) +
                   " whose vendor text contains \"" + options.vendor + "\"" +
                   (problem.empty() ? std::string() : " (" + problem + ")"));
        return kExitNoFrame;
    }
    return kExitOk;
}

int OpenFrame(const GlobalOptions& options, std::unique_ptr<device::CCommUSB>& link, device::Variant variant) {
    link = std::make_unique<device::CCommUSB>(MakeDriveBackend(options), variant);
    return OpenFrame(options, *link);
}

std::string JsonQuote(const std::string& text) { return device::TraceJsonString(text); }

}  // namespace fotolume::cli
