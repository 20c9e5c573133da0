// Feeds arbitrary bytes to the INI reader as a file, then writes a key into them and checks that the
// reader finds exactly what was written.
#include <cstdint>
#include <string>

#include "config/compact_language.h"
#include "config/ini_file.h"
#include "config/ini_writer.h"
#include "config/language.h"
#include "config/unicode_file.h"
#include "tests/support/temp_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fotolume::config;
    // Every write is flushed to disk; a folder in memory keeps that fast.
    static const fotolume::testsupport::TempFolder folder(true);
    static const std::string path = (folder / "input.ini").string();
    fotolume::testsupport::WriteBytes(path, {data, data + size});

    CIniFile ini;
    ini.SetFilePath(path);
    std::u16string value;
    ini.GetString(u"info", u"LangIndex", u"-1", value);
    ini.GetString(u"", u"", u"", value);

    CLanguage language(path);
    language.CountLanguages();
    language.LookupText("IDC_BUTTON_SAVE", "Save");
    CCompactLanguage(path).LookupText("Add", "Add");

    CUnicodeFile text;
    if (text.Load(path) == kIniOk) {
        std::uint8_t line[2048];
        long length = 0;
        text.Seek(static_cast<long>(size % 7), kSeekBegin);
        while (text.ReadLine(line, sizeof line, length) == kIniOk) {
        }
    }

    static const std::u16string kWritten = u"7 \u4E2D";
    if (WriteIniString(path, u"info", u"LangIndex", kWritten) == kIniOk) {
        value.clear();
        if (ini.GetString(u"info", u"LangIndex", u"-1", value) == kIniOk && value != kWritten) {
            std::abort();  // the writer and the reader disagree about the file's lines
        }
    }
    return 0;
}
