// fotolume-cli add and pull, and the demo frame of fotolume-sim, against a served frame.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QImage>
#include <QPainter>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include "album/album_store.h"
#include "codec/stream_decoder.h"
#include "compose/composition.h"
#include "sim/emulator_backend.h"
#include "sim/flash_emulator.h"
#include "sim/frame_image.h"
#include "tests/cli/program_runner.h"
#include "tests/support/qt_pictures.h"

namespace fotolume::cli::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// Peak signal-to-noise ratio of b against a over the three colour channels, in dB.
double Psnr(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) return 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const double dr = qRed(p[col]) - qRed(q[col]), dg = qGreen(p[col]) - qGreen(q[col]),
                         db = qBlue(p[col]) - qBlue(q[col]);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// A photo-like picture: smooth colour gradients under a few shapes, different for every seed, and
// without mirror symmetry, so a wrong crop, turn or stretch shows.
QImage Scene(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    QLinearGradient sky(0, 0, width, height);
    sky.setColorAt(0, QColor::fromHsv(seed * 67 % 360, 180, 240));
    sky.setColorAt(1, QColor::fromHsv((seed * 67 + 150) % 360, 220, 90));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(image.rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromHsv((seed * 67 + 240) % 360, 200, 230));
    painter.drawEllipse(QPointF(width * 0.3, height * 0.35), width * 0.18, height * 0.2);
    painter.setBrush(QColor(30, 30, 30));
    painter.drawRect(QRectF(width * 0.55, height * 0.6, width * 0.3, height * 0.15));
    return image;
}

// The panel bitmap as the preview shows the file right after loading, turned and zoomed as asked.
QImage Composed(const std::string& file, QSize panel, bool stretch = false, std::vector<bool> turns = {},
                int zoom = 0) {
    compose::CComposition c(compose::CComposition::ClientSizeFor(panel));
    c.SetRectSize(panel.width(), panel.height());
    c.SetRectMode(!stretch);
    if (!c.SetPicture(QString::fromStdString(file))) return {};
    for (bool left : turns) c.Rotate(left);
    for (int i = 0; i < zoom; ++i) c.Zoom(1);
    return c.GetCropBitmap();
}

