#include "config/compact_language.h"

#include <utility>

#include "config/ini_file.h"
#include "config/utf.h"

namespace fotolume::config {

CCompactLanguage::CCompactLanguage(std::filesystem::path languageFile) : m_file(std::move(languageFile)) {}

std::string CCompactLanguage::SectionName(std::string_view sectionDefault) const {
    CIniFile ini;
    ini.SetFilePath(m_file.string());
    std::string section;
    ini.GetString("language", "language_1", sectionDefault, section);
    return section;
}

std::string CCompactLanguage::LookupText(std::string_view key, std::string_view def,
                                         std::string_view sectionDefault) const {
    CIniFile ini;
    ini.SetFilePath(m_file.string());
    std::string text;
    ini.GetString(SectionName(sectionDefault), key, def, text);
    return std::string(CutUtf8(text, kCompactTextLimit));
}

}  // namespace fotolume::config
