// Feeds arbitrary bytes to the INI reader as a file, then writes a key into them and checks that the
// reader finds exactly what was written.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "config/compact_language.h"
#include "config/ini_file.h"
#include "config/ini_writer.h"
#include "config/language.h"
#include "config/unicode_file.h"

namespace {

using namespace fotolume::config;

// Never destroyed, so that the clean-up at exit can still use it.
const std::string& ScratchFile() {
    static const std::string* const path = [] {
        // Every write is flushed to disk; a memory file system keeps that fast.
        std::error_code ec;
        const std::filesystem::path folder =
            ::access("/dev/shm", W_OK) == 0 ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path(ec);
        std::string pattern = (folder / "fuzz_ini_XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) {
            std::abort();
        }
        ::close(fd);
        return new std::string(pattern);
    }();
    static const bool cleanUp = std::atexit([] { std::remove(ScratchFile().c_str()); }) == 0;
    (void)cleanUp;
    return *path;
}

void Store(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::abort();
    }
    if (size > 0 && std::fwrite(data, 1, size, file) != size) {
        std::abort();
    }
    std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = ScratchFile();
    Store(path, data, size);

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
