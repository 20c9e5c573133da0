// Device commands: probe (which frame is there, and with --verbose every drive looked at) and clock
// (set the frame's clock).
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/frame_open.h"
#include "device/process_flash.h"

namespace fotolume::cli {

namespace {

std::string Hex(const device::Cdb& cdb) {
    std::string out;
    char b[4];
    for (uint8_t v : cdb) {
        std::snprintf(b, sizeof b, "%s%02x", out.empty() ? "" : " ", v);
        out += b;
    }
    return out;
}

std::string DescribeType(const device::DriveCandidate& c) {
    if (c.deviceType.empty()) return c.cdrom ? "CD/DVD" : "type unknown";
    return "type " + c.deviceType + (c.cdrom ? " (CD/DVD)" : "");
}

std::string DescribeAccess(const device::DriveCandidate& c) {
    if (!c.openTried) return "not opened";
    return c.opened ? "opens read-write" : "cannot open: " + c.openProblem;
}

// One line per drive looked at: what it is and why it is or is not the frame.
void PrintSurvey(const GlobalOptions& options, const std::vector<device::DriveCandidate>& survey) {
    std::printf("Drives looked at (the vendor text must contain \"%s\"):\n", options.vendor.c_str());
    if (survey.empty()) {
        std::printf("  none: %s\n", options.frames.empty()
                                          ? "no SCSI generic devices in /sys/class/scsi_generic (is the sg module loaded?)"
                                          : "no sockets in the frames folder");
    }
    for (const device::DriveCandidate& c : survey) {
        std::string bus = !c.identityRead ? "bus unknown" : c.identity.usb ? "USB" : "not USB";
        std::string who = c.identityRead ? ", vendor \"" + c.identity.vendor + "\", product \"" + c.identity.product + "\""
                                         : std::string();
        std::printf("  %s (%s): %s, %s%s, %s; %s: %s\n", c.name.c_str(), c.node.c_str(), DescribeType(c).c_str(),
                    bus.c_str(), who.c_str(), DescribeAccess(c).c_str(), c.accepted ? "accepted" : "refused",
                    c.verdict.c_str());
    }
}

std::string SurveyJson(const std::vector<device::DriveCandidate>& survey) {
    std::string out = "[";
    for (const device::DriveCandidate& c : survey) {
        if (out.size() > 1) out += ", ";
        out += "{\"drive\": " + JsonQuote(c.name) + ", \"node\": " + JsonQuote(c.node) +
               ", \"type\": " + (c.deviceType.empty() ? "null" : JsonQuote(c.deviceType)) +
               ", \"cdrom\": " + (c.cdrom ? "true" : "false") +
               ", \"usb\": " + (c.identityRead ? (c.identity.usb ? "true" : "false") : "null") +
               ", \"vendor\": " + (c.identityRead ? JsonQuote(c.identity.vendor) : "null") +
               ", \"product\": " + (c.identityRead ? JsonQuote(c.identity.product) : "null") +
               ", \"opens\": " + (c.openTried ? (c.opened ? "true" : "false") : "null") +
               ", \"accepted\": " + (c.accepted ? "true" : "false") + ", \"verdict\": " + JsonQuote(c.verdict) + "}";
    }
    return out + "]";
}

}  // namespace

int RunProbe(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (!args.empty()) {
        PrintError("probe takes no arguments");
        return kExitUsage;
    }
    auto link = std::make_unique<device::CCommUSB>(MakeDriveBackend(options));
    std::vector<device::DriveCandidate> survey;
    if (options.verbose) {
        // Looked at before the frame is opened: the survey opens and closes every CD/DVD drive.
        link->SetVendorMatch(options.vendor);
        survey = link->SurveyDrives();
        if (!options.json) PrintSurvey(options, survey);
    }
    if (int r = OpenFrame(options, *link); r != kExitOk) {
        if (options.verbose && options.json) std::printf("{\"drive\": null, \"candidates\": %s}\n", SurveyJson(survey).c_str());
        return r;
    }
    device::CProcessFlash flash(*link);
    std::string version, scratch;
    bool hasVersion = flash.GetFirmwareVersion(version, scratch);
    if (!hasVersion && flash.LastSendResult() != device::kSendDone) {
        PrintError("the frame did not answer the version query");
        return kExitFailed;
    }
    device::DriveIdentity id = link->Identity();
    if (options.json) {
        std::string candidates = options.verbose ? ", \"candidates\": " + SurveyJson(survey) : std::string();
        std::printf("{\"drive\": %s, \"vendor\": %s, \"product\": %s, \"firmware\": %s%s}\n",
                    JsonQuote(link->DriveName()).c_str(), JsonQuote(id.vendor).c_str(), JsonQuote(id.product).c_str(),
                    hasVersion ? JsonQuote(version).c_str() : "null", candidates.c_str());
    } else {
        std::printf("Drive:    %s\nVendor:   %s\nProduct:  %s\nFirmware: %s\n", link->DriveName().c_str(),
                    id.vendor.c_str(), id.product.c_str(), hasVersion ? version.c_str() : "(none)");
    }
    return kExitOk;
}

int RunClock(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (!args.empty()) {
        PrintError("clock takes no arguments");
        return kExitUsage;
    }
    std::unique_ptr<device::CCommUSB> link;
    if (int r = OpenFrame(options, link); r != kExitOk) return r;
    device::CProcessFlash flash(*link);
    int result = flash.SynchronizeDPFtime();
    if (result != device::kSendDone) {
        PrintError(result == device::kSendNoFrame ? "the frame went away" : "the frame refused the clock command");
        return kExitFailed;
    }
    const device::Cdb& c = flash.LastClockCdb();
    char when[40];
    std::snprintf(when, sizeof when, "%04d-%02d-%02dT%02d:%02d:%02d", c[6] * 100 + c[5], c[7], c[8], c[9], c[10], c[11]);
    int zone = c[15] - 12;
    if (options.json) {
        std::printf("{\"time\": \"%s\", \"zoneHours\": %d, \"bytes\": \"%s\"}\n", when, zone, Hex(c).c_str());
    } else {
        std::printf("Clock set to %s (UTC%+d)\nBytes: %s\n", when, zone, Hex(c).c_str());
    }
    return kExitOk;
}

}  // namespace fotolume::cli
