// Reading UTF-16 INI files: line splitting, exact section and key matching, the status codes.
#include <gtest/gtest.h>

#include <string>

#include "config/ini_file.h"
#include "config/unicode_file.h"
#include "tests/config/support.h"

namespace fotolume::config {
namespace {

using test::IniBytes;
using test::ValueOrAbsent;
using test::WriteBytes;
using test::WriteIni;

int Lookup(const std::filesystem::path& file, std::string_view section, std::string_view key, std::string& value) {
    CIniFile ini;
    ini.SetFilePath(file.string());
    return ini.GetString(section, key, "default", value);
}

using IniReader = test::IniFileTest;
using UnicodeFile = test::IniFileTest;

TEST_F(IniReader, FindsValuesLineByLine) {
    // The last line has no line break and is still read whole.
    WriteIni(file, {"; note", "[info]", "First=1", "", "Second=two words ", "[other]", "Last=end of file"}, false);
    EXPECT_EQ(ValueOrAbsent(file, "info", "First"), "1");
    EXPECT_EQ(ValueOrAbsent(file, "info", "Second"), "two words ");  // blanks are part of the value
    EXPECT_EQ(ValueOrAbsent(file, "other", "Last"), "end of file");
}

TEST_F(IniReader, KeysMatchExactlyAtTheLineStart) {
    WriteIni(file, {"[s]", "Key = spaced", " Key=indented", "key=lower", "KeyLonger=no", "Key=value", "[t]",
                    "Key=", "Other = x"});
    EXPECT_EQ(ValueOrAbsent(file, "s", "Key"), "value");
    EXPECT_EQ(ValueOrAbsent(file, "t", "Key"), "");  // the key with the equals sign alone
    // A key missing from the last section runs into the end of the data.
    EXPECT_EQ(ValueOrAbsent(file, "t", "Other"), "<status 10>");
    EXPECT_EQ(ValueOrAbsent(file, "S", "Key"), "<status 10>");  // sections are case-sensitive too
}

// Key in section s: found nowhere, or not read at all; the status says which.
TEST_F(IniReader, LookupsThatFindNothingLeaveTheDefault) {
    WriteIni(dir / "next.ini", {"[s]", "A=1", "[second]", "Key=2"});
    WriteIni(dir / "nosection.ini", {"[other]", "Key=1", " [s]", "[s] ", "Key=2"});
    // The same text saved as 8-bit text has no byte order mark.
    WriteBytes(dir / "plain.ini", {'[', 's', ']', '\r', '\n', 'K', 'e', 'y', '=', '1'});
    WriteBytes(dir / "tiny.ini", {0xFF});
    const std::pair<std::filesystem::path, int> cases[] = {
        {dir / "next.ini", kIniOk},  // the key only in the next section
        {dir / "nosection.ini", kIniEndOfData},    {dir / "missing.ini", kIniCannotOpen},
        {dir.Path(), kIniCannotOpen},  // a folder is no file to read
        {dir / "plain.ini", kIniNoByteOrderMark}, {dir / "tiny.ini", kIniNoByteOrderMark}};
    for (const auto& [file, status] : cases) {
        std::string value;
        EXPECT_EQ(Lookup(file, "s", "Key", value), status) << file;
        EXPECT_EQ(value, "default") << file;
    }
}

TEST_F(IniReader, LineBufferHolds2048Bytes) {
    const auto fits = dir / "fits.ini";
    const std::string longest(1024 - 2, 'x');  // "A=" plus 1022 characters: 2048 bytes
    WriteIni(fits, {"[s]", "A=" + longest, "B=after"});
    EXPECT_EQ(ValueOrAbsent(fits, "s", "A"), longest);
    EXPECT_EQ(ValueOrAbsent(fits, "s", "B"), "after");

    const auto tooLong = dir / "long.ini";
    WriteIni(tooLong, {"[s]", "A=" + longest + "y", "B=after"});
    std::string value;
    EXPECT_EQ(Lookup(tooLong, "s", "B", value), kIniLineTooLong);
    EXPECT_EQ(value, "default");
}

TEST_F(IniReader, TextBeyondAsciiRoundTrips) {
    WriteIni(file, {"[中文]", "标题=图片总数", "Emoji=📷 ok"});
    EXPECT_EQ(ValueOrAbsent(file, "中文", "标题"), "图片总数");
    EXPECT_EQ(ValueOrAbsent(file, "中文", "Emoji"), "📷 ok");
}

TEST_F(UnicodeFile, ReadsLinesAndKeepsItsPosition) {
    WriteIni(file, {"ab", "", "c"});
    CUnicodeFile text;
    ASSERT_EQ(text.Load(file.string()), kIniOk);
    EXPECT_EQ(text.Position(), 0);
    EXPECT_EQ(text.Size(), 2 + 4 + 4 + 0 + 4 + 2 + 4);
    EXPECT_EQ(text.Capacity(), text.Size());
    ASSERT_EQ(text.Seek(2, kSeekCurrent), kIniOk);

    std::uint8_t buffer[16];
    long length = -1;
    EXPECT_EQ(text.GetNextLineOffset(), 4);
    ASSERT_EQ(text.ReadLine(buffer, sizeof buffer, length), kIniOk);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(buffer[0], 'a');
    ASSERT_EQ(text.ReadLine(buffer, sizeof buffer, length), kIniOk);
    EXPECT_EQ(length, 0);
    ASSERT_EQ(text.ReadLine(buffer, 1, length), kIniLineTooLong);
    ASSERT_EQ(text.ReadLine(buffer, sizeof buffer, length), kIniOk);
    EXPECT_EQ(length, 2);
    // A closing CR LF does not make one more empty line.
    EXPECT_EQ(text.ReadLine(buffer, sizeof buffer, length), kIniEndOfData);
}

TEST_F(UnicodeFile, SeekOrigins) {
    WriteIni(file, {"abc"});
    CUnicodeFile text;
    ASSERT_EQ(text.Load(file.string()), kIniOk);
    EXPECT_EQ(text.Seek(4, kSeekBegin), kIniOk);
    EXPECT_EQ(text.Seek(2, kSeekCurrent), kIniOk);
    EXPECT_EQ(text.Position(), 6);
    EXPECT_EQ(text.Seek(-4, kSeekEnd), kIniOk);
    EXPECT_EQ(text.Position(), text.Size() - 4);
    EXPECT_EQ(text.Seek(0, 5), kIniBadSeekOrigin);
    EXPECT_EQ(text.Position(), text.Size() - 4);

    // Seeking is not range-checked, but nothing outside the data is ever read.
    std::uint8_t buffer[64];
    long length = 0;
    EXPECT_EQ(text.Seek(-100, kSeekBegin), kIniOk);
    EXPECT_EQ(text.ReadLine(buffer, sizeof buffer, length), kIniEndOfData);
    EXPECT_EQ(text.GetNextLineOffset(), -1);
    EXPECT_EQ(text.Seek(100, kSeekEnd), kIniOk);
    EXPECT_EQ(text.ReadLine(buffer, sizeof buffer, length), kIniEndOfData);
}

TEST_F(UnicodeFile, LineBreakFoundAtAnOddOffset) {
    const auto file = dir / "odd.ini";
    // One stray byte before a CR LF: the byte-wise search still splits the line there.
    WriteBytes(file, {0xFF, 0xFE, 'A', 0x0D, 0x00, 0x0A, 0x00, 'B', 0x00});
    CUnicodeFile text;
    ASSERT_EQ(text.Load(file.string()), kIniOk);
    text.Seek(2, kSeekBegin);
    std::uint8_t buffer[16];
    long length = 0;
    ASSERT_EQ(text.ReadLine(buffer, sizeof buffer, length), kIniOk);
    EXPECT_EQ(length, 1);
    ASSERT_EQ(text.ReadLine(buffer, sizeof buffer, length), kIniOk);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(buffer[0], 'B');
}

TEST_F(UnicodeFile, LoadReplacesEarlierData) {
    WriteIni(dir / "a.ini", {"first line"});
    CUnicodeFile text;
    ASSERT_EQ(text.Load((dir / "a.ini").string()), kIniOk);
    text.Seek(6, kSeekBegin);
    EXPECT_EQ(text.Load((dir / "none.ini").string()), kIniCannotOpen);
    EXPECT_EQ(text.Size(), 0);
    EXPECT_EQ(text.Position(), 0);
    EXPECT_TRUE(text.Data().empty());
}

}  // namespace
}  // namespace fotolume::config
