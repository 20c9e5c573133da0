#include "prompt.h"

namespace fotolume::app {

const char* AnswerName(IPrompt::Answer answer)
{
    switch (answer) {
    case IPrompt::Answer::Yes:
        return "Yes";
    case IPrompt::Answer::No:
        return "No";
    case IPrompt::Answer::Cancel:
        return "Cancel";
    }
    return "?";
}

} // namespace fotolume::app
