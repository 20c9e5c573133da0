// Every text key of the two applications with its built-in English text. The window code passes these
// as the defaults of its lookups; the shipped language files are checked against them.
#pragma once

#include <span>
#include <string_view>

namespace fotolume::config {

struct TextKey {
    std::string_view key;
    std::string_view english;
};

// The keys of LanguageUnicode.ini (SUBMENU_1 .. SUBMENU_10 have no default and are not listed).
std::span<const TextKey> FullApplicationTexts();

// The keys of Language.ini.
std::span<const TextKey> CompactApplicationTexts();

// The English text of key in list, or empty when the key is not listed.
std::string_view EnglishText(std::span<const TextKey> list, std::string_view key);

}  // namespace fotolume::config
