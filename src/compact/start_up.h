// MacFotolume's start-up: folders, texts, wiring, the device link and the first look for a frame.
#pragma once

#include <QStringList>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "device/drive_backend.h"

namespace fotolume::compact {

class CMacWindow;

struct StartOptions {
    // Where drives come from; nullptr: the frames folder (framesFolder, else FOTOLUME_FRAMES) or the
    // system's drives.
    std::unique_ptr<device::IDriveBackend> backend;
    std::string framesFolder;
    // The file browser's volumes; unset: the mounted volumes.
    std::optional<QStringList> volumes;
    // Holds Language.ini; empty: beside the program, else the installed share folder.
    std::filesystem::path resourceFolder;
    std::chrono::milliseconds settleDelay{50};
};

// Runs start-up with the window built. False, with error set, when the program cannot run at all
// (no private cache folder). A device link that cannot watch for frames is reported in warning and the
// window runs without a frame.
bool StartCompact(CMacWindow& window, StartOptions options, std::string& error, std::string& warning);

}  // namespace fotolume::compact
