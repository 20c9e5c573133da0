// Device commands: probe (which frame is there) and clock (set the frame's clock).
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "device/process_flash.h"
#include "frame_open.h"

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

}  // namespace

int RunProbe(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (!args.empty()) {
        PrintError("probe takes no arguments");
        return kExitUsage;
    }
    std::unique_ptr<device::CCommUSB> link;
    if (int r = OpenFrame(options, link); r != kExitOk) return r;
    device::CProcessFlash flash(*link);
    std::string version, scratch;
    bool hasVersion = flash.GetFirmwareVersion(version, scratch);
    if (!hasVersion && flash.LastSendResult() != device::kSendDone) {
        PrintError("the frame did not answer the version query");
        return kExitFailed;
    }
    device::DriveIdentity id = link->Identity();
    if (options.json) {
        std::printf("{\"drive\": %s, \"vendor\": %s, \"product\": %s, \"firmware\": %s}\n",
                    JsonQuote(link->DriveName()).c_str(), JsonQuote(id.vendor).c_str(), JsonQuote(id.product).c_str(),
                    hasVersion ? JsonQuote(version).c_str() : "null");
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
