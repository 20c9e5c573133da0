#include "tests/cli/program_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fotolume::cli::testing {

namespace fs = std::filesystem;

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

pid_t Spawn(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& env,
            const std::string& outPath, const std::string& errPath) {
    pid_t pid = ::fork();
    if (pid != 0) return pid;
    int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::dup2(err, 2);
    for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

int Wait(pid_t pid, long* maxRssKb = nullptr) {
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return -1;
    if (maxRssKb) *maxRssKb = usage.ru_maxrss;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& env) {
    return BackgroundRun(program, args, env).Finish();
}

BackgroundRun::BackgroundRun(const std::string& program, const std::vector<std::string>& args,
                             const std::vector<std::string>& env)
    : m_pid(Spawn(program, args, env, m_scratch.String() + "/out", m_scratch.String() + "/err")) {}

BackgroundRun::~BackgroundRun() { Finish(); }

void BackgroundRun::Signal(int number) {
    if (m_pid > 0) ::kill(m_pid, number);
}

RunResult BackgroundRun::Finish() {
    RunResult r;
    if (m_pid < 0) return r;
    r.exitCode = Wait(m_pid, &r.maxRssKb);
    m_pid = -1;
    r.out = Slurp(m_scratch.String() + "/out");
    r.err = Slurp(m_scratch.String() + "/err");
    return r;
}

ServedFrame::ServedFrame(const std::string& image, const std::string& socket, const std::vector<std::string>& extra) {
    std::vector<std::string> args{"serve", image, "--socket", socket};
    args.insert(args.end(), extra.begin(), extra.end());
    m_pid = Spawn(FOTOLUME_SIM_PATH, args, {}, "/dev/null", "/dev/null");
    for (int i = 0; i < 500; ++i) {
        struct stat st {};
        if (::lstat(socket.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Stop();
    throw std::runtime_error("fotolume-sim did not serve " + image + " on " + socket);
}

ServedFrame::~ServedFrame() { Stop(); }

int ServedFrame::Stop() {
    if (m_pid < 0) return -1;
    ::kill(m_pid, SIGTERM);
    int code = Wait(m_pid);
    m_pid = -1;
    return code;
}

ProgramTest::ProgramTest() { fs::create_directories(frames); }

RunResult ProgramTest::Cli(std::vector<std::string> args, const std::vector<std::string>& moreEnv) const {
    args.insert(args.begin(), {"--frames", frames});
    std::vector<std::string> all = env;
    all.insert(all.end(), moreEnv.begin(), moreEnv.end());
    return RunProgram(FOTOLUME_CLI_PATH, args, all);
}

std::unique_ptr<BackgroundRun> ProgramTest::Start(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--frames", frames});
    return std::make_unique<BackgroundRun>(FOTOLUME_CLI_PATH, args, env);
}

testsupport::Album AlbumOnImage(const std::string& image) {
    const auto emulator = sim::CFlashEmulator::OpenImage(image, {});
    return emulator ? testsupport::ReadBackAlbum(*emulator) : testsupport::Album{};
}

}  // namespace fotolume::cli::testing
