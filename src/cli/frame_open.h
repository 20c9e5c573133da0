// Opening "the frame" for a command: the frames folder (--frames or FOTOLUME_FRAMES) or the system's
// drives, matched by the --vendor text, exactly as the programs' presence scan finds it.
#pragma once

#include <memory>

#include "cli/commands.h"
#include "device/comm_usb.h"
#include "device/drive_backend.h"

namespace fotolume::cli {

// The drive back-end the options select.
std::unique_ptr<device::IDriveBackend> MakeDriveBackend(const GlobalOptions& options);

// Starts presence on link with the options' vendor match. kExitOk when a frame is open; otherwise
// prints one line saying why and returns kExitNoFrame.
int OpenFrame(const GlobalOptions& options, device::CCommUSB& link);

// A new link over MakeDriveBackend, opened as above.
int OpenFrame(const GlobalOptions& options, std::unique_ptr<device::CCommUSB>& link,
              device::Variant variant = device::Variant::Full);

// Text quoted as a JSON string.
std::string JsonQuote(const std::string& text);

}  // namespace fotolume::cli
