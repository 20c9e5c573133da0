// fotolume-cli encode and decode: the file-level conversions, no frame needed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "codec/bmp_file.h"
#include "tests/cli/program_runner.h"

namespace fotolume::cli::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

constexpr int kWidth = 40, kHeight = 30;

// A smooth picture: quality-90 coding keeps it well above 30 dB.
void WriteGradient(const std::string& path) {
    std::vector<uint8_t> rows(kWidth * 3 * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = &rows[(y * kWidth + x) * 3];
            p[0] = static_cast<uint8_t>(x * 6);
            p[1] = static_cast<uint8_t>(y * 8);
            p[2] = static_cast<uint8_t>(200 - x * 3);
        }
    ASSERT_TRUE(codec::SaveBmpFile(path, rows.data(), kWidth * 3, kWidth, kHeight));
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
    return sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * a.size() / sum);
}

// A gradient picture in.bmp, and the names of its stream and of the picture decoded back.
class CodecCommands : public ProgramTest {
protected:
    void SetUp() override { WriteGradient(bmp); }
    static RunResult Run(const std::vector<std::string>& args) { return RunProgram(FOTOLUME_CLI_PATH, args); }

    const std::string bmp = dir.String() + "/in.bmp", stream = dir.String() + "/in.jpg", back = dir.String() + "/back.bmp";
};

TEST_F(CodecCommands, EncodeThenDecodeGivesThePictureBack) {
    RunResult r = Run({"encode", bmp, stream, "--size", "40x30"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(std::stoul(r.out), fs::file_size(stream)) << "prints the size written";
    EXPECT_NE(ReadBytes(stream)[0], 0xFF) << "a frame stream carries no markers";

    r = Run({"decode", stream, back, "--size", "40x30"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<uint8_t> original, decoded;
    ASSERT_EQ(codec::LoadPicFromDir(bmp, original, kWidth, kHeight), 1);
    ASSERT_EQ(codec::LoadPicFromDir(back, decoded, kWidth, kHeight), 1);
    EXPECT_GT(Psnr(original, decoded), 30.0);

    r = Run({"--json", "encode", bmp, stream, "--size", "40x30", "--jfif"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<uint8_t> jfif = ReadBytes(stream);
    ASSERT_GE(jfif.size(), 4u);
    EXPECT_EQ(jfif[0], 0xFF);
    EXPECT_EQ(jfif[1], 0xD8);
    EXPECT_EQ(r.out, "{\"bytes\": " + std::to_string(jfif.size()) + "}\n");
}

TEST_F(CodecCommands, RefusedStreamsExitFourAndWriteNoBmp) {
    ASSERT_EQ(Run({"encode", bmp, stream, "--size", "40x30"}).exitCode, 0);

    RunResult r = Run({"decode", stream, back, "--size", "48x30"});
    EXPECT_EQ(r.exitCode, 4) << "another panel size is refused";
    EXPECT_FALSE(fs::exists(back));

    r = Run({"--jfif", "encode", bmp, stream, "--size", "40x30"});
    EXPECT_EQ(r.exitCode, 1) << "--jfif is an option of encode, not a global one";

    ASSERT_EQ(Run({"encode", bmp, stream, "--size", "40x30", "--jfif"}).exitCode, 0);
    r = Run({"decode", stream, back, "--size", "40x30"});
    EXPECT_EQ(r.exitCode, 4) << "a JFIF file is not a frame stream";
    EXPECT_FALSE(fs::exists(back));
    EXPECT_EQ(Lines(r.err), 1) << r.err;

    r = Run({"decode", dir.String() + "/missing.jpg", back, "--size", "40x30"});
    EXPECT_EQ(r.exitCode, 4);
    // A stream that decodes into a place that cannot be written is a failure, not a success.
    ASSERT_EQ(Run({"encode", bmp, stream, "--size", "40x30"}).exitCode, 0);
    r = Run({"decode", stream, dir.String() + "/no/such/folder/back.bmp", "--size", "40x30"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_THAT(r.err, HasSubstr("cannot write"));
    EXPECT_EQ(Run({"encode", bmp, stream}).exitCode, 1) << "--size is required";
    EXPECT_EQ(Run({"encode", bmp, stream, "--size", "40x30", "--mode", "16"}).exitCode, 1);
}

TEST_F(CodecCommands, InputThatIsNoPlainFileIsRefusedAtOnceAndAShortBmpIsEncodedWithAWarning) {
    const std::string fifo = dir.String() + "/fifo", out = dir.String() + "/out";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    RunResult r = Run({"decode", fifo, out, "--size", "40x30"});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_EQ(r.err, "fotolume-cli: " + fifo + ": not a regular file but a FIFO\n");
    r = Run({"encode", fifo, out, "--size", "40x30"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.err, "fotolume-cli: " + fifo + ": not a regular file but a FIFO\n");
    EXPECT_FALSE(fs::exists(out));

    const std::string half = dir.String() + "/half.bmp";
    const std::vector<uint8_t> whole = ReadBytes(bmp);
    std::ofstream(half, std::ios::binary).write(reinterpret_cast<const char*>(whole.data()), 54 + 120 * 15);
    r = Run({"encode", half, out, "--size", "40x30"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "fotolume-cli: warning: " + half + " ends early; its missing part is black\n");
    r = Run({"encode", bmp, out, "--size", "40x30"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace fotolume::cli::testing
