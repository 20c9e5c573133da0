#include "config/ini_file.h"

#include <cstdint>
#include <cstring>

#include "config/unicode_file.h"
#include "config/utf.h"

namespace fotolume::config {

namespace {

// The line as UTF-16 text: length / 2 units (an odd last byte is not part of the text).
std::u16string_view AsUnits(const std::uint8_t* bytes, long length, char16_t* units) {
    const auto count = static_cast<std::size_t>(length / 2);
    std::memcpy(units, bytes, count * 2);
    return {units, count};
}

}  // namespace

std::u16string CIniFile::SectionLine(std::u16string_view section) {
    std::u16string line = u"[";
    line += section;
    line += u"]";
    return line;
}

std::u16string CIniFile::KeyPrefix(std::u16string_view key) {
    std::u16string prefix(key);
    prefix += u"=";
    return prefix;
}

int CIniFile::GetString(std::u16string_view section, std::u16string_view key, std::u16string_view def,
                        std::u16string& value) const {
    value.assign(def);
    const std::u16string sectionLine = SectionLine(section);
    const std::u16string keyPrefix = KeyPrefix(key);

    CUnicodeFile file;
    int status = file.Load(m_path);
    if (status != kIniOk) {
        return status;
    }
    file.Seek(2, kSeekCurrent);  // over the byte order mark

    std::uint8_t buffer[kLineBufferSize];
    char16_t units[kLineBufferSize / 2];
    long length = 0;
    for (;;) {
        status = file.ReadLine(buffer, kLineBufferSize, length);
        if (status != kIniOk) {
            return status;
        }
        if (AsUnits(buffer, length, units) == sectionLine) {
            break;
        }
    }
    for (;;) {
        status = file.ReadLine(buffer, kLineBufferSize, length);
        if (status != kIniOk) {
            return status;
        }
        const std::u16string_view line = AsUnits(buffer, length, units);
        if (!line.empty() && line.front() == u'[') {
            return kIniOk;  // the next section: the key is not in ours
        }
        if (line.starts_with(keyPrefix)) {
            value.assign(line.substr(keyPrefix.size()));
            return kIniOk;
        }
    }
}

int CIniFile::GetString(std::string_view section, std::string_view key, std::string_view def,
                        std::string& value) const {
    std::u16string value16;
    const int status = GetString(Utf8ToUtf16(section), Utf8ToUtf16(key), Utf8ToUtf16(def), value16);
    value = status == kIniOk ? Utf16ToUtf8(value16) : std::string(def);
    return status;
}

}  // namespace fotolume::config
