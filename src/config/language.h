// The language file LanguageUnicode.ini of the full application: the language list, text lookup with
// English defaults, and the language menu as a model the window turns into real menu items.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fotolume::config {

inline constexpr int kMaxLanguages = 10;
// Command ids of the language items: 9002 + index; 9002 to 9102 are reserved for them.
inline constexpr int kLanguageCommandFirst = 9002;
inline constexpr int kLanguageCommandLast = 9102;

struct LanguageMenuItem {
    int id = 0;
    std::string text;
    bool checked = false;
};

// One popup entry (when hasPopup) whose submenu holds one item per language.
struct LanguageMenu {
    bool hasPopup = false;
    std::string popupText;
    std::vector<LanguageMenuItem> items;
};

struct MenuBuildResult {
    LanguageMenu menu;
    std::string message;  // a missing menu key, to be shown to the user; empty when none
};

struct ApplyResult {
    bool applied = false;  // false: the id names no language in the list; nothing changed
    std::string message;   // a missing SUBMENU key, to be shown to the user; empty when none
};

class CLanguage {
public:
    explicit CLanguage(std::filesystem::path languageFile);

    const std::filesystem::path& File() const { return m_file; }

    // Reads Lan_1 .. Lan_10 of section "Language" up to the first missing or empty one.
    int CountLanguages();
    const std::vector<std::string>& Sections() const { return m_sections; }
    int Count() const { return static_cast<int>(m_sections.size()); }

    // The index may lie outside the list (for instance after the list was counted again); there is
    // then no current section and every text is its English default.
    void SetLangIndex(int index) { m_langIndex = index; }
    int LangIndex() const { return m_langIndex; }
    std::optional<std::string> CurrentSection() const;

    // The text of key in the current section, cut to 254 characters; def when the file, the section
    // or the key is missing, or when there is no current section.
    std::string LookupText(std::string_view key, std::string_view def) const;

    // The context menu, built once after counting. Items start unchecked; applying checks one.
    MenuBuildResult BuildMenu() const;

    // Switches to the language of commandId (9002 + index): re-texts the popup and the items of menu,
    // checks the item of the new language, and writes LangIndex and Language to section "info" of
    // settingsFile. The caller re-texts the window afterwards.
    ApplyResult ApplyLanguage(int commandId, LanguageMenu& menu, const std::filesystem::path& settingsFile);

    // The About item of the system menu: "<ABOUT_SYSMENU> <title>(&A)...".
    std::string AboutMenuText(std::string_view title) const;

    static std::string MissingMenuKeyMessage(std::string_view key);   // while the menu is built
    static std::string MissingApplyKeyMessage(std::string_view key);  // while a language is applied

private:
    std::filesystem::path m_file;
    std::vector<std::string> m_sections;
    int m_langIndex = 0;
};

}  // namespace fotolume::config
