// Writing one key: the rest of the file keeps its bytes, and the reader finds what was written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "config/ini_writer.h"
#include "config/unicode_file.h"
#include "tests/config/support.h"

namespace fotolume::config {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::IniBytes;
using test::ReadBytes;
using test::ValueOrAbsent;
using test::WriteBytes;
using test::WriteIni;

using IniWriter = test::IniFileTest;

TEST_F(IniWriter, ReplacesTheValueAndKeepsEveryOtherLine) {
    const std::vector<std::string> before = {
        "; Sprache und Farben", "[info]", "Key = spaced", "LangIndex=2", "Title=Bilderrahmen 相框", "",
        "[more]", "LangIndex=9"};
    WriteIni(file, before);

    ASSERT_EQ(WriteIniString(file, "info", "LangIndex", "1"), kIniOk);
    std::vector<std::string> after = before;
    after[3] = "LangIndex=1";
    EXPECT_EQ(ReadBytes(file), IniBytes(after));
    EXPECT_EQ(ValueOrAbsent(file, "info", "LangIndex"), "1");
    EXPECT_EQ(ValueOrAbsent(file, "more", "LangIndex"), "9");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 1);  // no temporary file left behind
}

TEST_F(IniWriter, AddsAMissingKeyAtTheEndOfItsSection) {
    WriteIni(file, {"[info]", "VID=zentaris", "", "[Language]", "Lan_1=English"});
    ASSERT_EQ(WriteIniString(file, "info", "Language", "German"), kIniOk);
    EXPECT_EQ(ReadBytes(file),
              IniBytes({"[info]", "VID=zentaris", "Language=German", "", "[Language]", "Lan_1=English"}));

    // A key line in another section, or one that only starts like the key, is not the key.
    WriteIni(file, {"[info]", "Language2=x", "[other]", "Language=y"});
    ASSERT_EQ(WriteIniString(file, "info", "Language", "z"), kIniOk);
    EXPECT_EQ(ReadBytes(file), IniBytes({"[info]", "Language2=x", "Language=z", "[other]", "Language=y"}));
}

TEST_F(IniWriter, AddsAMissingSectionAndCreatesAMissingFile) {
    const auto file = dir / "new.ini";
    ASSERT_EQ(WriteIniString(file, "info", "LangIndex", "0"), kIniOk);
    EXPECT_EQ(ReadBytes(file), IniBytes({"[info]", "LangIndex=0"}));

    // The last line had no line break: it gets one, and keeps its bytes.
    const auto open = dir / "open.ini";
    WriteIni(open, {"[a]", "X=1"}, false);
    ASSERT_EQ(WriteIniString(open, "b", "Y", "2"), kIniOk);
    EXPECT_EQ(ReadBytes(open), IniBytes({"[a]", "X=1", "[b]", "Y=2"}));

    // The key was the open last line: it is replaced and the file stays open-ended.
    ASSERT_EQ(WriteIniString(open, "b", "Y", "3"), kIniOk);
    ASSERT_EQ(WriteIniString(open, "a", "Z", "4"), kIniOk);
    EXPECT_EQ(ReadBytes(open), IniBytes({"[a]", "X=1", "Z=4", "[b]", "Y=3"}));
}

TEST_F(IniWriter, RefusesWhatItCannotStoreAndLeavesTheFile) {
    const Bytes original = IniBytes({"[info]", "A=1"});
    WriteBytes(file, original);

    EXPECT_EQ(WriteIniString(file, "info", "A", "two\r\nlines"), kIniBadText);
    EXPECT_EQ(WriteIniString(file, "in\r\nfo", "A", "1"), kIniBadText);
    EXPECT_EQ(WriteIniString(file, "info", "[A", "1"), kIniBadText);
    // The reader could not read a longer line back, nor any line after it.
    EXPECT_EQ(WriteIniString(file, "info", "A", std::string(1023, 'v')), kIniLineTooLong);
    EXPECT_EQ(ReadBytes(file), original);
    // A lone line feed is text, not a line break.
    EXPECT_EQ(WriteIniString(file, "info", "A", "two\nparts"), kIniOk);
    EXPECT_EQ(ValueOrAbsent(file, "info", "A"), "two\nparts");

    // Text without the byte order mark is not turned into a mixed file.
    const auto plain = dir / "plain.ini";
    const Bytes plainBytes = {'[', 'i', 'n', 'f', 'o', ']', '\r', '\n'};
    WriteBytes(plain, plainBytes);
    EXPECT_EQ(WriteIniString(plain, "info", "A", "1"), kIniNoByteOrderMark);
    EXPECT_EQ(ReadBytes(plain), plainBytes);
}

TEST_F(IniWriter, LeavesAReadOnlyFileAlone) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may write any file";
    }
    const Bytes original = IniBytes({"[info]", "A=1"});
    WriteBytes(file, original);
    fs::permissions(file, fs::perms::owner_read);
    EXPECT_EQ(WriteIniString(file, "info", "A", "2"), kIniCannotOpen);
    EXPECT_EQ(ReadBytes(file), original);
}

TEST_F(IniWriter, KeepsThePermissionsOfTheFile) {
    WriteIni(file, {"[info]"});
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(WriteIniString(file, "info", "A", "1"), kIniOk);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(IniWriter, OddLinesStayAsTheReaderSeesThem) {
    const auto file = dir / "odd.ini";
    // A stray byte makes every later line start at an odd offset; the writer must split the file as
    // the reader does, or its new line would be unreadable.
    Bytes bytes = {0xFF, 0xFE, 'x'};
    const Bytes rest = IniBytes({"[info]", "A=1"});
    bytes.insert(bytes.end(), rest.begin() + 2, rest.end());
    bytes.insert(bytes.begin() + 3, {0x0D, 0x00, 0x0A, 0x00});
    WriteBytes(file, bytes);
    ASSERT_EQ(WriteIniString(file, "info", "B", "2"), kIniOk);
    ASSERT_EQ(WriteIniString(file, "new", "C", "3"), kIniOk);
    Bytes expected = bytes;
    const Bytes added = IniBytes({"B=2", "[new]", "C=3"});
    expected.insert(expected.end(), added.begin() + 2, added.end());
    EXPECT_EQ(ReadBytes(file), expected);
    EXPECT_EQ(ValueOrAbsent(file, "info", "B"), "2");
    EXPECT_EQ(ValueOrAbsent(file, "new", "C"), "3");
}

}  // namespace
}  // namespace fotolume::config
