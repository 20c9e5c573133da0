// The controller's state flags: what the window is doing, read by its commands and the leave rule.
#pragma once

namespace fotolume::app {

struct AppFlags {
    bool isConnected = false;
    bool isReading = false;
    bool isSending = false;
    bool isAddingBatch = false;
    bool isModified = false;
    bool isQuitPending = false;
    bool autoAdvance = true;
};

}  // namespace fotolume::app
