// BMP reading and writing, and the file-level EnCode.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "codec/bmp_file.h"
#include "codec/input_file.h"
#include "codec/picture_files.h"
#include "codec/stream_decoder.h"
#include "tests/codec/codec_test_util.h"

namespace fotolume::codec::test {
namespace {

void Put16(std::vector<std::uint8_t>& v, std::size_t at, unsigned x) {
    v[at] = static_cast<std::uint8_t>(x);
    v[at + 1] = static_cast<std::uint8_t>(x >> 8);
}
void Put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<std::uint8_t>(x >> (8 * i));
}
std::uint32_t Get32(const std::vector<std::uint8_t>& v, std::size_t at) {
    return v[at] | (v[at + 1] << 8) | (v[at + 2] << 16) | (static_cast<std::uint32_t>(v[at + 3]) << 24);
}

// A BMP header as other writers make it: sizes, bit count and data offset as given.
std::vector<std::uint8_t> BmpHeader(int w, int h, int bits, std::uint32_t dataOffset) {
    std::vector<std::uint8_t> f(dataOffset, 0);
    f[0] = 'B';
    f[1] = 'M';
    Put32(f, 10, dataOffset);
    Put32(f, 14, 40);
    Put32(f, 18, static_cast<std::uint32_t>(w));
    Put32(f, 22, static_cast<std::uint32_t>(h));
    Put16(f, 26, 1);
    Put16(f, 28, static_cast<unsigned>(bits));
    return f;
}

TEST(BmpReading, TwentyFourBitRowsOf130PixelsAreNotSheared) {
    ScratchDir dir;
    const Picture p = SharpPicture(130, 20);
    auto file = BmpHeader(130, 20, 24, 54);
    const auto rows = ToBmpRows(p);
    ASSERT_EQ(rows.size(), 392u * 20);
    file.insert(file.end(), rows.begin(), rows.end());
    WriteBytes(dir / "a.bmp", file);

    std::vector<std::uint8_t> pixels;
    ASSERT_EQ(LoadPicFromDir((dir / "a.bmp").string(), pixels, 130, 20), 1);
    EXPECT_EQ(pixels, rows);
    const std::size_t size = CKv318Encoder::EnCode((dir / "a.bmp").string(), (dir / "a.dpf").string(), 130, 20, 90, 3, false);
    EXPECT_EQ(ReadBytes(dir / "a.dpf"), Encode(p, 90, 3));
    EXPECT_EQ(size, ReadBytes(dir / "a.dpf").size());
}

TEST(BmpReading, SixteenBitRowsOf130PixelsBecome24BitRows) {
    ScratchDir dir;
    auto file = BmpHeader(130, 3, 16, 54);
    std::vector<std::uint8_t> data(260 * 3, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 130; ++x)
            Put16(data, static_cast<std::size_t>(260 * y + 2 * x),
                  static_cast<unsigned>((x % 32) | ((y * 10 % 32) << 5) | (((x + y) % 32) << 10) | 0x8000));
    file.insert(file.end(), data.begin(), data.end());
    WriteBytes(dir / "b.bmp", file);

    std::vector<std::uint8_t> pixels;
    ASSERT_EQ(LoadPicFromDir((dir / "b.bmp").string(), pixels, 130, 3), 1);
    ASSERT_EQ(pixels.size(), 392u * 3);
    for (int y = 0; y < 3; ++y) {
        for (int x : {0, 1, 64, 129}) {
            const std::uint8_t* px = pixels.data() + 392 * y + 3 * x;
            EXPECT_EQ(px[0], (x % 32) << 3);
            EXPECT_EQ(px[1], (y * 10 % 32) << 3);
            EXPECT_EQ(px[2], ((x + y) % 32) << 3);
        }
        EXPECT_EQ(pixels[392 * y + 390], 0);  // padding
    }
}

TEST(BmpReading, OtherLayoutsOffsetsTopDownPalettesAndShortFiles) {
    ScratchDir dir;
    const Picture p = SmoothPicture(13, 6);
    const auto rows = ToBmpRows(p);

    // Pixel data after a longer header: the data offset is honoured.
    auto file = BmpHeader(13, 6, 24, 138);
    std::fill(file.begin() + 54, file.end(), 0xEE);
    file.insert(file.end(), rows.begin(), rows.end());
    WriteBytes(dir / "offset.bmp", file);
    std::vector<std::uint8_t> pixels;
    ASSERT_EQ(LoadPicFromDir((dir / "offset.bmp").string(), pixels, 13, 6), 1);
    EXPECT_EQ(pixels, rows);

    // 32-bit, top-down (negative height).
    file = BmpHeader(13, -6, 32, 54);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 13; ++x) {
            file.insert(file.end(), p.At(x, y), p.At(x, y) + 3);
            file.push_back(0x77);
        }
    WriteBytes(dir / "top.bmp", file);
    ASSERT_EQ(LoadPicFromDir((dir / "top.bmp").string(), pixels, 13, 6), 1);
    EXPECT_EQ(pixels, rows);

