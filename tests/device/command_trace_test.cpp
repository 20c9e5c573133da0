// The command trace: what it writes for each command, compared with what the emulated frame received;
// lines that are whole while their command is still under way; and the --trace option of the programs.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

#include "device/checksum.h"
#include "device/command_trace.h"
#include "device/traced_backend.h"
#include "tests/device/drive_rigs.h"
#include "tests/support/emulated_frame.h"

namespace fotolume::device {
namespace {

using EmulatedFrame = testsupport::LinkedFrame;
using testing::TempDir;

std::vector<std::string> Lines(std::istream&& in) {
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
std::vector<std::string> ReadLines(const std::string& path) { return Lines(std::ifstream(path)); }

// The raw JSON value of a member ("" when absent): a string with its quotes, a number, true, null.
std::string Field(const std::string& line, const std::string& key) {
    std::smatch m;
    if (!std::regex_search(line, m, std::regex("\"" + key + "\":(\"[^\"]*\"|[^,}]*)"))) return {};
    return m[1];
}

std::string Hex(const uint8_t* bytes, size_t count) {
    std::ostringstream out;
    for (size_t i = 0; i < count; ++i) out << "0123456789abcdef"[bytes[i] >> 4] << "0123456789abcdef"[bytes[i] & 15];
    return out.str();
}

std::vector<std::string> CommandLines(const std::string& path) {
    std::vector<std::string> commands;
    for (const std::string& line : ReadLines(path))
        if (!Field(line, "cdb").empty()) commands.push_back(line);
    return commands;
}

// A frame's names may hold any bytes: the trace (and the command line's JSON) must stay valid JSON.
TEST(CommandTrace, StringsEscapeQuotesControlAndNonAsciiBytes) {
    EXPECT_EQ(TraceJsonString(std::string("a\"b\\c\x01\x7f\xe9")), R"("a\"b\\c\u0001\u007f\u00e9")");
}

TEST(CommandTrace, EachCommandTheFrameReceivedIsOneLineWithItsOutcomeAndData) {
    TempDir dir;
    const std::string path = dir.String() + "/trace.jsonl";
    std::string error;
    auto trace = CCommandTrace::Open(path, "test", error);
    ASSERT_NE(trace, nullptr) << error;
    EmulatedFrame frame(Variant::Full, {}, trace);
    ASSERT_TRUE(frame.link->GetUSBDeviceStatus());

    std::vector<uint8_t> page(4096);
    for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(i * 7 + 3);
    ASSERT_EQ(frame.flash->Erase4KFlash(0x10000), kFlashOk);
    ASSERT_EQ(frame.flash->WriteToFlash(page.data(), 4096, 0x10000), kFlashOk);
    std::vector<uint8_t> back(128);
    ASSERT_EQ(frame.flash->ReadFromFlash(back.data(), 100, 0x10000), kFlashOk);
    uint8_t high = 0, low = 0;
    ASSERT_TRUE(frame.flash->GetVerifyValue(high, low, 0x10000, 4096));
    std::string version, scratch;
    ASSERT_TRUE(frame.flash->GetFirmwareVersion(version, scratch));
    frame.emulator.SetFaults({.failCommand = frame.emulator.CommandCount() + 1});
    EXPECT_FALSE(frame.flash->FlashWREN());

    const auto& sent = frame.backend->SentCommands();
    const std::vector<std::string> lines = CommandLines(path);
    ASSERT_EQ(lines.size(), sent.size()) << "one line per command, each completed in place";
    for (size_t i = 0; i < sent.size(); ++i) {
        const std::string& line = lines[i];
        SCOPED_TRACE(line);
        EXPECT_EQ(Field(line, "cdb"), "\"" + Hex(sent[i].cdb.data(), 16) + "\"");
        const char* direction = sent[i].direction == 0 ? "\"none\"" : sent[i].direction == 1 ? "\"out\"" : "\"in\"";
        EXPECT_EQ(Field(line, "dir"), direction);
        EXPECT_EQ(Field(line, "requested"), std::to_string(sent[i].length));
        EXPECT_EQ(Field(line, "drive"), "\"emu0\"");
        EXPECT_EQ(Field(line, "pending"), "");
        EXPECT_EQ(Field(line, "status"), i + 1 == sent.size() ? "2" : "0") << "the last command was refused";
        EXPECT_FALSE(Field(line, "us").empty());
        EXPECT_TRUE(std::regex_search(line, std::regex(R"("time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z")")));
    }
    // The data as it went over the link: up to 64 bytes in full, else length and byte sum.
    auto line = [&](uint8_t group, uint8_t opcode, uint8_t function = 0) {
        for (size_t i = 0; i < sent.size(); ++i)
            if (sent[i].cdb[0] == group && sent[i].cdb[10] == opcode && sent[i].cdb[5] == function) return lines[i];
        return std::string();
    };
    const std::string program = line(kGroupFlashOut, kOpProgram);
    EXPECT_EQ(Field(program, "data_length"), "4096");
    EXPECT_EQ(Field(program, "data_sum"), std::to_string(ByteSum16(page.data(), page.size())));
    EXPECT_EQ(Field(program, "returned"), "4096");
    const std::string read = line(kGroupFlashIn, kOpRead);
    EXPECT_EQ(Field(read, "requested"), "128") << "a read of 100 bytes asks for 128";
    EXPECT_EQ(Field(read, "data_sum"), std::to_string(ByteSum16(page.data(), 128)));
    const uint8_t sum[2] = {high, low};
    EXPECT_EQ(Field(line(kGroupFlashIn, 0, kFuncChecksum), "data"), "\"" + Hex(sum, 2) + "\"");
    EXPECT_EQ(Field(line(kGroupFlashIn, 1, kFuncVersion), "data").substr(0, 9), "\"312e3030") << "\"1.00\"";
    EXPECT_EQ(Field(line(kGroupFlashIn, kOpReadStatus), "data"), "\"" + std::string(128, '0') + "\"");
    EXPECT_EQ(Field(line(kGroupFlashOut, kOpWriteEnable), "data"), "") << "no data phase, no data";

    const std::vector<std::string> all = ReadLines(path);
    EXPECT_EQ(Field(all.front(), "program"), "\"test\"");
    const std::string identity = R"("identity":{"usb":true,"vendor":"zentaris","product":"DPF"})";
    EXPECT_TRUE(std::any_of(all.begin(), all.end(),
                            [&](const std::string& l) { return l.find(identity) != std::string::npos; }));
}

// One drive whose commands run a test's function.
class ScriptedBackend : public IDriveBackend {
public:
    explicit ScriptedBackend(std::function<CommandOutcome()> run) : m_run(std::move(run)) {}
    bool StartMonitor() override { return true; }
    int NotificationFd() const override { return -1; }
    void ConsumeNotification() override {}
    std::vector<std::string> ListDrives() override { return {"sg7"}; }
    std::unique_ptr<IDriveHandle> OpenDrive(const std::string& name) override {
        if (name != "sg7") return nullptr;
        struct Drive : IDriveHandle {
            explicit Drive(ScriptedBackend& b) : backend(b) {}
            CommandOutcome Execute(const uint8_t*, uint8_t, int, uint8_t*, uint32_t, uint32_t) override {
                return backend.m_run();
            }
            bool QueryIdentity(DriveIdentity&) override { return false; }
            ScriptedBackend& backend;
        };
        return std::make_unique<Drive>(*this);
    }
    std::string LastProblem() const override { return "cannot open /dev/sg8: Permission denied"; }

private:
    std::function<CommandOutcome()> m_run;
};

TEST(CommandTrace, ACommandUnderWayIsAlreadyInTheTraceUnlessTheTraceIsAPipe) {
    for (const bool pipe : {false, true}) {
        SCOPED_TRACE(pipe ? "pipe" : "file");
        TempDir dir;
        int ends[2] = {-1, -1};
        std::string path = dir.String() + "/trace.jsonl";
        if (pipe) {
            ASSERT_EQ(::pipe2(ends, O_NONBLOCK), 0);
            path = "/proc/self/fd/" + std::to_string(ends[1]);
        }
        std::string error;
        auto trace = CCommandTrace::Open(path, "test", error);
        ASSERT_NE(trace, nullptr) << error;
        std::string piped;
        auto readAll = [&] {
            if (!pipe) return ReadLines(path);
            char buffer[65536];
            ssize_t n = 0;
            while ((n = ::read(ends[0], buffer, sizeof buffer)) > 0) piped.append(buffer, static_cast<size_t>(n));
            return Lines(std::istringstream(piped));
        };
        std::vector<std::string> duringCommand;
        CTracedBackend backend(std::make_unique<ScriptedBackend>([&] {
            duringCommand = readAll();  // what a trace holds when the program dies right here
            return CommandOutcome{true, 0, 64};
        }), trace);
        EXPECT_EQ(backend.OpenDrive("sg8"), nullptr);
        auto drive = backend.OpenDrive("sg7");
        ASSERT_NE(drive, nullptr);
        const uint8_t cdb[16] = {0xCD, 0, 0, 0, 0, 0, 1, 0, 0, 0x40, 0x05};
        uint8_t data[64] = {0x7F};
        drive->Execute(cdb, 16, kDirFromFrame, data, 64, 1000);

        const std::vector<std::string> after = readAll();
        if (pipe) {
            EXPECT_EQ(std::count_if(duringCommand.begin(), duringCommand.end(),
                                    [](const std::string& l) { return !Field(l, "cdb").empty(); }),
                      0);
            ASSERT_FALSE(after.empty());
            EXPECT_EQ(Field(after.back(), "status"), "0");
            ::close(ends[0]);
            ::close(ends[1]);
            continue;
        }
        ASSERT_EQ(duringCommand.size(), 4u) << "program, two opens, the command";
        EXPECT_EQ(Field(duringCommand[1], "problem"), "\"cannot open /dev/sg8: Permission denied\"");
        EXPECT_EQ(Field(duringCommand[2], "open"), "true");
        EXPECT_EQ(Field(duringCommand[3], "pending"), "true");
        EXPECT_EQ(Field(duringCommand[3], "cdb"), "\"" + Hex(cdb, 16) + "\"");
        ASSERT_EQ(after.size(), 4u) << "completed in place, not appended";
        EXPECT_EQ(after[3].size(), duringCommand[3].size());
        EXPECT_EQ(Field(after[3], "pending"), "");
        EXPECT_EQ(Field(after[3], "data"), "\"7f" + std::string(126, '0') + "\"");
        EXPECT_EQ(Field(after[3], "returned"), "64");
    }
}

TEST(CommandTrace, TheTraceOptionIsTakenOutOfTheArgumentsAndAFileThatCannotBeWrittenIsOneLine) {
    TempDir dir;
    const std::string file = dir.String() + "/t.jsonl", other = dir.String() + "/env.jsonl";
    struct Case {
        std::vector<std::string> args;
        const char* env;               // FOTOLUME_TRACE_TEST, or null for unset
        bool useEnv;                   // the program reads that variable
        std::vector<std::string> left; // the arguments the program's own parsing sees
        std::string traced;            // the file opened; empty: none
        std::string error;             // start of the error line; empty: none
    };
    const Case cases[] = {
        {{"p", "--frames", "x", "--trace", file, "info"}, nullptr, false, {"p", "--frames", "x", "info"}, file, ""},
        {{"p", "--trace=" + file, "info"}, nullptr, false, {"p", "info"}, file, ""},
        {{"p", "info"}, other.c_str(), true, {"p", "info"}, other, ""},
        {{"p", "info"}, other.c_str(), false, {"p", "info"}, "", ""},
        {{"p", "info", "--trace", file}, other.c_str(), true, {"p", "info"}, file, ""},
        {{"p", "info"}, nullptr, true, {"p", "info"}, "", ""},
        {{"p", "info", "--trace"}, nullptr, false, {}, "", "--trace needs a file"},
        {{"p", "--trace=", "info"}, nullptr, false, {}, "", "--trace needs a file"},
        {{"p", "--trace", dir.String() + "/none/t.jsonl"}, nullptr, false, {}, "",
         "cannot write the command trace " + dir.String() + "/none/t.jsonl: No such file or directory"},
        {{"p", "--trace", dir.String()}, nullptr, false, {}, "",
         "cannot write the command trace " + dir.String() + ": Is a directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back() + (c.env ? " with the variable set" : ""));
        ::unlink(file.c_str());
        ::unlink(other.c_str());
        { std::ofstream(file) << "an earlier run\n"; }
        if (c.env) ::setenv("FOTOLUME_TRACE_TEST", c.env, 1);
        else ::unsetenv("FOTOLUME_TRACE_TEST");
        std::vector<std::string> args = c.args;
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int argc = static_cast<int>(args.size());
        std::string error;
        const bool ok = StartCommandTrace(argc, argv.data(), "prog", c.useEnv ? "FOTOLUME_TRACE_TEST" : nullptr, error);
        std::shared_ptr<CCommandTrace> trace = ProcessTrace();
        SetProcessTrace(nullptr);
        if (!c.error.empty()) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
            EXPECT_EQ(error.find('\n'), std::string::npos);
            EXPECT_EQ(trace, nullptr);
            continue;
        }
        ASSERT_TRUE(ok) << error;
        EXPECT_EQ(std::vector<std::string>(argv.begin(), argv.begin() + argc), c.left);
        EXPECT_EQ(argv[static_cast<size_t>(argc)], nullptr);
        if (c.traced.empty()) {
            EXPECT_EQ(trace, nullptr);
            continue;
        }
        ASSERT_NE(trace, nullptr);
        EXPECT_EQ(trace->Path(), c.traced);
        const std::vector<std::string> lines = ReadLines(c.traced);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(Field(lines.back(), "program"), "\"prog\"");
        if (c.traced == file) {
            EXPECT_EQ(lines.front(), "an earlier run") << "a trace is appended to";
        }
    }
    ::unsetenv("FOTOLUME_TRACE_TEST");
}

}  // namespace
}  // namespace fotolume::device
