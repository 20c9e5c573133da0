#include "tests/config/support.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "config/ini_file.h"
#include "config/utf.h"

namespace fotolume::config::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "fotolume-config-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a scratch folder");
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Read-only files and folders made by a test must not stop the clean-up.
    for (const auto& entry : fs::recursive_directory_iterator(m_path, ec)) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(m_path, ec);
}

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

void WriteBytes(const fs::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

Bytes ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string ValueOrAbsent(const fs::path& file, std::string_view section, std::string_view key) {
    CIniFile ini;
    ini.SetFilePath(file.string());
    std::string value;
    const int status = ini.GetString(section, key, "<absent>", value);
    return status == 0 ? value : "<status " + std::to_string(status) + ">";
}

}  // namespace fotolume::config::test
