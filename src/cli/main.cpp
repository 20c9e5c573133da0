// fotolume-cli: every album operation, scriptable.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "commands.h"
#include "device/traced_backend.h"

namespace fotolume::cli {

void PrintError(const std::string& text) { std::fprintf(stderr, "fotolume-cli: %s\n", text.c_str()); }

namespace {

void PrintHelp(FILE* out) {
    std::fprintf(out,
                 "Usage: fotolume-cli [--frames DIR] [--vendor TEXT] [--json] [--verbose] [--trace FILE]\n"
                 "                    [--discard-recovery] COMMAND [ARGS...]\n\n"
                 "Commands:\n");
    for (const Command& c : AllCommands()) {
        std::fprintf(out, "  %-10s %s\n      %s\n", c.name, c.usage, c.summary);
    }
    std::fprintf(out,
                 "\nWithout --frames, FOTOLUME_FRAMES names the frames folder; without either the system's\n"
                 "drives are scanned. --trace FILE appends every command sent to a drive to FILE, one JSON\n"
                 "line each.\nWhile a frame's last write waits to be recovered, add, delete and colors refuse;\n"
                 "--discard-recovery gives up that write's album and goes on.\n"
                 "Exit codes: 0 done, 1 usage error, 2 no frame found, 3 a command failed or the frame went away,\n"
                 "4 input refused, 128 + N stopped by signal N (the frame then holds a whole album).\n");
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
                if (args[k] == "--json") options.json = true;
                else if (args[k] == "--verbose" || args[k] == "-v") options.verbose = true;
                else if (args[k] == "--discard-recovery") options.discardRecovery = true;
                else if ((args[k] == "--frames" || args[k] == "--vendor") && k + 1 < args.size())
                    (args[k] == "--frames" ? options.frames : options.vendor) = args[++k];
                else rest.push_back(args[k]);
            }
            return c.run(options, rest);
        }
    }
    PrintError("unknown command '" + name + "' (see --help)");
    return kExitUsage;
}
