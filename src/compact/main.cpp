// MacFotolume: the compact window over one photo frame.
#include <QApplication>
#include <QTimer>

#include <cstdio>

#include "compact_globals.h"
#include "device/traced_backend.h"
#include "mac_prompt.h"
#include "mac_window.h"
#include "screenshot.h"
#include "start_up.h"

namespace {

using fotolume::compact::ScreenshotRequest;

// --frames DIR chooses the frames folder (as every Fotolume program); --screenshot PNG [--picture FILE
// [--adds N] [--download]] saves a picture of the window and leaves.
bool ParseArguments(const QStringList& arguments, std::string& framesFolder, ScreenshotRequest& shot,
                    std::string& error) {
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--download")) {
            shot.download = true;
            continue;
        }
        const bool takesValue = arg == QLatin1String("--frames") || arg == QLatin1String("--screenshot") ||
                                arg == QLatin1String("--picture") || arg == QLatin1String("--adds");
        if (!takesValue) {
            error = "unknown argument " + arg.toStdString() + " (usage: MacFotolume [--frames DIR])";
            return false;
        }
        if (i + 1 >= arguments.size()) {
            error = arg.toStdString() + " needs a value";
            return false;
        }
        const QString value = arguments[++i];
        if (arg == QLatin1String("--frames")) framesFolder = value.toStdString();
        if (arg == QLatin1String("--screenshot")) shot.path = value;
        if (arg == QLatin1String("--picture")) shot.picture = value;
        if (arg == QLatin1String("--adds")) shot.adds = value.toInt();
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string traceError;
    if (!fotolume::device::StartCommandTrace(argc, argv, "MacFotolume", "FOTOLUME_TRACE", traceError)) {
        std::fprintf(stderr, "MacFotolume: %s\n", traceError.c_str());
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MacFotolume"));
    using namespace fotolume::compact;

    if (QApplication::arguments().contains(QStringLiteral("--help"))) {
        std::printf("Usage: MacFotolume [--frames DIR] [--trace FILE]\n"
                    "                   [--screenshot PNG [--picture FILE [--adds N] [--download]]]\n"
                    "The compact window of Fotolume for USB photo frames.\n"
                    "  --frames DIR      simulated frames: every DIR/*.sock is one frame (else FOTOLUME_FRAMES,\n"
                    "                    else the system's drives)\n"
                    "  --trace FILE      append every command sent to the frame to FILE, one JSON line each\n"
                    "                    (else FOTOLUME_TRACE)\n"
                    "  --screenshot PNG  save a picture of the window once the frame is read, then leave\n");
        return 0;
    }
    StartOptions options;
    ScreenshotRequest shot;
    std::string error;
    if (!ParseArguments(QApplication::arguments(), options.framesFolder, shot, error)) {
        std::fprintf(stderr, "MacFotolume: %s\n", error.c_str());
        return 1;
    }
    int status = 0;
    {
        // A screenshot run has nobody to answer questions: every one is answered No (Cancel).
        CScriptedMacPrompt unattended;
        CMacWindow window(shot.path.isEmpty() ? nullptr : &unattended);
        std::string warning;
        if (!StartCompact(window, std::move(options), error, warning)) {
            std::fprintf(stderr, "MacFotolume: %s\n", error.c_str());
            return 1;
        }
        if (!warning.empty()) std::fprintf(stderr, "MacFotolume: %s\n", warning.c_str());
        window.show();
        if (!shot.path.isEmpty()) {
            QTimer::singleShot(0, &window, [&window, &shot] { TakeScreenshot(window, shot); });
        }
        status = QApplication::exec();
    }
    ResetGlobals();
    return status;
}
