// The language file Language.ini of the compact application: one language, named by key language_1
// of section "language", read anew at every lookup.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace fotolume::config {

// Texts reach the compact window's controls as UTF-8 of at most this many bytes.
inline constexpr std::size_t kCompactTextLimit = 511;

class CCompactLanguage {
public:
    explicit CCompactLanguage(std::filesystem::path languageFile);

    const std::filesystem::path& File() const { return m_file; }

    // The section named by language_1 (sectionDefault when that key is missing).
    std::string SectionName(std::string_view sectionDefault = "English") const;

    // The text of key in that section, or def; cut to 511 bytes without splitting a character.
    // The quit question passes the empty text as sectionDefault.
    std::string LookupText(std::string_view key, std::string_view def,
                           std::string_view sectionDefault = "English") const;

private:
    std::filesystem::path m_file;
};

}  // namespace fotolume::config
