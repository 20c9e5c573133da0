// Sets one key of one section in a UTF-16 little-endian INI file, keeping the file's form.
#pragma once

#include <filesystem>
#include <string_view>

namespace fotolume::config {

// Writes key=value into [section]: replaces the value of the first matching key line (found as
// CIniFile finds it), or adds the key after the section's last non-empty line, or adds the section at
// the end; a missing file is created with the byte order mark. Lines end in CR LF. Every other line
// keeps its bytes. The file is replaced through a temporary file and a rename.
// Returns an IniStatus: kIniNoByteOrderMark for an existing file without the mark (left untouched),
// kIniCannotOpen when the file cannot be read or written (a read-only file is not written),
// kIniLineTooLong when the new line would not fit the reader's line buffer, kIniBadText when the
// section or key line would contain a line break or the key starts with "[".
int WriteIniString(const std::filesystem::path& file, std::u16string_view section, std::u16string_view key,
                   std::u16string_view value);

int WriteIniString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                   std::string_view value);

}  // namespace fotolume::config
