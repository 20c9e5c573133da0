#include "sim/sim_args.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace fotolume::sim {

bool ParseNumber(const std::string& text, uint64_t max, uint64_t& value) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0) return false;
    std::string suffix(end);
    uint64_t scale = 1;
    if (suffix == "K" || suffix == "k") scale = 1024;
    else if (suffix == "M" || suffix == "m") scale = 1024 * 1024;
    else if (!suffix.empty()) return false;
    if (v > max / scale) return false;
    value = v * scale;
    return true;
}

bool ParsePanel(const std::string& text, uint16_t& width, uint16_t& height) {
    size_t x = text.find('x');
    uint64_t w = 0, h = 0;
    if (x == std::string::npos || !ParseNumber(text.substr(0, x), 0xFFFF, w) ||
        !ParseNumber(text.substr(x + 1), 0xFFFF, h) || w == 0 || h == 0)
        return false;
    width = static_cast<uint16_t>(w);
    height = static_cast<uint16_t>(h);
    return true;
}

namespace {

// Walks "--name value" pairs and flags; calls take(name, value) for each.
template <typename Take>
std::string Walk(const std::vector<std::string>& args, const std::vector<std::string>& flags, std::string& image,
                 Take take) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.rfind("--", 0) != 0) {
            if (!image.empty()) return "unexpected argument '" + a + "'";
            image = a;
            continue;
        }
        bool flag = false;
        for (const auto& f : flags) flag |= f == a;
        std::string value;
        if (!flag) {
            if (i + 1 >= args.size()) return "option " + a + " needs a value";
            value = args[++i];
        }
        std::string error = take(a, value);
        if (!error.empty()) return error;
    }
    if (image.empty()) return "no image file given";
    return {};
}

std::string Bad(const std::string& option, const std::string& value) {
    return "bad value '" + value + "' for " + option;
}

}  // namespace

std::string ParseCreateArgs(const std::vector<std::string>& args, CreateArgs& out) {
    out = {};
    NewFrame& f = out.frame;
    std::string error = Walk(args, {"--program-flag", "--dpfh"}, out.image,
                             [&f, &out](const std::string& o, const std::string& v) -> std::string {
        uint64_t n = 0;
        if (o == "--program-flag") f.programFlag = true;
        else if (o == "--dpfh") f.dpfh = true;
        else if (o == "--panel") {
            if (!ParsePanel(v, f.width, f.height)) return Bad(o, v);
        } else if (o == "--flash-size" || o == "--list-address") {
            if (!ParseNumber(v, 0xFFFFFFFF, n)) return Bad(o, v);
            (o == "--flash-size" ? f.flashSize : f.listAddress) = static_cast<uint32_t>(n);
        } else if (o == "--max-pictures") {
            if (!ParseNumber(v, 0xFFFF, n)) return Bad(o, v);
            f.maxPictures = static_cast<uint16_t>(n);
        } else if (o == "--demo") {
            if (!ParseNumber(v, kMaxDemoPictures, n)) return Bad(o, v);
            out.demo = static_cast<int>(n);
        } else if (o == "--erase-opcode" || o == "--y-value" || o == "--quality") {
            if (!ParseNumber(v, 0xFF, n)) return Bad(o, v);
            (o == "--erase-opcode" ? f.eraseOpcode : o == "--y-value" ? f.yValue : f.quality) = static_cast<uint8_t>(n);
        } else {
            return "unknown option " + o;
        }
        return {};
    });
    if (!error.empty()) return error;
    return CheckNewFrame(f);
}

std::string ParseServeArgs(const std::vector<std::string>& args, ServeArgs& out) {
    out = {};
    std::string error = Walk(args, {"--real-time"}, out.image,
                             [&out](const std::string& o, const std::string& v) -> std::string {
        uint64_t n = 0;
        if (o == "--real-time") out.realTime = true;
        else if (o == "--socket") out.socket = v;
        else if (o == "--vendor") out.options.vendor = v;
        else if (o == "--product") out.options.product = v;
        else if (o == "--firmware-version") out.options.firmwareVersion = v;
        else if (o == "--fail-command" || o == "--fail-from" || o == "--corrupt-read" || o == "--bad-checksum" ||
                 o == "--vanish-after") {
            if (!ParseNumber(v, UINT64_MAX, n)) return Bad(o, v);
            (o == "--fail-command"   ? out.faults.failCommand
             : o == "--fail-from"    ? out.faults.failFrom
             : o == "--corrupt-read" ? out.faults.corruptRead
             : o == "--bad-checksum" ? out.faults.badChecksum
                                     : out.faults.vanishAfter) = n;
        } else if (o == "--busy-polls") {
            if (!ParseNumber(v, 0xFFFFFFFF, n)) return Bad(o, v);
            out.faults.busyPolls = static_cast<uint32_t>(n);
        } else {
            return "unknown option " + o;
        }
        return {};
    });
    if (!error.empty()) return error;
    if (out.socket.empty()) return "serve needs --socket PATH";
    return {};
}

}  // namespace fotolume::sim
