// BMP writing and reading.
#include "codec/bmp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "codec/byte_order.h"
#include "codec/input_file.h"
#include "codec/stream_decoder.h"

namespace fotolume::codec {

namespace {

constexpr int kBmpHeaderSize = 54;

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::vector<std::uint8_t> MakeBmpFile(const std::uint8_t* topDownRows, std::size_t rowBytes, int width, int height,
                                      int bytesPerPixel, int pixelsPerMetre) {
    const std::size_t stride = (static_cast<std::size_t>(width) * bytesPerPixel + 3) & ~std::size_t{3};
    const std::size_t imageSize = stride * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> file(kBmpHeaderSize + imageSize, 0);
    std::uint8_t* h = file.data();
    h[0] = 'B';
    h[1] = 'M';
    write_u32le(h + 2, static_cast<std::uint32_t>(kBmpHeaderSize + imageSize));
    write_u32le(h + 10, kBmpHeaderSize);
    write_u32le(h + 14, 40);
    write_u32le(h + 18, static_cast<std::uint32_t>(width));
    write_u32le(h + 22, static_cast<std::uint32_t>(height));
    write_u16le(h + 26, 1);
    write_u16le(h + 28, static_cast<unsigned>(8 * bytesPerPixel));
    write_u32le(h + 34, static_cast<std::uint32_t>(imageSize));
    write_u32le(h + 38, static_cast<std::uint32_t>(pixelsPerMetre));
    write_u32le(h + 42, static_cast<std::uint32_t>(pixelsPerMetre));
    const std::size_t copy = std::min(stride, rowBytes);
    for (int j = 0; j < height; ++j) {
        const std::uint8_t* src = topDownRows + static_cast<std::size_t>(height - 1 - j) * rowBytes;
        std::memcpy(h + kBmpHeaderSize + static_cast<std::size_t>(j) * stride, src, copy);
    }
    return file;
}

bool WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        // A device or a FIFO is written to, never renamed over: replacing /dev/null with a file would
        // take it from every program. A FIFO nobody reads is refused instead of waited on.
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return false;
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        const bool written = WriteAll(fd, bytes.data(), bytes.size());
        return ::close(fd) == 0 && written;
    }
    static std::atomic<unsigned> counter{0};
    const std::string temp = path + ".part" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, bytes.data(), bytes.size());
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

namespace {

// The header's 32-bit size fields must hold the file.
bool FitsBmp(int width, int height, int bytesPerPixel) {
    const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bytesPerPixel + 3) & ~std::uint64_t{3};
    return width >= 1 && height >= 1 && stride * static_cast<std::uint64_t>(height) + kBmpHeaderSize <= 0xFFFFFFFFu;
}

}  // namespace

