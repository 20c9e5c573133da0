// Which drives a program looks at: a frames folder when one is named (argument, else FOTOLUME_FRAMES),
// else the system's SCSI generic devices; traced when the process has a command trace.
#pragma once

#include <memory>
#include <string>

#include "device/drive_backend.h"

namespace fotolume::device {

// folder: the --frames argument (empty: FOTOLUME_FRAMES, then the system). usedFolder receives the
// frames folder chosen, or stays empty for the system's devices.
std::unique_ptr<IDriveBackend> ChooseDriveBackend(const std::string& folder, std::string* usedFolder = nullptr);

}  // namespace fotolume::device
