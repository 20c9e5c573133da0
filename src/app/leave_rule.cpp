#include "app/leave_rule.h"

namespace fotolume::app {

LeaveDecision DecideLeave(AppFlags& flags, IPrompt& prompt, const TextLookup& text) {
    if (flags.isAddingBatch) return LeaveDecision::Ignore;
    if (flags.isReading) {
        prompt.Message(text("SENDING_TIPS", "Sending data, Please operate after sending finished!"));
        return LeaveDecision::Stay;
    }
    if (flags.isSending) {
        // A stop ends with a whole album on the frame, never half of one; the question says which.
        const QString question = text("STOP_TIPS_1", "Stop download and quit?") + QLatin1Char('\n') +
                                 text("STOP_TIPS_2",
                                      "The DPF keeps its old album, or the new one if it is "
                                      "already written.");
        if (!prompt.AskYesNo(question)) return LeaveDecision::Stay;
        flags.isQuitPending = true;
        return LeaveDecision::StopAndClose;
    }
    const QString question = flags.isModified
                                 ? text("EXIT_TIPS_1",
                                        "The pictures in the Preview Album are not synchronized with the Watch. "
                                        "Do you really want to quit (and NOT download)?")
                                 : text("EXIT_TIPS_2", "Really want to quit?");
    return prompt.AskYesNo(question) ? LeaveDecision::Close : LeaveDecision::Stay;
}

}  // namespace fotolume::app
