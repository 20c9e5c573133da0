#include "tests/config/support.h"

#include "config/ini_file.h"
#include "config/utf.h"

namespace fotolume::config::test {

namespace fs = std::filesystem;

Bytes Utf16(std::string_view text) {
    Bytes bytes;
    for (const char16_t unit : Utf8ToUtf16(text)) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

Bytes IniBytes(const std::vector<std::string>& lines, bool lastBreak) {
    Bytes bytes = {0xFF, 0xFE};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Bytes line = Utf16(lines[i]);
        bytes.insert(bytes.end(), line.begin(), line.end());
        if (lastBreak || i + 1 < lines.size()) {
            bytes.insert(bytes.end(), {0x0D, 0x00, 0x0A, 0x00});
        }
    }
    return bytes;
}

std::string ValueOrAbsent(const fs::path& file, std::string_view section, std::string_view key) {
    CIniFile ini;
    ini.SetFilePath(file.string());
    std::string value;
    const int status = ini.GetString(section, key, "<absent>", value);
    return status == 0 ? value : "<status " + std::to_string(status) + ">";
}

}  // namespace fotolume::config::test
