// fotolume-cli: every album operation, scriptable.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "device/traced_backend.h"

namespace fotolume::cli {

void PrintError(const std::string& text) { std::fprintf(stderr, "fotolume-cli: %s\n", text.c_str()); }

namespace {

void PrintHelp(FILE* out) {
    std::fprintf(out,
                 "Usage: fotolume-cli [--frames DIR] [--vendor TEXT] [--wait SECONDS] [--json] [--verbose]\n"
                 "                    [--trace FILE] [--discard-recovery] COMMAND [ARGS...]\n\n"
                 "Commands:\n");
    for (const Command& c : AllCommands()) {
        std::fprintf(out, "  %-10s %s\n      %s\n", c.name, c.usage, c.summary);
    }
    std::fprintf(out,
                 "\nWithout --frames, FOTOLUME_FRAMES names the frames folder; without either the system's\n"
                 "drives are scanned. While another program writes the frame, or reads it while this one would\n"
                 "write, a command waits --wait seconds (5 unless given) and then gives up.\n"
                 "--trace FILE appends every command sent to a drive to FILE, one JSON line each.\n"
                 "While a frame's last write waits to be recovered, add, delete and colors refuse;\n"
                 "--discard-recovery gives up that write's album and goes on.\n"
                 "Exit codes: 0 done, 1 usage error, 2 no frame found, 3 a command failed or the frame went away,\n"
                 "4 input refused, 128 + N stopped by signal N (the frame then holds a whole album).\n");
}

// --wait SECONDS: a whole number from 0 to 3600.
bool ParseWait(const std::string& text, GlobalOptions& options) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const int seconds = std::stoi(text);
    if (seconds > 3600) return false;
    options.waitSeconds = seconds;
    return true;
}

}  // namespace
}  // namespace fotolume::cli

int main(int argc, char** argv) {
    using namespace fotolume::cli;
    std::string traceError;
    if (!fotolume::device::StartCommandTrace(argc, argv, "fotolume-cli", nullptr, traceError)) {
        PrintError(traceError);
        return kExitUsage;
    }
    GlobalOptions options;
    if (const char* env = std::getenv("FOTOLUME_FRAMES")) options.frames = env;
    int i = 1;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            PrintHelp(stdout);
            return kExitOk;
        } else if (a == "--json") {
            options.json = true;
        } else if (a == "--verbose" || a == "-v") {
            options.verbose = true;
        } else if (a == "--discard-recovery") {
            options.discardRecovery = true;
        } else if ((a == "--frames" || a == "--vendor") && i + 1 < argc) {
            (a == "--frames" ? options.frames : options.vendor) = argv[++i];
        } else if (a == "--wait" && i + 1 < argc) {
            if (!ParseWait(argv[++i], options)) {
                PrintError("--wait wants whole seconds from 0 to 3600, not '" + std::string(argv[i]) + "'");
                return kExitUsage;
            }
        } else if (a.rfind("--", 0) == 0) {
            PrintError("unknown option " + a + " (see --help)");
            return kExitUsage;
        } else {
            break;
        }
    }
    if (i >= argc) {
        PrintHelp(stderr);
        return kExitUsage;
    }
    std::string name = argv[i++];
    std::vector<std::string> args(argv + i, argv + argc);
    for (const Command& c : AllCommands()) {
        if (name == c.name) {
            // Global options may also follow the command name.
            std::vector<std::string> rest;
            for (size_t k = 0; k < args.size(); ++k) {
                const bool hasValue = k + 1 < args.size();
                if (args[k] == "--json") {
                    options.json = true;
                } else if (args[k] == "--verbose" || args[k] == "-v") {
                    options.verbose = true;
                } else if (args[k] == "--discard-recovery") {
                    options.discardRecovery = true;
                } else if ((args[k] == "--frames" || args[k] == "--vendor") && hasValue) {
                    (args[k] == "--frames" ? options.frames : options.vendor) = args[++k];
                } else if (args[k] == "--wait" && hasValue) {
                    if (!ParseWait(args[++k], options)) {
                        PrintError("--wait wants whole seconds from 0 to 3600, not '" + args[k] + "'");
                        return kExitUsage;
                    }
                } else {
                    rest.push_back(args[k]);
                }
            }
            return c.run(options, rest);
        }
    }
    PrintError("unknown command '" + name + "' (see --help)");
    return kExitUsage;
}