    // 8-bit with a palette of greys.
    file = BmpHeader(13, 6, 8, 54 + 1024);
    for (int i = 0; i < 256; ++i) std::fill_n(file.begin() + 54 + 4 * i, 3, static_cast<std::uint8_t>(255 - i));
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 13; ++x) file.push_back(static_cast<std::uint8_t>(x * 10 + y));
        file.insert(file.end(), 3, 0);
    }
    WriteBytes(dir / "grey.bmp", file);
    ASSERT_EQ(LoadPicFromDir((dir / "grey.bmp").string(), pixels, 13, 6), 1);
    EXPECT_EQ(pixels[40 * 2 + 3 * 4], 255 - (4 * 10 + 2));

    bool endedEarly = true;
    ASSERT_EQ(LoadPicFromDir((dir / "grey.bmp").string(), pixels, 13, 6, &endedEarly), 1);
    EXPECT_FALSE(endedEarly);

    // A short file: what is missing stays black, and the reader says so. A missing file is refused, and
    // so is anything but a regular file, at once: a FIFO nobody writes to must not hold the reader.
    file = BmpHeader(13, 6, 24, 54);
    file.insert(file.end(), rows.begin(), rows.begin() + 40 * 2 + 5);
    WriteBytes(dir / "short.bmp", file);
    ASSERT_EQ(LoadPicFromDir((dir / "short.bmp").string(), pixels, 13, 6, &endedEarly), 1);
    EXPECT_TRUE(endedEarly);
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.begin() + 85, rows.begin()));
    EXPECT_TRUE(std::all_of(pixels.begin() + 85, pixels.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(LoadPicFromDir((dir / "none.bmp").string(), pixels, 13, 6), 0);
    EXPECT_EQ(LoadPicFromDir(dir.Path().string(), pixels, 13, 6), 0);
    EXPECT_EQ(LoadPicFromDir((dir / "short.bmp").string(), pixels, 0, 6), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(LoadPicFromDir((dir / "fifo").string(), pixels, 13, 6), 0);
    std::string problem;
    EXPECT_EQ(OpenInputFile((dir / "fifo").string(), &problem), -1);
    EXPECT_EQ(problem, "not a regular file but a FIFO");
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, (dir / "socket").c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(OpenInputFile((dir / "socket").string(), &problem), -1);
    EXPECT_EQ(problem, "not a regular file but a socket");
    ::close(socket);
    std::vector<std::uint8_t> bytes;
    EXPECT_FALSE(ReadInputFile((dir / "short.bmp").string(), 100, bytes, &problem)) << "larger than allowed";
    EXPECT_TRUE(ReadInputFile((dir / "short.bmp").string(), 1000, bytes, &problem));
    EXPECT_EQ(bytes, file);
    JPGEncode decoder;
    EXPECT_FALSE(decoder.DecodeMyPicture((dir / "fifo").string(), (dir / "out.bmp").string(), 13, 6));
}

// Whether a picture file stops inside the picture, from the structure of each format: every cut of a
// whole file is seen, and what follows the end (a camera's trailer) is not mistaken for it.
TEST(PictureFileEnd, EveryCutOfAWholeFileIsSeen) {
    ScratchDir dir;
    const Picture p = SmoothPicture(40, 30);
    ASSERT_TRUE(SaveBmpFile((dir / "p.bmp").string(), p.bgr.data(), 3 * 40, 40, 30));
    ASSERT_GT(CKv318Encoder::EnCode((dir / "p.bmp").string(), (dir / "p.jpg").string(), 40, 30, 90, 3, true), 0u);
    // PNG chunks: length, type, data, check sum (not verified by the check).
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&](const char* type, std::size_t length) {
        const std::uint8_t size[4] = {0, 0, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
        png.insert(png.end(), size, size + 4);
        png.insert(png.end(), type, type + 4);
        png.insert(png.end(), length + 4, 0x5A);
    };
    chunk("IHDR", 13);
    chunk("IDAT", 300);
    chunk("IEND", 0);
    struct Case {
        std::vector<std::uint8_t> file;
        const char* format;
        std::size_t shortest;  // cuts from here on are recognised as the format
    } cases[] = {{ReadBytes(dir / "p.bmp"), "BMP", 2}, {ReadBytes(dir / "p.jpg"), "JPEG", 3}, {png, "PNG", 8}};
    for (const Case& c : cases) {
        PictureFileCheck whole = CheckPictureFileEnd(c.file);
        EXPECT_EQ(whole.end, PictureFileEnd::Complete) << c.format;
        EXPECT_STREQ(whole.format, c.format);
        std::vector<std::uint8_t> trailer = c.file;
        trailer.insert(trailer.end(), {0x00, 0xFF, 0xD8, 0x12});
        EXPECT_EQ(CheckPictureFileEnd(trailer).end, PictureFileEnd::Complete) << c.format;
        for (std::size_t cut = c.shortest; cut < c.file.size(); ++cut) {
            const PictureFileCheck part = CheckPictureFileEnd(std::span(c.file.data(), cut));
            ASSERT_EQ(part.end, PictureFileEnd::EndsEarly) << c.format << " cut at " << cut;
        }
    }
    // Compressed BMP rows have no length the header fixes; other formats are not judged.
    auto rle = ReadBytes(dir / "p.bmp");
    Put32(rle, 30, 1);
    EXPECT_EQ(CheckPictureFileEnd(rle).end, PictureFileEnd::Unknown);
    EXPECT_EQ(CheckPictureFileEnd(std::vector<std::uint8_t>{'G', 'I', 'F', '8', '9', 'a'}).end, PictureFileEnd::Unknown);
    EXPECT_EQ(CheckPictureFileEnd({}).end, PictureFileEnd::Unknown);
}

TEST(BmpWriting, HeaderFieldsAndRowOrder) {
    ScratchDir dir;
    const Picture p = SharpPicture(101, 7);
    ASSERT_TRUE(SaveBmpFile((dir / "w.bmp").string(), p.bgr.data(), 3 * 101, 101, 7));
    const auto f = ReadBytes(dir / "w.bmp");
    ASSERT_EQ(f.size(), 54u + 304 * 7);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(f[26] | (f[27] << 8), 1);   // planes
    EXPECT_EQ(f[28] | (f[29] << 8), 24);  // bits per pixel
    // File size, data offset, header size, width, height, compression, data size, pixels per metre
    // across and down, palette sizes.
    const std::pair<std::size_t, std::uint32_t> fields[] = {{2, 54 + 304 * 7}, {10, 54}, {14, 40}, {18, 101},
                                                            {22, 7}, {30, 0}, {34, 304 * 7}, {38, 300},
                                                            {42, 300}, {46, 0}, {50, 0}};
    for (const auto& [at, value] : fields) EXPECT_EQ(Get32(f, at), value) << "the field at " << at;

    // What the writer writes, the reader reads back as encoder rows.
    std::vector<std::uint8_t> pixels;
    ASSERT_EQ(LoadPicFromDir((dir / "w.bmp").string(), pixels, 101, 7), 1);
    EXPECT_EQ(pixels, ToBmpRows(p));
    EXPECT_FALSE(SaveBmpFile((dir / "no" / "w.bmp").string(), p.bgr.data(), 3 * 101, 101, 7));
}

// A FIFO (as /dev/null or a device) named as the destination is written to, never replaced by a file.
TEST(BmpWriting, ADestinationThatIsNoPlainFileIsWrittenToNotReplaced) {
    ScratchDir dir;
    const std::string fifo = (dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const Picture p = SharpPicture(4, 2);
    EXPECT_FALSE(SaveBmpFile(fifo, p.bgr.data(), 12, 4, 2)) << "nobody reads the FIFO: refused, not waited on";
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(SaveBmpFile(fifo, p.bgr.data(), 12, 4, 2));
    std::vector<std::uint8_t> got(200);
    EXPECT_EQ(::read(reader, got.data(), got.size()), 54 + 12 * 2);
    ::close(reader);
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()), 1);
}

TEST(EnCodeFiles, JfifStartAndFailures) {
    ScratchDir dir;
    const Picture p = SmoothPicture(40, 30);
    ASSERT_TRUE(SaveBmpFile((dir / "p.bmp").string(), p.bgr.data(), 3 * 40, 40, 30));
    const std::string src = (dir / "p.bmp").string();

    ASSERT_GT(CKv318Encoder::EnCode(src, (dir / "p.jpg").string(), 40, 30, 100, 3, true), 0u);
    const auto jpg = ReadBytes(dir / "p.jpg");
    EXPECT_EQ(std::vector<std::uint8_t>(jpg.begin(), jpg.begin() + 4), (std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF, 0xE0}));

    EXPECT_EQ(CKv318Encoder::EnCode(src, (dir / "missing" / "p.dpf").string(), 40, 30, 90, 3, false), 0u);
    EXPECT_EQ(CKv318Encoder::EnCode((dir / "none.bmp").string(), (dir / "n.dpf").string(), 40, 30, 90, 3, false), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir / "n.dpf"));
    EXPECT_EQ(CKv318Encoder::EnCode(src, (dir / "m.dpf").string(), 40, 30, 90, 16, false), 0u);
    EXPECT_EQ(CKv318Encoder::EnCode(src, (dir / "m.dpf").string(), 40, 30, -10, 3, false), 0u);
    EXPECT_EQ(CKv318Encoder::EnCode(src, (dir / "m.dpf").string(), 0, 30, 90, 3, false), 0u);

    // A 1 x 1 panel: far more than 9 bytes per pixel, and it still fits.
    ASSERT_TRUE(SaveBmpFile((dir / "one.bmp").string(), p.bgr.data(), 3, 1, 1));
    EXPECT_GT(CKv318Encoder::EnCode((dir / "one.bmp").string(), (dir / "one.dpf").string(), 1, 1, 90, 3, false), 570u);
    // Replacing an existing stream leaves the new one only.
    const std::size_t n = CKv318Encoder::EnCode(src, (dir / "one.dpf").string(), 40, 30, 50, 3, false);
    EXPECT_EQ(ReadBytes(dir / "one.dpf").size(), n);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()), 4);
}

}  // namespace
}  // namespace fotolume::codec::test
