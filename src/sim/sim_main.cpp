// fotolume-sim: creates simulated frames' flash images and serves them on a frames-folder socket.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "device/frame_claim.h"
#include "device/traced_backend.h"
#include "sim/flash_emulator.h"
#include "sim/frame_image.h"
#include "sim/frame_server.h"
#include "sim/sim_args.h"
#ifdef FOTOLUME_SIM_DEMO
#include "sim/demo_album.h"
#endif

namespace {

using namespace fotolume::sim;

constexpr int kExitOk = 0, kExitUsage = 1, kExitFailed = 3;

using fotolume::device::ClaimMode;
using fotolume::device::CFrameClaim;

// A served image is one frame's flash: a second server would be a second frame writing the same chip,
// and an image replaced under its server would no longer be the one served.
CFrameClaim ClaimImage(const std::string& image) {
    return CFrameClaim::Take(image, ClaimMode::Exclusive, std::chrono::milliseconds(0));
}

const char kUsage[] =
    "Usage:\n"
    "  fotolume-sim create IMAGE [--flash-size 2M] [--panel 128x128] [--list-address 0x10000]\n"
    "                     [--max-pictures 0] [--erase-opcode 0xD8] [--program-flag] [--y-value 4]\n"
    "                     [--quality 90] [--dpfh] [--demo N]\n"
    "  fotolume-sim serve IMAGE --socket PATH [--vendor zentaris] [--product TEXT]\n"
    "                     [--firmware-version TEXT] [--fail-command N] [--fail-from N]\n"
    "                     [--corrupt-read N] [--bad-checksum N] [--vanish-after N] [--busy-polls N]\n"
    "                     [--real-time]\n"
    "                     [--trace FILE]\n"
    "A served frame appears as PATH (name it DIR/NAME.sock for a frames folder) and is gone when the\n"
    "server stops (SIGINT, SIGTERM). Fault counts are 1-based vendor command numbers.\n"
    "--demo N fills the new frame's album with N numbered test cards. --real-time answers each command\n"
    "after the time a typical frame takes for it (64 KB erase 150 ms, 1 ms per command, 1 MB/s).\n"
    "--trace FILE appends every command the frame receives, with its answer, to FILE (one JSON line each).\n";

int Fail(const std::string& text, int code) {
    std::fprintf(stderr, "fotolume-sim: %s\n", text.c_str());
    return code;
}

int Create(const std::vector<std::string>& args) {
    CreateArgs a;
    std::string error = ParseCreateArgs(args, a);
    if (!error.empty()) return Fail(error, kExitUsage);
    const CFrameClaim claim = ClaimImage(a.image);
    if (!claim.Held()) return Fail(a.image + ": served by " + claim.Holder() + "; stop it first", kExitFailed);
    std::vector<uint8_t> image = BuildFrameImage(a.frame);
    // Written beside the target and renamed over it, so a half-written image never exists.
    std::string temporary = a.image + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        if (!out.flush()) {
            std::remove(temporary.c_str());
            return Fail(a.image + ": cannot write the image", kExitFailed);
        }
    }
    if (a.demo > 0) {
#ifdef FOTOLUME_SIM_DEMO
        error = FillDemoAlbum(temporary, a.demo);
#else
        error = "this fotolume-sim was built without Qt and cannot draw a demo album";
#endif
        if (!error.empty()) {
            std::remove(temporary.c_str());
            return Fail(a.image + ": " + error, kExitFailed);
        }
    }
    if (std::rename(temporary.c_str(), a.image.c_str()) != 0) {
        std::remove(temporary.c_str());
        return Fail(a.image + ": " + std::strerror(errno), kExitFailed);
    }
    return kExitOk;
}

int Serve(const std::vector<std::string>& args) {
    ServeArgs a;
    std::string error = ParseServeArgs(args, a);
    if (!error.empty()) return Fail(error, kExitUsage);
    const CFrameClaim claim = ClaimImage(a.image);
    if (!claim.Held()) return Fail(a.image + ": in use by " + claim.Holder(), kExitFailed);
    auto emulator = CFlashEmulator::OpenImage(a.image, a.options, error);
    if (!emulator) return Fail(error, kExitFailed);
    emulator->SetFaults(a.faults);
    emulator->SetRealTime(a.realTime);

    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (stopFd < 0) return Fail(std::string("cannot watch signals: ") + std::strerror(errno), kExitFailed);

    CFrameServer server(*emulator, a.socket);
    server.SetTrace(fotolume::device::ProcessTrace());
    if (!server.Listen(error)) return Fail(error, kExitFailed);
    bool vanished = server.Serve(stopFd);
    ::close(stopFd);
    if (vanished) std::fprintf(stderr, "fotolume-sim: the frame vanished after %llu commands\n",
                                static_cast<unsigned long long>(a.faults.vanishAfter));
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    std::string traceError;
    if (!fotolume::device::StartCommandTrace(argc, argv, "fotolume-sim", nullptr, traceError))
        return Fail(traceError, kExitUsage);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (command == "create") return Create(args);
    if (command == "serve") return Serve(args);
    return Fail("unknown command '" + command + "' (see --help)", kExitUsage);
}
