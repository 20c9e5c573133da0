// Picture conversion commands: encode a BMP into a frame picture stream or JFIF file, decode a stream.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "codec/input_file.h"
#include "codec/picture_files.h"
#include "codec/stream_decoder.h"

namespace fotolume::cli {

namespace {

bool ParseInt(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 6) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high) return false;
    value = v;
    return true;
}

bool ParseSize(const std::string& text, int& width, int& height) {
    const auto x = text.find('x');
    return x != std::string::npos && ParseInt(text.substr(0, x), 1, 65535, width) &&
           ParseInt(text.substr(x + 1), 1, 65535, height);
}

struct CodecArgs {
    std::vector<std::string> paths;
    int width = 0;
    int height = 0;
    int quality = 90;
    int mode = 3;
    bool jfif = false;
};

// Parses the two paths and the options; prints the error and returns false on a usage error.
bool ParseCodecArgs(const std::vector<std::string>& args, bool encoding, CodecArgs& out) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--size" && hasValue) {
            if (!ParseSize(args[++i], out.width, out.height)) {
                PrintError("--size wants WIDTHxHEIGHT, each 1 to 65535, not '" + args[i] + "'");
                return false;
            }
        } else if (encoding && a == "--quality" && hasValue) {
            if (!ParseInt(args[++i], 0, 65535, out.quality)) {
                PrintError("--quality wants a number from 0 to 65535, not '" + args[i] + "'");
                return false;
            }
        } else if (encoding && a == "--mode" && hasValue) {
            if (!ParseInt(args[++i], 0, 15, out.mode)) {
                PrintError("--mode wants a number from 0 to 15, not '" + args[i] + "'");
                return false;
            }
        } else if (encoding && a == "--jfif") {
            out.jfif = true;
        } else if (a.rfind("--", 0) == 0) {
            PrintError("unknown or incomplete option " + a);
            return false;
        } else {
            out.paths.push_back(a);
        }
    }
    if (out.paths.size() != 2) {
        PrintError(encoding ? "encode wants IN.bmp OUT" : "decode wants IN OUT.bmp");
        return false;
    }
    if (out.width == 0) {
        PrintError("--size WIDTHxHEIGHT is required (the panel size)");
        return false;
    }
    return true;
}

// A FIFO, a device or a folder is refused at once with one line, instead of waiting on it.
bool UsableInput(const std::string& path) {
    std::string problem;
    const int fd = codec::OpenInputFile(path, &problem);
    if (fd < 0) {
        PrintError(path + ": " + problem);
        return false;
    }
    ::close(fd);
    return true;
}

}  // namespace

int RunEncode(const GlobalOptions& options, const std::vector<std::string>& args) {
    CodecArgs a;
    if (!ParseCodecArgs(args, true, a)) return kExitUsage;
    if (!UsableInput(a.paths[0])) return kExitFailed;
    bool endedEarly = false;
    const std::size_t size = codec::CKv318Encoder::EnCode(a.paths[0], a.paths[1], a.width, a.height, a.quality,
                                                          a.mode, a.jfif, &endedEarly);
    if (size == 0) {
        PrintError("could not encode " + a.paths[0] + " into " + a.paths[1] +
                   " (unreadable picture or destination not writable)");
        return kExitFailed;
    }
    if (endedEarly) PrintError("warning: " + a.paths[0] + " ends early; its missing part is black");
    if (options.json) std::printf("{\"bytes\": %zu}\n", size);
    else std::printf("%zu\n", size);
    return kExitOk;
}

int RunDecode(const GlobalOptions& options, const std::vector<std::string>& args) {
    CodecArgs a;
    if (!ParseCodecArgs(args, false, a)) return kExitUsage;
    if (!UsableInput(a.paths[0])) return kExitRefused;
    codec::JPGEncode decoder;
    if (options.verbose) decoder.SetSamplingObserver([](const char* name) { std::printf("%s\n", name); });
    if (!decoder.DecodeMyPicture(a.paths[0], a.paths[1], a.width, a.height)) {
        PrintError("refused " + a.paths[0] + ": unreadable, not a " + std::to_string(a.width) + "x" +
                   std::to_string(a.height) + " picture stream, or bad tables");
        return kExitRefused;
    }
    if (!decoder.BmpWritten()) {
        PrintError("cannot write " + a.paths[1] + " (its folder is missing or not writable, or the disk is full)");
        return kExitFailed;
    }
    if (decoder.Damaged()) PrintError("warning: " + a.paths[0] + " is damaged; the undecodable part is black");
    return kExitOk;
}

}  // namespace fotolume::cli
