// The command table: each command group adds its rows here.
#include "commands.h"

namespace fotolume::cli {

// cmd_device.cpp
int RunProbe(const GlobalOptions& options, const std::vector<std::string>& args);
int RunClock(const GlobalOptions& options, const std::vector<std::string>& args);

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> table = {
        {"probe", RunProbe, "", "find the frame; print its drive, vendor, product and firmware version"},
        {"clock", RunClock, "", "set the frame's clock to this computer's local time; print the bytes sent"},
    };
    return table;
}

}  // namespace fotolume::cli