class PictureCommands : public ProgramTest {
protected:
    void SetUp() override {
        // Scratch files of the programs stay in the test's folder.
        env = {"HOME=" + dir.String(), "XDG_CACHE_HOME=" + dir.String() + "/cache"};
        fs::create_directories(dir.String() + "/cache");
    }
    // A new frame with these create options, served.
    void Serve(std::vector<std::string> createOptions) {
        createOptions.insert(createOptions.begin(), {"create", image});
        RunResult made = Sim(createOptions);
        ASSERT_EQ(made.exitCode, 0) << made.err;
        frame = std::make_unique<ServedFrame>(image, frames + "/f.sock");
    }
    std::string Save(const QImage& picture, const std::string& name, const char* format = nullptr) {
        const std::string path = dir.String() + "/" + name;
        EXPECT_TRUE(picture.save(QString::fromStdString(path), format));
        return path;
    }
    int PictureCount() {
        RunResult r = Cli({"list"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return static_cast<int>(Lines(r.out));
    }

    std::unique_ptr<ServedFrame> frame;
};

TEST_F(PictureCommands, AddedPicturesComeBackAsComposed) {
    Serve({"--panel", "128x160"});
    const QSize panel(128, 160);
    const std::string wide = Save(Scene(640, 480, 1), "wide.png");
    const std::string tall = Save(Scene(300, 500, 2), "tall.jpg", "JPG");
    const std::string small = Save(Scene(100, 90, 3), "small.bmp");

    RunResult r = Cli({"add", wide, tall, small, "--quality", "90"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr(wide + ": picture 1, quality 90, "));
    EXPECT_THAT(r.out, HasSubstr(small + ": picture 3, quality 90, "));
    EXPECT_THAT(r.out, HasSubstr("Added 3 of 3 picture(s); the album holds 3"));

    const std::string pulled = dir.String() + "/pulled";
    r = Cli({"pull", pulled});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Pulled 3 of 3 picture(s)"));
    const std::string sources[3] = {wide, tall, small};
    QImage back[3];
    for (int i = 0; i < 3; ++i) {
        back[i] = QImage(QString::fromStdString(pulled + "/000" + std::to_string(i + 1) + ".bmp"));
        ASSERT_EQ(back[i].size(), panel) << i;
    }
    EXPECT_FALSE(fs::exists(pulled + "/0004.bmp"));
    // At quality 90 the frame's coding (4:2:0 chroma) keeps these smooth pictures above 35 dB; a crop
    // a few pixels off, a turned, stretched or colour-swapped picture falls below 25 dB. 30 dB lies
    // between with room on both sides, and the crossed comparisons below prove the margin.
    for (int i = 0; i < 3; ++i) {
        const QImage expected = Composed(sources[i], panel);
        EXPECT_GT(Psnr(expected, back[i]), 30) << sources[i];
        EXPECT_LT(Psnr(expected, back[(i + 1) % 3]), 30) << sources[i];
        EXPECT_LT(Psnr(Composed(sources[i], panel, true), back[i]), 30) << "stretched instead of cropped";
    }

    // Turns, zoom and stretch as the buttons give them; the album grows behind what is there.
    r = Cli({"add", wide, "--rotate", "left", "--rotate", "left", "--rotate", "right", "--zoom", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Cli({"add", tall, "--stretch", "--quality", "100"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("picture 5, quality 100, "));
    r = Cli({"pull", pulled});
    EXPECT_EQ(r.exitCode, 4) << "the first three names are taken";
    r = Cli({"pull", pulled, "--force"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const QImage turned(QString::fromStdString(pulled + "/0004.bmp"));
    EXPECT_GT(Psnr(Composed(wide, panel, false, {true, true, false}, 2), turned), 30);
    EXPECT_LT(Psnr(Composed(wide, panel, false, {true, true, false}, 0), turned), 30) << "the zoom was lost";
    EXPECT_LT(Psnr(Composed(wide, panel, false, {false}, 2), turned), 30) << "turned the wrong way";
    const QImage stretched(QString::fromStdString(pulled + "/0005.bmp"));
    EXPECT_GT(Psnr(Composed(tall, panel, true), stretched), 30);
}

TEST_F(PictureCommands, PictureTooLargeForTheFreeSpaceIsSkippedAndTheRestCommitted) {
    // 60 pictures at most: each new one may take a sixtieth of the free bytes, about 33 KB, which no
    // quality step brings a 640x480 picture of random pixels under (it needs about 49 KB at quality 10),
    // while the smooth pictures below fit at quality 90.
    Serve({"--panel", "640x480", "--max-pictures", "60"});
    const std::string first = Save(Scene(800, 600, 4), "first.png");
    const std::string noise = Save(testsupport::NoisePicture(640, 480, 42), "noise.png");
    const std::string broken = dir.String() + "/broken.jpg";
    std::ofstream(broken) << "not a picture";
    const std::string last = Save(Scene(640, 480, 5), "last.png");

    RunResult r = Cli({"add", first, noise, broken, last});
    EXPECT_EQ(r.exitCode, 4) << r.err;
    EXPECT_THAT(r.err, HasSubstr(noise + ": too large: "));
    EXPECT_THAT(r.err, HasSubstr("even at quality 10"));
    EXPECT_THAT(r.err, HasSubstr(broken + ": cannot be read as a picture; skipped"));
    EXPECT_THAT(r.out, HasSubstr(first + ": picture 1, quality 90, "));
    EXPECT_THAT(r.out, HasSubstr(last + ": picture 2, quality "));
    // Committed: a new reader of the frame sees both.
    EXPECT_EQ(PictureCount(), 2);
}

TEST_F(PictureCommands, AnAddThatCompactsKeepsThePicturesAlreadyThere) {
    // A 128 KB frame: 61440 bytes of pictures. Three raw pictures fill all but 1440 of them.
    ASSERT_EQ(Sim({"create", image, "--flash-size", "128K"}).exitCode, 0);
    std::vector<std::vector<uint8_t>> raw;
    {
        auto emulator = sim::CFlashEmulator::OpenImage(image, {});
        album::CAlbumStore store;
        store.Bind(sim::MakeEmulatorBackend({emulator.get()}), "zentaris");
        testsupport::ReadAlbum(store, false);
        for (uint32_t size : {20000u, 30000u, 10000u}) {
            raw.emplace_back(size);
            for (uint32_t i = 0; i < size; ++i) raw.back()[i] = static_cast<uint8_t>(i * 13 + size);
            ASSERT_TRUE(store.AddPictureData(raw.back().data(), size));
        }
        ASSERT_TRUE(store.CommitAlbum());
    }
    frame = std::make_unique<ServedFrame>(image, frames + "/f.sock");
    // The first picture's bytes become a hole; a new picture fits only when the others move down.
    ASSERT_EQ(Cli({"delete", "1"}).exitCode, 0);
    RunResult r = Cli({"add", Save(Scene(300, 300, 10), "new.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto album = AlbumOnImage(image);
    ASSERT_EQ(album.size(), 3u);
    EXPECT_EQ(album[0], raw[1]);
    EXPECT_EQ(album[1], raw[2]);
    EXPECT_GT(album[2].size(), 1440u) << "the new picture did not need the compaction";
}

TEST_F(PictureCommands, AnAlbumAtItsMaximumCountRefusesEveryAdd) {
    Serve({"--max-pictures", "2"});
    const std::string a = Save(Scene(200, 200, 6), "a.png");
    const std::string b = Save(Scene(200, 200, 7), "b.png");
    ASSERT_EQ(Cli({"add", a, b}).exitCode, 0);
    const std::vector<uint8_t> before = ReadBytes(image);

    RunResult r = Cli({"add", a, b, "--quality", "10"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_THAT(r.err, HasSubstr(a + ": the album is full"));
    EXPECT_THAT(r.err, HasSubstr(b + ": the album is full"));
    EXPECT_THAT(r.out, HasSubstr("Added 0 of 2 picture(s); the album holds 2"));
    EXPECT_EQ(ReadBytes(image), before) << "nothing to commit, nothing written";
}

TEST_F(PictureCommands, PullKeepsExistingFilesUnlessForcedAndWritesJfif) {
    Serve({});
    const std::string a = Save(Scene(320, 240, 8), "a.png");
    const std::string b = Save(Scene(320, 240, 9), "b.png");
    ASSERT_EQ(Cli({"add", a, b}).exitCode, 0);
    const std::string out = dir.String() + "/out";
    fs::create_directories(out);
    std::ofstream(out + "/0002.bmp") << "keep me";

    RunResult r = Cli({"pull", out});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_THAT(r.err, HasSubstr("0002.bmp exists; --force overwrites it"));
    EXPECT_FALSE(fs::exists(out + "/0001.bmp")) << "nothing written when a name is taken";
    EXPECT_EQ(fs::file_size(out + "/0002.bmp"), 7u);

    r = Cli({"pull", out, "--jpeg"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* name : {"/0001.jpg", "/0002.jpg"}) {
        const std::vector<uint8_t> jpeg = ReadBytes(out + name);
        ASSERT_GE(jpeg.size(), 4u);
        EXPECT_EQ(std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 4), (std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE0}));
        EXPECT_EQ(QImage(QString::fromStdString(out + name)).size(), QSize(128, 128));
    }
    EXPECT_GT(Psnr(Composed(b, {128, 128}), QImage(QString::fromStdString(out + "/0002.jpg"))), 30);

    r = Cli({"pull", out, "--force"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(QImage(QString::fromStdString(out + "/0002.bmp")).size(), QSize(128, 128));

    EXPECT_EQ(Cli({"pull"}).exitCode, 1);
    EXPECT_EQ(Cli({"add", a, "--stretch", "--zoom", "1"}).exitCode, 1);
    EXPECT_EQ(Cli({"add", a, "--rotate", "up"}).exitCode, 1);
    EXPECT_EQ(Cli({"add", a, "--quality", "0"}).exitCode, 1);
}

TEST_F(PictureCommands, DemoFrameHoldsDistinctReadablePictures) {
    Serve({"--demo", "6", "--panel", "160x128"});
    RunResult r = Cli({"info"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Pictures:         6"));
    const std::string out = dir.String() + "/demo";
    r = Cli({"pull", out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<QImage> cards;
    for (int i = 1; i <= 6; ++i) {
        cards.emplace_back(QString::fromStdString(out + "/000" + std::to_string(i) + ".bmp"));
        ASSERT_EQ(cards.back().size(), QSize(160, 128)) << i;
    }
    for (int i = 0; i < 6; ++i) {
        for (int j = i + 1; j < 6; ++j) EXPECT_LT(Psnr(cards[i], cards[j]), 20) << i + 1 << " and " << j + 1;
    }
    // A demo that cannot fit leaves no frame behind.
    const std::string tooMany = dir.String() + "/tiny.img";
    r = Sim({"create", tooMany, "--demo", "3", "--max-pictures", "2"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_THAT(r.err, HasSubstr("room for 2 demo pictures, not 3"));
    EXPECT_FALSE(fs::exists(tooMany));
}

// A header no frame has: every add is refused before anything is erased and without allocating by the
// header's numbers (the panel of 65535x65535 took gigabytes), with a line naming the wrong field.
TEST_F(PictureCommands, AHeaderNoFrameHasIsRefusedBeforeAnyEraseOrLargeAllocation) {
    const std::string picture = Save(Scene(640, 480, 11), "p.png");
    struct Case {
        uint32_t offset, value, width;  // a header field and its new value, width bytes
        const char* problem;
    } cases[] = {
        {sim::kHeaderWidth, 0xFFFFFFFF, 4, "the header's panel size 65535x65535 is larger than any frame's"},
        {sim::kHeaderWidth, 0, 2, "the header's panel size 0x128 has a side of zero"},
        {sim::kHeaderFlashSize, 3 << 20, 3, "the header's flash size 3145728 bytes is not a power of two"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Sim({"create", image, "--demo", "2"}).exitCode, 0);
        {
            std::fstream file(image, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(c.offset);
            for (uint32_t i = 0; i < c.width; ++i) file.put(static_cast<char>(c.value >> (8 * i)));
        }
        const std::vector<uint8_t> before = ReadBytes(image);
        frame = std::make_unique<ServedFrame>(image, frames + "/f.sock");
        RunResult r = Cli({"add", picture});
        EXPECT_EQ(r.exitCode, 3) << c.problem;
        EXPECT_EQ(r.err.rfind(std::string("fotolume-cli: this frame cannot be written: ") + c.problem, 0), 0u)
            << r.err;
        EXPECT_EQ(Lines(r.err), 1) << r.err;
        EXPECT_LT(r.maxRssKb, 400 * 1024) << c.problem;
        r = Cli({"info"});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_THAT(r.out, HasSubstr(std::string("not writable, edits are refused: ") + c.problem));
        if (c.offset == sim::kHeaderWidth) {
            r = Cli({"pull", dir.String() + "/pulled"});
            EXPECT_EQ(r.exitCode, 3);
            EXPECT_THAT(r.err, HasSubstr(std::string("no picture can be decoded for this frame: ") + c.problem));
            EXPECT_LT(r.maxRssKb, 400 * 1024);
        }
        EXPECT_EQ(Cli({"delete", "1"}).exitCode, 3);
        frame.reset();
        EXPECT_EQ(ReadBytes(image), before) << c.problem;
    }
}

// Files of every kind handed to add: a FIFO and a folder are refused at once, a name that is not UTF-8
// is used as it stands, and a picture file that ends early is added with a warning saying what the
// picture shows where the file ends.
TEST_F(PictureCommands, InputFilesOfEveryKind) {
    Serve({});
    const std::string fifo = dir.String() + "/fifo.png";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string latin1 = dir.String() + "/caf\xE9.png";
    fs::copy_file(Save(Scene(300, 300, 12), "cafe.png"), latin1);
    auto cut = [&](const std::string& whole, const std::string& name) {
        const std::vector<uint8_t> bytes = ReadBytes(whole);
        std::ofstream(dir.String() + "/" + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size() / 2));
        return dir.String() + "/" + name;
    };
    const std::string green = Save(testsupport::SolidPicture(300, 200, qRgb(20, 220, 20)), "green.bmp");
    const std::string halfBmp = cut(green, "half.bmp");
    const std::string halfJpeg = cut(Save(Scene(640, 480, 13), "scene.jpg", "JPG"), "half.jpg");
    const std::string halfPng = cut(Save(Scene(640, 480, 14), "scene.png"), "half.png");

    RunResult r = Cli({"add", fifo, dir.String(), latin1, halfBmp, halfJpeg, halfPng});
    EXPECT_EQ(r.exitCode, 4) << r.err;
    EXPECT_THAT(r.err, HasSubstr(fifo + ": not a regular file but a FIFO; skipped"));
    EXPECT_THAT(r.err, HasSubstr(dir.String() + ": not a regular file but a folder; skipped"));
    EXPECT_THAT(r.out, HasSubstr(latin1 + ": picture 1, "));
    EXPECT_THAT(r.err, HasSubstr("warning: " + halfBmp + ": ends early; its missing part is black\n"));
    EXPECT_THAT(r.out, HasSubstr(halfBmp + ": picture 2, "));
    EXPECT_THAT(r.err, HasSubstr("warning: " + halfJpeg + ": ends early; its missing part is grey\n"));
    EXPECT_THAT(r.out, HasSubstr(halfJpeg + ": picture 3, "));
    EXPECT_THAT(r.err, HasSubstr(halfPng + ": ends early and cannot be read as a picture; skipped"));
    // One line each (libpng itself may add its own "libpng error" line for the PNG file).
    size_t lines = 0;
    for (size_t at = r.err.find("fotolume-cli: "); at != std::string::npos; at = r.err.find("fotolume-cli: ", at + 1))
        ++lines;
    EXPECT_EQ(lines, 5u) << r.err;
    EXPECT_EQ(r.err.find("qt.gui.imageio"), std::string::npos) << "the reader's own warnings are not the user's";
    EXPECT_EQ(PictureCount(), 3);

    // The half BMP holds the picture's bottom rows: on the frame its top is black.
    ASSERT_EQ(Cli({"pull", dir.String() + "/pulled"}).exitCode, 0);
    const QImage half(QString::fromStdString(dir.String() + "/pulled/0002.bmp"));
    ASSERT_EQ(half.size(), QSize(128, 128));
    EXPECT_LT(qGreen(half.pixel(64, 8)), 40);
    EXPECT_GT(qGreen(half.pixel(64, 120)), 180);
}

// The colour a picture of the album shows: its decoded pixels' mean, as 0xRRGGBB.
QRgb MeanColour(const std::vector<uint8_t>& stream, int width, int height) {
    codec::JPGEncode decoder;
    if (!decoder.DecodeStream(stream, width, height)) return 0;
    uint64_t sum[3] = {};
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = decoder.VideoBuff().data() + size_t(y) * decoder.RoundedWidth() * 3;
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) sum[c] += row[3 * x + c];
    }
    const uint64_t n = uint64_t(width) * height;
    return qRgb(int(sum[2] / n), int(sum[1] / n), int(sum[0] / n));
}

// Two adds started at several offsets, and a list in between: each add commits whole or refuses with
// the line that names the other, the list sees an album before or after a commit (never the erased
// list of one in progress), and the frame holds the pictures it held plus exactly those of the adds
// that succeeded.
TEST_F(PictureCommands, TwoWritersNeverInterleave) {
    Serve({"--demo", "3"});
    const std::string redFile = Save(testsupport::SolidPicture(300, 200, qRgb(230, 20, 20)), "red.png");
    const std::string blueFile = Save(testsupport::SolidPicture(300, 200, qRgb(20, 20, 230)), "blue.png");
    std::vector<std::vector<uint8_t>> album = AlbumOnImage(image);
    ASSERT_EQ(album.size(), 3u);
    struct Case {
        int offsetMs;
        const char* wait;  // of the second add: 0 makes it refuse while the first holds the frame
    } cases[] = {{0, "5"}, {20, "5"}, {50, "5"}, {100, "5"}, {200, "5"}, {0, "0"}, {20, "0"}, {50, "0"}, {100, "0"}};
    int refusals = 0;
    for (const Case& c : cases) {
        auto first = Start({"add", redFile});
        std::this_thread::sleep_for(std::chrono::milliseconds(c.offsetMs));
        auto second = Start({"--wait", c.wait, "add", blueFile});
        auto reader = Start({"list"});
        const RunResult a = first->Finish(), b = second->Finish(), listed = reader->Finish();
        int added = 0;
        for (const RunResult* r : {&a, &b}) {
            if (r->exitCode == 0) {
                ++added;
                continue;
            }
            ++refusals;
            EXPECT_EQ(r->exitCode, 3) << c.offsetMs << ": " << r->err;
            EXPECT_EQ(r->err.rfind("fotolume-cli: the frame is in use by fotolume-cli (pid ", 0), 0u) << r->err;
            EXPECT_EQ(Lines(r->err), 1) << r->err;
        }
        EXPECT_EQ(listed.exitCode, 0) << listed.err;
        const auto lines = size_t(Lines(listed.out));
        EXPECT_GE(lines, album.size()) << "the list saw a write in progress";
        EXPECT_LE(lines, album.size() + 2);

        const auto now = AlbumOnImage(image);
        ASSERT_EQ(now.size(), album.size() + added) << c.offsetMs << " ms apart, wait " << c.wait;
        EXPECT_TRUE(std::equal(album.begin(), album.end(), now.begin())) << "a picture already there changed";
        int reds = 0, blues = 0;
        for (size_t i = album.size(); i < now.size(); ++i) {
            const QRgb mean = MeanColour(now[i], 128, 128);
            reds += qRed(mean) > 180 && qBlue(mean) < 80;
            blues += qBlue(mean) > 180 && qRed(mean) < 80;
        }
        EXPECT_EQ(reds, a.exitCode == 0 ? 1 : 0);
        EXPECT_EQ(blues, b.exitCode == 0 ? 1 : 0);
        album = now;
    }
    RecordProperty("refusals", refusals);
}

}  // namespace
}  // namespace fotolume::cli::testing
