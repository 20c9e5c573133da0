// Profile reads on top of CIniFile, shaped like the platform's profile-string functions: a text read
// keeps at most 254 characters, an integer read parses leading decimal digits.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace fotolume::config {

// A text read fills a buffer of 255 UTF-16 characters, so the longest value is 254 characters.
inline constexpr std::size_t kProfileTextLimit = 254;

// The value of key in [section], cut to 254 UTF-16 characters, as UTF-8; def when the file, the
// section or the key is missing. A key with an empty value gives the empty text.
std::string ReadProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                              std::string_view def);

// The value parsed by ParseProfileInt; def when the key is missing or its value is empty.
int ReadProfileInt(const std::filesystem::path& file, std::string_view section, std::string_view key, int def);

// Leading blanks, an optional sign, then decimal digits up to the first other character; 0 when there
// are no digits. Values beyond the int range are clamped.
int ParseProfileInt(std::string_view text);

}  // namespace fotolume::config
