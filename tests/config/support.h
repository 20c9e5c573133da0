// Helpers of the configuration tests: a scratch folder and UTF-16 INI files written from UTF-8 text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fotolume::config::test {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(std::string_view name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

using Bytes = std::vector<std::uint8_t>;

// UTF-16 little-endian bytes of UTF-8 text, no byte order mark.
Bytes Utf16(std::string_view text);

// The byte order mark followed by every line in UTF-16 LE, each ending in CR LF except, when
// lastBreak is false, the last one.
Bytes IniBytes(const std::vector<std::string>& lines, bool lastBreak = true);

void WriteBytes(const std::filesystem::path& file, const Bytes& bytes);
Bytes ReadBytes(const std::filesystem::path& file);

inline void WriteIni(const std::filesystem::path& file, const std::vector<std::string>& lines,
                     bool lastBreak = true) {
    WriteBytes(file, IniBytes(lines, lastBreak));
}

// The value of key in section; "<absent>" when the section has no such key, "<status N>" when the
// lookup fails.
std::string ValueOrAbsent(const std::filesystem::path& file, std::string_view section, std::string_view key);

}  // namespace fotolume::config::test
