// Runs the built programs for end-to-end tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/emulated_frame.h"
#include "tests/support/temp_folder.h"

namespace fotolume::cli::testing {

struct RunResult {
    int exitCode = -1;
    std::string out, err;
    long maxRssKb = 0;  // the most memory the program held at once
};

// Runs program with args to completion; env entries "NAME=value" are added to the environment.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
              const std::vector<std::string>& env = {});

// A background fotolume-sim serve; stopped (SIGTERM) by Stop or the destructor. Throws when the socket does
// not appear, which stops the test there as a failed ASSERT would.
class ServedFrame {
public:
    ServedFrame(const std::string& image, const std::string& socket, const std::vector<std::string>& extra = {});
    ~ServedFrame();
    int Stop();  // the server's exit code

private:
    pid_t m_pid = -1;
};

using ScratchDir = testsupport::TempFolder;

// Every picture of the album on the image file, as a fresh store reads it; empty when it cannot be opened.
testsupport::Album AlbumOnImage(const std::string& image);
using testsupport::ReadBytes;
using testsupport::WriteBytes;

// A program started now and left running, for programs that must run side by side.
class BackgroundRun {
public:
    BackgroundRun(const std::string& program, const std::vector<std::string>& args,
                  const std::vector<std::string>& env = {});
    ~BackgroundRun();
    RunResult Finish();  // waits for the program
    void Signal(int number);

private:
    ScratchDir m_scratch;
    pid_t m_pid = -1;
};

// The lines of a program's output.
inline long Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

// A test's own folder holding a frames folder and the name of a frame image; the programs run with env
// added to their environment, fotolume-cli on that frames folder.
class ProgramTest : public ::testing::Test {
protected:
    ProgramTest();
    RunResult Cli(std::vector<std::string> args, const std::vector<std::string>& moreEnv = {}) const;
    RunResult Sim(const std::vector<std::string>& args) const { return RunProgram(FOTOLUME_SIM_PATH, args, env); }
    // fotolume-cli with these arguments, started now and left running.
    std::unique_ptr<BackgroundRun> Start(std::vector<std::string> args) const;

    ScratchDir dir;
    std::string frames = dir.String() + "/frames", image = dir.String() + "/frame.img";
    std::vector<std::string> env;
};

}  // namespace fotolume::cli::testing
