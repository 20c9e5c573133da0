// Conversions between the UTF-8 text of our callers and the UTF-16 text of the INI files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fotolume::config {

// Invalid UTF-8 sequences become U+FFFD; nothing is rejected.
std::u16string Utf8ToUtf16(std::string_view text);

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// At most maxUnits UTF-16 units, never ending inside a surrogate pair.
std::u16string_view CutUtf16(std::u16string_view text, std::size_t maxUnits);

// At most maxBytes bytes, never ending inside a UTF-8 sequence.
std::string_view CutUtf8(std::string_view text, std::size_t maxBytes);

}  // namespace fotolume::config
