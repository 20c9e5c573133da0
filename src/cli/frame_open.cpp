#include "cli/frame_open.h"

#include <cstdio>

#include "device/backend_select.h"

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

std::string JsonQuote(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char u[8];
            std::snprintf(u, sizeof u, "\\u%04x", c);
            out += u;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace fotolume::cli
