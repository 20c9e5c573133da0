// fotolume-cli: the command table and what every command receives.
#pragma once

#include <string>
#include <vector>

namespace fotolume::cli {

// Exit codes of every command.
enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 1,
    kExitNoFrame = 2,
    kExitFailed = 3,     // a command failed or the frame went away
    kExitRefused = 4,    // input refused (a stream that does not decode, a picture skipped)
};

// Options that come before the command name.
struct GlobalOptions {
    std::string frames;               // frames folder; empty: FOTOLUME_FRAMES, else the system's devices
    std::string vendor = "zentaris";  // vendor match string
    bool json = false;
    bool verbose = false;
    bool discardRecovery = false;     // an edit may write over an interrupted write's album
    int waitSeconds = 5;              // how long to wait for another program that holds the frame
};

using CommandFn = int (*)(const GlobalOptions&, const std::vector<std::string>& args);

struct Command {
    const char* name;
    CommandFn run;
    const char* usage;    // arguments after the name
    const char* summary;  // one line for --help
};

// One error line on standard error, "fotolume-cli: <text>".
void PrintError(const std::string& text);

// Every command; defined in the cmd_*.cpp files.
const std::vector<Command>& AllCommands();

}  // namespace fotolume::cli
