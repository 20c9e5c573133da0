// CIniFile: finds the value of one key in one section of a UTF-16 little-endian INI file.
#pragma once

#include <string>
#include <string_view>

namespace fotolume::config {

class CIniFile {
public:
    // Lines longer than this many bytes end a lookup with kIniLineTooLong.
    static constexpr long kLineBufferSize = 2048;

    void SetFilePath(const std::string& path) { m_path = path; }
    const std::string& FilePath() const { return m_path; }

    // value := def, then the text after "key=" on the first line starting so in section "[section]".
    // Section and key match case-sensitively and exactly. Returns an IniStatus; on any failure value
    // stays def. The file is read anew on every call.
    int GetString(std::u16string_view section, std::u16string_view key, std::u16string_view def,
                  std::u16string& value) const;

    // The same with UTF-8 text at both ends.
    int GetString(std::string_view section, std::string_view key, std::string_view def,
                  std::string& value) const;

    // Line forms shared with the writer, so both see the same file the same way.
    static std::u16string SectionLine(std::u16string_view section);
    static std::u16string KeyPrefix(std::u16string_view key);

private:
    std::string m_path;
};

}  // namespace fotolume::config
