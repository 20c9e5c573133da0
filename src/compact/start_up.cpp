#include "compact/start_up.h"

#include <filesystem>
#include <system_error>

#include "compact/compact_controller.h"
#include "compact/compact_globals.h"
#include "compact/file_browser.h"
#include "compact/mac_window.h"
#include "config/folders.h"
#include "device/backend_select.h"
#include "device/comm_usb.h"

namespace fotolume::compact {

namespace fs = std::filesystem;

bool StartCompact(CMacWindow& window, StartOptions options, std::string& error, std::string& warning) {
    ResetGlobals();
    gmyApppath = config::ExecutableFolder().string();
    gmyResousepath =
        (options.resourceFolder.empty() ? config::CompactResourceFolder() : options.resourceFolder).string();
    const fs::path work = config::PrivateCacheFolder("macfotolume", &error);
    if (work.empty()) return false;
    gmyWorkpath = work.string();
    for (const char* folder : {"data", "Edata"}) {
        std::error_code ec;
        fs::create_directories(work / folder, ec);
        if (ec) {
            error = "cannot create " + (work / folder).string() + ": " + ec.message();
            return false;
        }
    }
    // The records of interrupted downloads live where Fotolume and fotolume-cli keep theirs, so that a
    // frame cut off by one program can be restored by another.
    std::string problem;
    gmyRecoveryFolder = config::PrivateCacheFolder("fotolume", &problem);
    if (gmyRecoveryFolder.empty()) ReportProblem("no recovery records can be kept: " + problem);
    iniFile = std::make_unique<config::CCompactLanguage>(fs::path(gmyResousepath) / config::kCompactLanguageFileName);
    window.ApplyTexts();
    if (!window.AttachHandlers()) {
        // Without its controls the window only shows itself.
        warning = "the window lacks some of its controls";
        return true;
    }
    SetControlPanlEnable(false);
    SelPicArrayRef.clear();
    const QStringList volumes = options.volumes ? *options.volumes : ComputerVolumes();

    std::string folder;
    std::unique_ptr<device::IDriveBackend> backend =
        options.backend ? std::move(options.backend) : device::ChooseDriveBackend(options.framesFolder, &folder);
    device = std::make_unique<device::CCommUSB>(std::move(backend), device::Variant::Compact);
    device->SetSettleDelay(options.settleDelay);
    device->SetChangeCallback([](int arrived) {
        if (arrived) {
            StartFlashOnline();
        } else {
            SetFlashOffline();
        }
    });
    MyJPG = std::make_unique<CPictureConverter>();
    if (!device->IniUSBDevice()) {
        window.ListVolumes(volumes);
        warning = folder.empty() ? "cannot watch the system's drives (udev unavailable)"
                                 : "cannot watch the frames folder " + folder;
        return true;
    }
    // The frame's disc is mounted like any other; it is no place to take pictures from.
    window.ListVolumes(volumes, BlockDevicesOfDrive(QString::fromStdString(device->DriveName())));
    window.WatchDevice(device->NotificationFd());
    UpdateInfo();
    if (device->GetUSBDeviceStatus()) {
        StartFlashOnline();
    } else {
        SetNotes(LookupText("DEVICE_NOT_ONLINE_TIPS", "Device Not Online!"));
    }
    return true;
}

}  // namespace fotolume::compact
