#include "config/language.h"

#include <utility>

#include "config/profile.h"
#include "config/settings.h"

namespace fotolume::config {

namespace fs = std::filesystem;

namespace {

std::string SubmenuKey(int index) { return "SUBMENU_" + std::to_string(index + 1); }

}  // namespace

CLanguage::CLanguage(fs::path languageFile) : m_file(std::move(languageFile)) {}

int CLanguage::CountLanguages() {
    m_sections.clear();
    for (int i = 1; i <= kMaxLanguages; ++i) {
        std::string name = ReadProfileString(m_file, "Language", "Lan_" + std::to_string(i), "");
        if (name.empty()) {
            break;
        }
        m_sections.push_back(std::move(name));
    }
    return Count();
}

std::optional<std::string> CLanguage::CurrentSection() const {
    if (m_langIndex < 0 || m_langIndex >= Count()) {
        return std::nullopt;
    }
    return m_sections[static_cast<std::size_t>(m_langIndex)];
}

std::string CLanguage::LookupText(std::string_view key, std::string_view def) const {
    const std::optional<std::string> section = CurrentSection();
    if (!section) {
        return std::string(def);
    }
    return ReadProfileString(m_file, *section, key, def);
}

MenuBuildResult CLanguage::BuildMenu() const {
    MenuBuildResult result;
    const std::string popup = LookupText("LANGUAGE_MENU", "");
    if (popup.empty()) {
        result.message = MissingMenuKeyMessage("LANGUAGE_MENU");
        return result;
    }
    result.menu.hasPopup = true;
    result.menu.popupText = popup;
    for (int i = 0; i < Count(); ++i) {
        const std::string key = SubmenuKey(i);
        std::string text = LookupText(key, "");
        if (text.empty()) {
            result.message = MissingMenuKeyMessage(key);
            break;
        }
        result.menu.items.push_back({kLanguageCommandFirst + i, std::move(text), false});
    }
    return result;
}

ApplyResult CLanguage::ApplyLanguage(int commandId, LanguageMenu& menu, const fs::path& settingsFile) {
    ApplyResult result;
    const int index = commandId - kLanguageCommandFirst;
    if (commandId < kLanguageCommandFirst || commandId > kLanguageCommandLast || index >= Count()) {
        return result;
    }
    m_langIndex = index;
    result.applied = true;
    const std::string section = m_sections[static_cast<std::size_t>(index)];

    if (menu.hasPopup) {
        menu.popupText = LookupText("LANGUAGE_MENU", "Language");
    }
    for (int i = 0; i < Count(); ++i) {
        const std::string key = SubmenuKey(i);
        const std::string text = LookupText(key, "");
        if (text.empty()) {
            // The items from here on keep their old texts and marks.
            result.message = MissingApplyKeyMessage(key);
            break;
        }
        for (LanguageMenuItem& item : menu.items) {
            if (item.id == kLanguageCommandFirst + i) {
                item.text = text;
                item.checked = i == m_langIndex;
            }
        }
    }

    WriteSetting(settingsFile, "LangIndex", std::to_string(m_langIndex));
    WriteSetting(settingsFile, "Language", section);
    return result;
}

std::string CLanguage::AboutMenuText(std::string_view title) const {
    return LookupText("ABOUT_SYSMENU", "About") + " " + std::string(title) + "(&A)...";
}

std::string CLanguage::MissingMenuKeyMessage(std::string_view key) {
    return "Item " + std::string(key) + " is not exist in LanguageUnicode.ini file!";
}

std::string CLanguage::MissingApplyKeyMessage(std::string_view key) {
    return "Item " + std::string(key) + " is not exist in the LanguageUnicode.ini file.";
}

}  // namespace fotolume::config
