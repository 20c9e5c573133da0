#include "device/backend_select.h"

#include <cstdlib>

#include "device/frames_backend.h"
#include "device/sg_backend.h"
#include "device/traced_backend.h"

namespace fotolume::device {

std::unique_ptr<IDriveBackend> ChooseDriveBackend(const std::string& folder, std::string* usedFolder) {
    std::string chosen = folder;
    if (chosen.empty()) {
        if (const char* env = std::getenv("FOTOLUME_FRAMES")) chosen = env;
    }
    if (usedFolder) *usedFolder = chosen;
    if (!chosen.empty()) return TraceIfAsked(std::make_unique<CFramesBackend>(chosen));
    return TraceIfAsked(std::make_unique<CSgBackend>());
}

}  // namespace fotolume::device