bool SaveBmpFile(const std::string& path, const std::uint8_t* topDownRows, std::size_t rowBytes, int width,
                 int height, int pixelsPerMetre) {
    if (topDownRows == nullptr || !FitsBmp(width, height, 3)) return false;
    try {
        return WriteFileReplacing(path, MakeBmpFile(topDownRows, rowBytes, width, height, 3, pixelsPerMetre));
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// The file's row stride is that of the true width; each row is the start of a buffer row, so bytes past
// the true width carry whatever the decoder left there.
int JPGEncode::BmpSave(const std::string& outputPath, const std::uint8_t* buffer, int bufferWidth, int height,
                       int bytesPerPixel) {
    if (buffer == nullptr || bytesPerPixel < 1 || bytesPerPixel > 4 || !FitsBmp(m_trueWidth, height, bytesPerPixel))
        return 0;
    const std::size_t rowBytes = static_cast<std::size_t>(bufferWidth) * bytesPerPixel;
    try {
        const auto file = MakeBmpFile(buffer, rowBytes, m_trueWidth, height, bytesPerPixel, m_pixelsPerMetre);
        return WriteFileReplacing(outputPath, file) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

namespace {
int ReadBmpPixels(int fd, std::vector<std::uint8_t>& pixels, int width, int height, bool& endedEarly);
}  // namespace

int LoadPicFromDir(const std::string& path, std::vector<std::uint8_t>& pixels, int width, int height,
                   bool* endedEarly) {
    if (endedEarly) *endedEarly = false;
    if (width < 1 || height < 1) return 0;
    const int fd = OpenInputFile(path);
    if (fd < 0) return 0;
    bool shortFile = false;
    int result = 0;
    try {
        result = ReadBmpPixels(fd, pixels, width, height, shortFile);
    } catch (const std::bad_alloc&) {
        pixels.clear();
    }
    ::close(fd);
    if (endedEarly) *endedEarly = result == 1 && shortFile;
    return result;
}

namespace {

// Reads up to size bytes at offset; the bytes past the file's end stay as they were.
std::size_t ReadAt(int fd, std::uint8_t* into, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, into + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

int ReadBmpPixels(int fd, std::vector<std::uint8_t>& pixels, int width, int height, bool& endedEarly) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return 0;
    const auto fileSize = static_cast<std::uint64_t>(std::max<off_t>(st.st_size, 0));

    std::uint8_t header[kBmpHeaderSize] = {};
    endedEarly = ReadAt(fd, header, kBmpHeaderSize, 0) < kBmpHeaderSize;
    const int bitCount = header[28];
    const std::uint32_t infoSize = read_u32le(header + 14);
    const std::uint32_t dataOffset = read_u32le(header + 10);
    const bool topDown = static_cast<std::int32_t>(read_u32le(header + 22)) < 0;
    // Our own files keep their pixels at 54; other writers may put colour masks or a palette first.
    const std::uint64_t start = dataOffset > kBmpHeaderSize && dataOffset < fileSize ? dataOffset : kBmpHeaderSize;

    const std::size_t stride = Bmp24Stride(width);
    pixels.assign(stride * static_cast<std::size_t>(height), 0);

    std::uint8_t palette[256][4] = {};
    if (bitCount == 8 && infoSize >= 40 && infoSize < 0x10000) {
        ReadAt(fd, &palette[0][0], sizeof palette, 14 + std::uint64_t{infoSize});
    }

    std::size_t fileRowBytes;
    switch (bitCount) {
        case 8: fileRowBytes = (static_cast<std::size_t>(width) + 3) & ~std::size_t{3}; break;
        case 16: fileRowBytes = (static_cast<std::size_t>(width) * 2 + 3) & ~std::size_t{3}; break;
        case 32: fileRowBytes = static_cast<std::size_t>(width) * 4; break;
        default: fileRowBytes = stride; break;
    }
    std::vector<std::uint8_t> row(fileRowBytes);
    for (int i = 0; i < height; ++i) {
        std::fill(row.begin(), row.end(), std::uint8_t{0});
        // The rows a file lacks stay 0: black.
        if (ReadAt(fd, row.data(), fileRowBytes, start + std::uint64_t{fileRowBytes} * i) < fileRowBytes) {
            endedEarly = true;
        }
        std::uint8_t* dst = pixels.data() + static_cast<std::size_t>(topDown ? height - 1 - i : i) * stride;
        switch (bitCount) {
            case 8:
                for (int x = 0; x < width; ++x) std::memcpy(dst + 3 * x, palette[row[x]], 3);
                break;
            case 16:
                for (int x = 0; x < width; ++x) {
                    const unsigned word = read_u16le(row.data() + 2 * x);
                    dst[3 * x] = static_cast<std::uint8_t>((word & 0x1F) << 3);
                    dst[3 * x + 1] = static_cast<std::uint8_t>(((word >> 5) & 0x1F) << 3);
                    dst[3 * x + 2] = static_cast<std::uint8_t>(((word >> 10) & 0x1F) << 3);
                }
                break;
            case 32:
                for (int x = 0; x < width; ++x) std::memcpy(dst + 3 * x, row.data() + 4 * x, 3);
                break;
            default: std::memcpy(dst, row.data(), stride); break;
        }
    }
    return 1;
}

}  // namespace

}  // namespace fotolume::codec
