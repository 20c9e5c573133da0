// Helpers of the configuration tests: UTF-16 INI files written from UTF-8 text, and a folder to hold them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/temp_folder.h"

namespace fotolume::config::test {

using TempDir = testsupport::TempFolder;
using testsupport::Bytes;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

// UTF-16 little-endian bytes of UTF-8 text, no byte order mark.
Bytes Utf16(std::string_view text);

// The byte order mark followed by every line in UTF-16 LE, each ending in CR LF except, when
// lastBreak is false, the last one.
Bytes IniBytes(const std::vector<std::string>& lines, bool lastBreak = true);

inline void WriteIni(const std::filesystem::path& file, const std::vector<std::string>& lines,
                     bool lastBreak = true) {
    WriteBytes(file, IniBytes(lines, lastBreak));
}

// The value of key in section; "<absent>" when the section has no such key, "<status N>" when the
// lookup fails.
std::string ValueOrAbsent(const std::filesystem::path& file, std::string_view section, std::string_view key);

// A test's own folder and the name of an INI file in it.
class IniFileTest : public ::testing::Test {
protected:
    TempDir dir;
    const std::filesystem::path file = dir / "a.ini";
};

}  // namespace fotolume::config::test
