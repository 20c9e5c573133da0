// fotolume-cli probe and clock against a frame served by fotolume-sim.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "tests/cli/program_runner.h"

namespace fotolume::cli::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// The raw JSON value of a member of a trace line ("" when absent).
std::string Field(const std::string& line, const std::string& key) {
    std::smatch m;
    if (!std::regex_search(line, m, std::regex("\"" + key + "\":(\"[^\"]*\"|[^,}]*)"))) return {};
    return m[1];
}

// The command lines of a trace, without those of the standard INQUIRY (cdb 12...).
std::vector<std::string> TracedCommands(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> commands;
    for (std::string line; std::getline(in, line);) {
        const std::string cdb = Field(line, "cdb");
        if (!cdb.empty() && cdb.rfind("\"12", 0) != 0) commands.push_back(line);
    }
    return commands;
}

std::string Program(const char* name) { return std::string(FOTOLUME_BIN_DIR) + "/" + name; }

class DeviceCommands : public ProgramTest {
protected:
    void SetUp() override { ASSERT_EQ(Sim({"create", image, "--panel", "160x128"}).exitCode, 0); }
};

TEST_F(DeviceCommands, ProbeFindsTheServedFrameAndExitsTwoOnceItStops) {
    auto frame = std::make_unique<ServedFrame>(image, frames + "/one.sock", std::vector<std::string>{"--firmware-version", "2.5"});
    RunResult r = Cli({"probe"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("one.sock"));
    EXPECT_THAT(r.out, HasSubstr("zentaris"));
    EXPECT_THAT(r.out, HasSubstr("2.5"));
    EXPECT_TRUE(r.err.empty());

    r = Cli({"probe", "--json"});
    EXPECT_EQ(r.out, "{\"drive\": \"one.sock\", \"vendor\": \"zentaris\", \"product\": \"DPF\", \"firmware\": \"2.5\"}\n");

    EXPECT_EQ(frame->Stop(), 0);
    EXPECT_FALSE(fs::exists(frames + "/one.sock")) << "the server removes its socket";
    r = Cli({"probe"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.err, HasSubstr("no frame found"));
    EXPECT_EQ(Lines(r.err), 1) << "one line";
}

TEST_F(DeviceCommands, VerboseProbeSaysWhyEachDriveWasTakenOrRefused) {
    std::string other = dir.String() + "/other.img";
    ASSERT_EQ(Sim({"create", other}).exitCode, 0);
    ServedFrame foreign(other, frames + "/a.sock", {"--vendor", "Generic", "--product", "Stick"});
    ServedFrame frame(image, frames + "/b.sock", {"--vendor", "ZENTARIS"});
    RunResult r = Cli({"probe", "--verbose"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("a.sock (a.sock): CD/DVD, USB, vendor \"Generic\", product \"Stick\", "
                                 "opens read-write; refused: vendor \"Generic\" does not contain \"zentaris\"\n"));
    EXPECT_THAT(r.out, HasSubstr("b.sock (b.sock): CD/DVD, USB, vendor \"ZENTARIS\", product \"DPF\", "
                                 "opens read-write; accepted: the frame\n"));
    EXPECT_THAT(r.out, HasSubstr("Drive:    b.sock")) << "the probe itself follows";

    r = Cli({"probe", "--verbose", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Lines(r.out), 1) << "one JSON object: " << r.out;
    EXPECT_THAT(r.out, HasSubstr("\"candidates\": [{\"drive\": \"a.sock\""));
    EXPECT_THAT(r.out, HasSubstr("\"accepted\": true, \"verdict\": \"the frame\"}]}"));

    // No frame among them: the survey still says what was seen, and the exit code says none was found.
    r = Cli({"probe", "-v", "--vendor", "nobody"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(Lines(r.out), 3) << r.out;
    EXPECT_EQ(r.out.find("accepted"), std::string::npos) << r.out;
    EXPECT_THAT(r.err, HasSubstr("no frame found"));
    r = Cli({"probe", "-v", "--json", "--vendor", "nobody"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out.rfind("{\"drive\": null, \"candidates\": [{", 0), 0u) << r.out;
}

TEST_F(DeviceCommands, VerboseProbeOfAnEmptyFolderSaysSo) {
    RunResult r = Cli({"probe", "--verbose"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.out, HasSubstr("none: no sockets in the frames folder"));
}

TEST_F(DeviceCommands, VendorOptionAndEnvironmentSelectTheFrame) {
    ServedFrame frame(image, frames + "/a.sock", {"--vendor", "ACME"});
    EXPECT_EQ(Cli({"probe"}).exitCode, 2);
    EXPECT_EQ(Cli({"--vendor", "acme", "probe"}).exitCode, 0);
    RunResult r = RunProgram(FOTOLUME_CLI_PATH, {"--vendor", "acme", "probe"}, {"FOTOLUME_FRAMES=" + frames});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("ACME"));
}

TEST_F(DeviceCommands, ClockPrintsTheBytesSentInTheLocalZone) {
    ServedFrame frame(image, frames + "/f.sock");
    RunResult r = Cli({"clock", "--json"}, {"TZ=IST-5:30"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("\"zoneHours\": 5"));
    // 12 + 5 (the half hour is dropped) in the last byte.
    EXPECT_THAT(r.out, HasSubstr(" 00 11\"}"));
    EXPECT_EQ(r.out.find("\"bytes\": \"ca 00 00 00 00 "), r.out.find("\"bytes\"")) << r.out;
    r = Cli({"clock"}, {"TZ=UTC0"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_THAT(r.out, HasSubstr("Bytes: ca"));
    EXPECT_THAT(r.out, HasSubstr(" 00 0c\n"));
}

TEST_F(DeviceCommands, RefusedCommandExitsThree) {
    ServedFrame frame(image, frames + "/f.sock", {"--fail-command", "1"});
    RunResult r = Cli({"probe"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_FALSE(r.err.empty());
}

TEST_F(DeviceCommands, UsageErrorsExitOne) {
    EXPECT_EQ(Cli({"nosuchcommand"}).exitCode, 1);
    EXPECT_EQ(Cli({"probe", "extra"}).exitCode, 1);
    EXPECT_EQ(RunProgram(FOTOLUME_CLI_PATH, {}).exitCode, 1);
    EXPECT_EQ(RunProgram(FOTOLUME_CLI_PATH, {"--help"}).exitCode, 0);
    EXPECT_EQ(Sim({"serve", image}).exitCode, 1) << "serve needs a socket";
    EXPECT_EQ(Sim({"create", dir.String() + "/x.img", "--panel", "0x0"}).exitCode, 1);
    EXPECT_EQ(Sim({"serve", dir.String() + "/missing.img", "--socket", frames + "/m.sock"}).exitCode, 3);
    EXPECT_EQ(Cli({"--frames", dir.String() + "/nowhere", "probe"}).exitCode, 2);
}

TEST_F(DeviceCommands, TraceOfACommandMatchesWhatTheServedFrameReceivedCommandByCommand) {
    const std::string served = dir.String() + "/served.jsonl", sent = dir.String() + "/sent.jsonl";
    ServedFrame frame(image, frames + "/one.sock", {"--trace", served});
    RunResult r = Cli({"--trace", sent, "info"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Cli({"list", "--trace=" + sent});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    const std::vector<std::string> client = TracedCommands(sent), server = TracedCommands(served);
    ASSERT_GT(client.size(), 10u);
    ASSERT_EQ(client.size(), server.size());
    for (size_t i = 0; i < client.size(); ++i) {
        for (const char* key : {"drive", "cdb", "dir", "requested", "returned", "status", "data", "data_length",
                                "data_sum", "pending"})
            EXPECT_EQ(Field(client[i], key), Field(server[i], key)) << key << " of command " << i << "\n"
                                                                      << client[i] << "\n" << server[i];
    }
    std::ifstream in(sent);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t runs = 0;
    for (size_t at = 0; (at = all.find("\"program\":\"fotolume-cli\"", at)) != std::string::npos; ++at) ++runs;
    EXPECT_EQ(runs, 2u) << "the second run appends";
}

TEST_F(DeviceCommands, ATraceThatCannotBeWrittenIsOneLineAtStartInEveryProgram) {
    const std::string bad = dir.String() + "/missing/trace.jsonl";
    const std::string line = ": cannot write the command trace " + bad + ": No such file or directory\n";
    struct Case {
        std::string program;
        std::vector<std::string> args, env;
    };
    const Case cases[] = {
        {FOTOLUME_CLI_PATH, {"--frames", frames, "--trace", bad, "probe"}, {}},
        {FOTOLUME_SIM_PATH, {"serve", image, "--socket", frames + "/t.sock", "--trace", bad}, {}},
        {Program("Fotolume"), {"--frames", frames}, {"FOTOLUME_TRACE=" + bad}},
        {Program("MacFotolume"), {"--frames", frames, "--trace", bad}, {}},
    };
    for (const Case& c : cases) {
        if (!fs::exists(c.program)) continue;  // a build without the windows
        RunResult r = RunProgram(c.program, c.args, c.env);
        EXPECT_EQ(r.exitCode, 1) << c.program;
        EXPECT_EQ(r.err, fs::path(c.program).filename().string() + line);
        EXPECT_FALSE(fs::exists(frames + "/t.sock")) << "nothing is served untraced";
    }
}

TEST_F(DeviceCommands, TheWindowsTraceTheCommandsOfReadingTheFrame) {
    ServedFrame frame(image, frames + "/one.sock");
    const std::string run = dir.String() + "/run";
    fs::create_directories(run);
    fs::permissions(run, fs::perms::owner_all, fs::perm_options::replace);
    const std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + run,
                                       "XDG_CACHE_HOME=" + dir.String() + "/cache"};
    for (const char* name : {"Fotolume", "MacFotolume"}) {
        if (!fs::exists(Program(name))) continue;
        SCOPED_TRACE(name);
        const std::string trace = dir.String() + "/" + name + ".jsonl";
        std::vector<std::string> args{"--frames", frames, "--screenshot", dir.String() + "/" + name + ".png"};
        std::vector<std::string> runEnv = env;
        // Fotolume takes the trace from the environment, MacFotolume from the option.
        if (std::string(name) == "Fotolume") runEnv.push_back("FOTOLUME_TRACE=" + trace);
        else args.insert(args.end(), {"--trace", trace});
        RunResult r = RunProgram(Program(name), args, runEnv);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::vector<std::string> commands = TracedCommands(trace);
        const bool readFlash = std::any_of(commands.begin(), commands.end(), [](const std::string& l) {
            return Field(l, "cdb").rfind("\"cd", 0) == 0 && Field(l, "dir") == "\"in\"" && Field(l, "status") == "0";
        });
        EXPECT_TRUE(readFlash) << commands.size() << " commands traced";
    }
}

TEST_F(DeviceCommands, CreatedImageHoldsTheHeader) {
    const std::vector<uint8_t> bytes = ReadBytes(image);
    ASSERT_EQ(bytes.size(), 2u << 20);
    EXPECT_EQ(bytes[35] | (bytes[36] << 8), 160);
    EXPECT_EQ(bytes[37] | (bytes[38] << 8), 128);
    EXPECT_EQ(bytes[0x10000], 0xFF) << "the picture list is erased";
}

}  // namespace
}  // namespace fotolume::cli::testing
