#include "config/ini_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "config/file_ops.h"
#include "config/ini_file.h"
#include "config/unicode_file.h"
#include "config/utf.h"

namespace fotolume::config {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kByteOrderMark[2] = {0xFF, 0xFE};
constexpr std::uint8_t kLineBreak[4] = {0x0D, 0x00, 0x0A, 0x00};
constexpr mode_t kNewFileMode = 0644;

// One line as the reader sees it: its bytes in the file and whether a CR LF follows it.
struct Line {
    long start = 0;
    long length = 0;
    bool hasBreak = false;
    std::u16string text;  // length / 2 units, host order
};

Bytes EncodeLine(std::u16string_view text) {
    Bytes bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

bool ContainsLineBreak(const Bytes& bytes) {
    return std::search(bytes.begin(), bytes.end(), std::begin(kLineBreak), std::end(kLineBreak)) != bytes.end();
}

// Splits the file exactly as CUnicodeFile::ReadLine does, so that the writer and the reader agree
// on every line, odd ones included.
std::vector<Line> SplitLines(CUnicodeFile& file) {
    std::vector<Line> lines;
    Bytes buffer(static_cast<std::size_t>(std::max(file.Size(), 2L)));
    file.Seek(2, kSeekBegin);
    for (;;) {
        Line line;
        line.start = file.Position();
        if (file.ReadLine(buffer.data(), static_cast<long>(buffer.size()), line.length) != kIniOk) {
            break;
        }
        line.hasBreak = file.Position() != line.start + line.length;
        line.text.resize(static_cast<std::size_t>(line.length / 2));
        std::memcpy(line.text.data(), buffer.data(), line.text.size() * 2);
        lines.push_back(std::move(line));
    }
    return lines;
}

void Append(Bytes& out, const std::uint8_t* bytes, std::size_t size) { out.insert(out.end(), bytes, bytes + size); }
void AppendBreak(Bytes& out) { Append(out, kLineBreak, sizeof kLineBreak); }

}  // namespace

int WriteIniString(const std::filesystem::path& file, std::u16string_view section, std::u16string_view key,
                   std::u16string_view value) {
    const Bytes sectionLine = EncodeLine(CIniFile::SectionLine(section));
    const Bytes keyLine = EncodeLine(CIniFile::KeyPrefix(key) + std::u16string(value));
    if (ContainsLineBreak(sectionLine) || ContainsLineBreak(keyLine) || (!key.empty() && key.front() == u'[')) {
        return kIniBadText;
    }
    if (static_cast<long>(sectionLine.size()) > CIniFile::kLineBufferSize ||
        static_cast<long>(keyLine.size()) > CIniFile::kLineBufferSize) {
        return kIniLineTooLong;
    }

    CUnicodeFile current;
    mode_t mode = kNewFileMode;
    struct stat st {};
    const bool exists = ::stat(file.c_str(), &st) == 0;
    if (exists) {
        if (!S_ISREG(st.st_mode) || ::access(file.c_str(), W_OK) != 0) {
            return kIniCannotOpen;
        }
        mode = st.st_mode & 07777;
        const int status = current.Load(file.string());
        if (status != kIniOk) {
            return status;
        }
    } else if (errno != ENOENT) {
        return kIniCannotOpen;
    }

    const std::vector<Line> lines = exists ? SplitLines(current) : std::vector<Line>{};
    const std::u16string wantedSection = CIniFile::SectionLine(section);
    const std::u16string keyPrefix = CIniFile::KeyPrefix(key);

    std::optional<std::size_t> sectionAt;
    std::optional<std::size_t> keyAt;
    std::size_t insertAfter = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].text == wantedSection) {
            sectionAt = i;
            insertAfter = i;
            for (std::size_t j = i + 1; j < lines.size(); ++j) {
                const std::u16string& text = lines[j].text;
                if (!text.empty() && text.front() == u'[') {
                    break;
                }
                if (text.starts_with(keyPrefix)) {
                    keyAt = j;
                    break;
                }
                if (!text.empty()) {
                    insertAfter = j;
                }
            }
            break;
        }
    }

    const std::uint8_t* data = current.Data().data();
    Bytes out;
    out.reserve(current.Data().size() + keyLine.size() + sectionLine.size() + 16);
    Append(out, kByteOrderMark, sizeof kByteOrderMark);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (keyAt && *keyAt == i) {
            Append(out, keyLine.data(), keyLine.size());
        } else {
            Append(out, data + line.start, static_cast<std::size_t>(line.length));
        }
        const bool addAfter = sectionAt && !keyAt && insertAfter == i;
        if (line.hasBreak || addAfter) {
            AppendBreak(out);
        }
        if (addAfter) {
            Append(out, keyLine.data(), keyLine.size());
            AppendBreak(out);
        }
    }
    if (!sectionAt) {
        if (!lines.empty() && !lines.back().hasBreak) {
            AppendBreak(out);
        }
        Append(out, sectionLine.data(), sectionLine.size());
        AppendBreak(out);
        Append(out, keyLine.data(), keyLine.size());
        AppendBreak(out);
    }
    return WriteFileAtomically(file, out, mode) ? kIniOk : kIniCannotOpen;
}

int WriteIniString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                   std::string_view value) {
    return WriteIniString(file, Utf8ToUtf16(section), Utf8ToUtf16(key), Utf8ToUtf16(value));
}

}  // namespace fotolume::config
