// The controller's state flags and the rule that decides a request to leave the program.
#pragma once

#include "app/prompt.h"
#include "app/text_lookup.h"

namespace fotolume::app {

// The controller's state flags.
struct AppFlags {
    bool isConnected = false;
    bool isReading = false;
    bool isSending = false;
    bool isAddingBatch = false;
    bool isModified = false;
    bool isQuitPending = false;
    bool autoAdvance = true;
};

enum class LeaveDecision {
    Ignore,        // a batch add runs: the request is dropped
    Stay,          // the user was told or said No
    Close,         // leave now
    StopAndClose,  // stop the running synchronize, then leave: the frame keeps its old album or gets the new one
};

// Decides a request to leave the program (window close, Exit, Ctrl+E),
// asking the user where the state calls for it. StopAndClose also sets
// isQuitPending.
LeaveDecision DecideLeave(AppFlags& flags, IPrompt& prompt, const TextLookup& text);

}  // namespace fotolume::app
