// CUnicodeFile: a UTF-16 little-endian text file held whole in memory and handed out line by line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fotolume::config {

// Status codes of CUnicodeFile, CIniFile and the INI writer.
enum IniStatus : int {
    kIniOk = 0,
    kIniCannotOpen = 1,     // the file cannot be opened (or, for the writer, not written)
    kIniNoByteOrderMark = 7,
    kIniLineTooLong = 8,    // a line is longer than the caller's buffer
    kIniEndOfData = 10,     // no line left to read
    kIniBadSeekOrigin = 11,
    kIniBadText = 12,       // writer only: the section, key or value cannot be stored as one line
};

enum SeekPosition : int {
    kSeekBegin = 0,
    kSeekCurrent = 1,
    kSeekEnd = 2,
};

class CUnicodeFile {
public:
    CUnicodeFile() = default;
    CUnicodeFile(const CUnicodeFile&) = delete;
    CUnicodeFile& operator=(const CUnicodeFile&) = delete;

    // Reads the whole file; it must start with the byte order mark FF FE. Position 0 is the mark.
    // Anything but a regular file of at most 64 MB counts as a file that cannot be opened.
    int Load(const std::string& path);

    // origin is a SeekPosition; anything else gives kIniBadSeekOrigin. The offset is not range-checked
    // here; ReadLine treats any position outside the data as the end.
    int Seek(long offset, int origin);

    // Bytes from the position to the next CR LF (0D 00 0A 00, searched byte by byte), or -1.
    long GetNextLineOffset() const;

    // Copies the next line (without its CR LF, without a terminator) into buffer and converts it to host
    // byte order. length receives its size in bytes.
    int ReadLine(std::uint8_t* buffer, long bufferSize, long& length);

    // Swaps the bytes of each UTF-16 unit on a big-endian host; does nothing on a little-endian one.
    static void UpToLowBytes(std::uint8_t* buffer, long length);

    const std::string& Path() const { return m_path; }
    long Position() const { return m_position; }
    long Size() const { return m_size; }
    long Capacity() const { return m_capacity; }
    const std::vector<std::uint8_t>& Data() const { return m_data; }

private:
    void Release();

    std::string m_path;
    std::vector<std::uint8_t> m_data;
    long m_position = 0;
    long m_size = 0;
    long m_capacity = 0;
};

}  // namespace fotolume::config
