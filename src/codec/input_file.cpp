#include "codec/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "codec/byte_order.h"

namespace fotolume::codec {

namespace {

const char* KindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a plain file";
}

void Say(std::string* problem, std::string text) {
    if (problem) *problem = std::move(text);
}

PictureFileEnd JpegEnd(std::span<const std::uint8_t> b) {
    const std::size_t size = b.size();
    std::size_t pos = 2;
    for (;;) {
        if (pos >= size) return PictureFileEnd::EndsEarly;
        if (b[pos] != 0xFF) return PictureFileEnd::Unknown;  // damaged: the decoder judges it
        while (pos < size && b[pos] == 0xFF) ++pos;          // fill bytes before a marker
        if (pos >= size) return PictureFileEnd::EndsEarly;
        const std::uint8_t marker = b[pos++];
        if (marker == 0xD9) return PictureFileEnd::Complete;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length follows
        if (pos + 2 > size) return PictureFileEnd::EndsEarly;
        const std::size_t length = read_u16be(&b[pos]);
        if (length < 2) return PictureFileEnd::Unknown;
        if (pos + length > size) return PictureFileEnd::EndsEarly;
        pos += length;
        if (marker != 0xDA) continue;
        // Entropy-coded data runs to the next marker that is not a stuffed zero or a restart.
        for (;;) {
            if (pos + 1 >= size) return PictureFileEnd::EndsEarly;
            if (b[pos] != 0xFF) {
                ++pos;
                continue;
            }
            const std::uint8_t next = b[pos + 1];
            if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
                pos += 2;
            } else if (next == 0xFF) {
                ++pos;
            } else {
                break;
            }
        }
    }
}

PictureFileEnd PngEnd(std::span<const std::uint8_t> b) {
    std::uint64_t pos = 8;
    for (;;) {
        if (pos + 8 > b.size()) return PictureFileEnd::EndsEarly;
        const std::uint64_t length = read_u32be(&b[pos]);
        if (length > 0x7FFFFFFF) return PictureFileEnd::Unknown;
        const bool last = std::memcmp(&b[pos + 4], "IEND", 4) == 0;
        pos += 12 + length;  // length, type, data, check sum
        if (pos > b.size()) return PictureFileEnd::EndsEarly;
        if (last) return PictureFileEnd::Complete;
    }
}

PictureFileEnd BmpEnd(std::span<const std::uint8_t> b) {
    if (b.size() < 54) return PictureFileEnd::EndsEarly;
    const std::uint32_t dataOffset = read_u32le(&b[10]);
    const auto width = static_cast<std::int32_t>(read_u32le(&b[18]));
    const auto height = static_cast<std::int32_t>(read_u32le(&b[22]));
    const unsigned bitCount = read_u16le(&b[28]);
    const std::uint32_t compression = read_u32le(&b[30]);
    // Only uncompressed rows have a length the header fixes (3: plain rows with colour masks).
    if (read_u32le(&b[14]) < 40 || (compression != 0 && compression != 3) || width <= 0 || height == 0 ||
        bitCount == 0 || bitCount > 32) {
        return PictureFileEnd::Unknown;
    }
    const std::uint64_t rows = height < 0 ? -std::int64_t{height} : height;
    const std::uint64_t stride = (std::uint64_t{static_cast<std::uint32_t>(width)} * bitCount + 31) / 32 * 4;
    return dataOffset + stride * rows > b.size() ? PictureFileEnd::EndsEarly : PictureFileEnd::Complete;
}

}  // namespace

int OpenInputFile(const std::string& path, std::string* problem) {
    // Looked at before it is opened: opening a device may already do something.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        Say(problem, std::strerror(errno));
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        Say(problem, std::string("not a regular file but ") + KindOf(st.st_mode));
        return -1;
    }
    // O_NONBLOCK: should the name be swapped for a FIFO in between, the open still returns at once.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        Say(problem, std::strerror(errno));
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        Say(problem, std::string("not a regular file but ") + KindOf(st.st_mode));
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool ReadInputFile(const std::string& path, std::uintmax_t maxBytes, std::vector<std::uint8_t>& bytes,
                   std::string* problem) {
    bytes.clear();
    const int fd = OpenInputFile(path, problem);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
        Say(problem, "larger than " + std::to_string(maxBytes >> 20) + " MB");
        ok = false;
    }
    try {
        if (ok) bytes.resize(static_cast<std::size_t>(st.st_size));
    } catch (const std::bad_alloc&) {
        Say(problem, "too large to read");
        ok = false;
    }
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            Say(problem, std::strerror(errno));
            ok = false;
        }
        if (n <= 0) break;  // a file that shrank while read: what is there
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(done);
    return ok;
}

PictureFileCheck CheckPictureFileEnd(std::span<const std::uint8_t> file) {
    static const std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF) return {JpegEnd(file), "JPEG"};
    if (file.size() >= 8 && std::memcmp(file.data(), kPng, 8) == 0) return {PngEnd(file), "PNG"};
    if (file.size() >= 2 && file[0] == 'B' && file[1] == 'M') return {BmpEnd(file), "BMP"};
    return {};
}

}  // namespace fotolume::codec
