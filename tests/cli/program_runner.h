// Runs the built programs for end-to-end tests.
#pragma once

#include <sys/types.h>

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

// A background fotolume-sim serve; stopped (SIGTERM) by Stop or the destructor.
class ServedFrame {
public:
    ServedFrame(const std::string& image, const std::string& socket, const std::vector<std::string>& extra = {});
    ~ServedFrame();
    bool Ready() const { return m_ready; }
    int Stop();  // the server's exit code

private:
    pid_t m_pid = -1;
    bool m_ready = false;
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

}  // namespace fotolume::cli::testing
