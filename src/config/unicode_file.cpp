#include "config/unicode_file.h"

#include <sys/stat.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

namespace fotolume::config {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

constexpr std::uint8_t kLineBreak[4] = {0x0D, 0x00, 0x0A, 0x00};

// Settings and language files are a few kilobytes; anything this large is no such file, and is not
// loaded whole into memory.
constexpr off_t kMaxFileSize = 64L * 1024 * 1024;

}  // namespace

void CUnicodeFile::Release() {
    m_data.clear();
    m_data.shrink_to_fit();
    m_position = 0;
    m_size = 0;
    m_capacity = 0;
}

int CUnicodeFile::Load(const std::string& path) {
    Release();
    m_path = path;
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return kIniCannotOpen;
    }
    // Only a regular file has a size to take; a folder or a device is not a text file.
    struct stat st {};
    if (::fstat(::fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) {
        return kIniCannotOpen;
    }
    const auto size = static_cast<long>(st.st_size);
    std::uint8_t mark[2] = {0, 0};
    if (size < 2 || std::fread(mark, 1, 2, file.get()) != 2 || mark[0] != 0xFF || mark[1] != 0xFE) {
        return kIniNoByteOrderMark;
    }
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    if (std::fseek(file.get(), 0, SEEK_SET) != 0 ||
        std::fread(data.data(), 1, data.size(), file.get()) != data.size()) {
        return kIniCannotOpen;
    }
    m_data = std::move(data);
    m_size = size;
    m_capacity = size;
    m_position = 0;
    return kIniOk;
}

int CUnicodeFile::Seek(long offset, int origin) {
    switch (origin) {
    case kSeekBegin:
        m_position = offset;
        return kIniOk;
    case kSeekCurrent:
        m_position += offset;
        return kIniOk;
    case kSeekEnd:
        m_position = m_size + offset;
        return kIniOk;
    default:
        return kIniBadSeekOrigin;
    }
}

long CUnicodeFile::GetNextLineOffset() const {
    if (m_position < 0) {
        return -1;
    }
    for (long at = m_position; m_size - at >= 4; ++at) {
        if (std::memcmp(m_data.data() + at, kLineBreak, 4) == 0) {
            return at - m_position;
        }
    }
    return -1;
}

int CUnicodeFile::ReadLine(std::uint8_t* buffer, long bufferSize, long& length) {
    // A position before the data counts as the end as well: nothing there may be read.
    if (m_position < 0 || m_position >= m_size) {
        return kIniEndOfData;
    }
    long lineLength = GetNextLineOffset();
    if (lineLength < 0) {
        lineLength = m_size - m_position;
    }
    if (lineLength > bufferSize) {
        return kIniLineTooLong;
    }
    length = lineLength;
    if (lineLength > 0) {
        std::memcpy(buffer, m_data.data() + m_position, static_cast<std::size_t>(lineLength));
    }
    m_position += lineLength;
    if (m_position != m_size) {
        m_position += 4;
    }
    UpToLowBytes(buffer, lineLength);
    return kIniOk;
}

void CUnicodeFile::UpToLowBytes(std::uint8_t* buffer, long length) {
    if constexpr (std::endian::native == std::endian::big) {
        for (long i = 0; i + 1 < length; i += 2) {
            std::swap(buffer[i], buffer[i + 1]);
        }
    } else {
        (void)buffer;
        (void)length;
    }
}

}  // namespace fotolume::config
