// fotolume-utf16: turns a UTF-8 INI source into the UTF-16 little-endian file with byte order mark and
// CR LF lines that the programs read.
//   fotolume-utf16 SOURCE OUTPUT
// Lines starting with "#" are notes for translators and are left out. The two characters "\n" inside a
// value stand for a line feed (a value cannot hold CR LF, which ends a line).
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Strict decoding: a source that is not valid UTF-8 is a mistake to report, not to repair.
bool DecodeUtf8(const std::string& line, std::u32string& out) {
    out.clear();
    for (std::size_t i = 0; i < line.size();) {
        const auto lead = static_cast<std::uint8_t>(line[i]);
        int extra = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            cp = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            return false;
        }
        if (extra > 0 && i + static_cast<std::size_t>(extra) >= line.size()) {
            return false;
        }
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<std::uint8_t>(line[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        const char32_t minimum = extra == 1 ? 0x80 : extra == 2 ? 0x800 : extra == 3 ? 0x10000 : 0;
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        out.push_back(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

void PutUnit(std::vector<std::uint8_t>& out, char32_t unit) {
    out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    out.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
}

void PutCodePoint(std::vector<std::uint8_t>& out, char32_t cp) {
    if (cp < 0x10000) {
        PutUnit(out, cp);
    } else {
        cp -= 0x10000;
        PutUnit(out, 0xD800 + (cp >> 10));
        PutUnit(out, 0xDC00 + (cp & 0x3FF));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: fotolume-utf16 SOURCE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "fotolume-utf16: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.erase(0, 3);
    }

    std::vector<std::uint8_t> out = {0xFF, 0xFE};
    std::size_t start = 0;
    int lineNumber = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.starts_with("#")) {
            continue;
        }
        std::u32string units;
        if (!DecodeUtf8(line, units)) {
            std::cerr << argv[1] << ":" << lineNumber << ": not valid UTF-8\n";
            return 1;
        }
        for (std::size_t i = 0; i < units.size(); ++i) {
            if (units[i] == U'\r') {
                std::cerr << argv[1] << ":" << lineNumber << ": a carriage return inside a line\n";
                return 1;
            }
            if (units[i] == U'\\' && i + 1 < units.size() && units[i + 1] == U'n') {
                PutUnit(out, U'\n');
                ++i;
            } else {
                PutCodePoint(out, units[i]);
            }
        }
        PutUnit(out, U'\r');
        PutUnit(out, U'\n');
    }

    const std::string temp = std::string(argv[2]) + ".tmp";
    std::FILE* file = std::fopen(temp.c_str(), "wb");
    if (file == nullptr) {
        std::cerr << "fotolume-utf16: cannot write " << temp << "\n";
        return 1;
    }
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    if (std::fclose(file) != 0 || !written || std::rename(temp.c_str(), argv[2]) != 0) {
        std::remove(temp.c_str());
        std::cerr << "fotolume-utf16: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
