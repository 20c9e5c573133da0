// The rule that decides a request to leave the program.
#pragma once

#include "app/app_flags.h"
#include "app/prompt.h"
#include "app/text_lookup.h"

namespace fotolume::app {

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
