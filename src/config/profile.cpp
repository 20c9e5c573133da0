#include "config/profile.h"

#include <climits>
#include <cstdint>

#include "config/ini_file.h"
#include "config/unicode_file.h"
#include "config/utf.h"

namespace fotolume::config {

namespace {

// The raw value, or nothing when the lookup found no key.
bool LookUp(const std::filesystem::path& file, std::string_view section, std::string_view key,
            std::u16string& value) {
    CIniFile ini;
    ini.SetFilePath(file.string());
    // A sentinel default that no line can hold (a line never contains CR LF) tells "absent" apart
    // from "present and empty".
    static const std::u16string kAbsent = u"\r\n";
    const int status = ini.GetString(Utf8ToUtf16(section), Utf8ToUtf16(key), kAbsent, value);
    return status == kIniOk && value != kAbsent;
}

}  // namespace

std::string ReadProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                              std::string_view def) {
    std::u16string value;
    if (!LookUp(file, section, key, value)) {
        return std::string(def);
    }
    return Utf16ToUtf8(CutUtf16(value, kProfileTextLimit));
}

int ReadProfileInt(const std::filesystem::path& file, std::string_view section, std::string_view key, int def) {
    const std::string text = ReadProfileString(file, section, key, "");
    if (text.empty()) {
        return def;
    }
    return ParseProfileInt(text);
}

int ParseProfileInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > static_cast<std::int64_t>(INT_MAX) + 1) {
            magnitude = static_cast<std::int64_t>(INT_MAX) + 1;
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > INT_MAX) {
        return INT_MAX;
    }
    return static_cast<int>(value);
}

}  // namespace fotolume::config
