// MacFotolume: the compact window over one photo frame.
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "compact/compact_globals.h"
#include "compact/mac_prompt.h"
#include "compact/mac_window.h"
#include "compact/screenshot.h"
#include "compact/start_up.h"
#include "device/traced_backend.h"

namespace {

using fotolume::compact::ScreenshotRequest;

constexpr const char* kUsage =
    "Usage: MacFotolume [--frames DIR] [--browse DIR] [--trace FILE] [--screenshot PNG [--picture FILE [--adds N] "
    "[--download]]]";

void PrintHelp() {
    std::printf("%s\n"
                "The compact window of Fotolume for USB photo frames.\n"
                "  --frames DIR      simulated frames: every DIR/*.sock is one frame (else FOTOLUME_FRAMES,\n"
                "                    else the system's drives)\n"
                "  --browse DIR      the file browser shows DIR instead of the computer's volumes\n"
                "  --trace FILE      append every command sent to the frame to FILE, one JSON line each\n"
                "                    (else FOTOLUME_TRACE)\n"
                "  --screenshot PNG  save a picture of the window once the frame is read, then leave; without\n"
                "                    a display it draws off screen, messages go to standard error and every\n"
                "                    question is answered No\n"
                "  --picture FILE    (with --screenshot) select FILE in the browser, or show it, before the picture\n"
                "  --adds N          (with --picture) add it to the album N times\n"
                "  --download        (with --picture) then write the album to the frame\n",
                kUsage);
}

// The off-screen platform warns about window hints it cannot pass on; that says nothing about the run.
void QuietOffscreenHints(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.contains(QLatin1String("propagateSizeHints"))) return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

bool HasArgument(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) return true;
    }
    return false;
}

// A "--" option this program does not know, found before the application object exists (which needs
// a display); Qt's own single-dash options are left to it. Empty when there is none.
std::string UnknownLongOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!arg.starts_with("--")) continue;
        if (arg == "--help" || arg == "--download") continue;
        if (arg == "--frames" || arg == "--browse" || arg == "--screenshot" || arg == "--picture" || arg == "--adds") {
            ++i;
            continue;
        }
        return arg;
    }
    return {};
}

// --frames DIR chooses the frames folder (as every Fotolume program); --browse DIR what the browser
// shows; --screenshot PNG [--picture FILE [--adds N] [--download]] saves a picture of the window and leaves.
bool ParseArguments(const QStringList& arguments, std::string& framesFolder, QString& browse, ScreenshotRequest& shot,
                    std::string& error) {
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--download")) {
            shot.download = true;
            continue;
        }
        const bool takesValue = arg == QLatin1String("--frames") || arg == QLatin1String("--screenshot") ||
                                arg == QLatin1String("--picture") || arg == QLatin1String("--adds") ||
                                arg == QLatin1String("--browse");
        if (!takesValue) {
            error = "unknown argument " + arg.toStdString() + " (" + kUsage + ")";
            return false;
        }
        if (i + 1 >= arguments.size()) {
            error = arg.toStdString() + " needs a value";
            return false;
        }
        const QString value = arguments[++i];
        if (arg == QLatin1String("--frames")) framesFolder = value.toStdString();
        if (arg == QLatin1String("--browse")) browse = value;
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
    // Before the application object: help needs no display, and a screenshot run without one draws
    // off screen.
    if (HasArgument(argc, argv, "--help")) {
        PrintHelp();
        return 0;
    }
    if (const std::string unknown = UnknownLongOption(argc, argv); !unknown.empty()) {
        std::fprintf(stderr, "MacFotolume: unknown argument %s (%s)\n", unknown.c_str(), kUsage);
        return 1;
    }
    if (HasArgument(argc, argv, "--screenshot") && !std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") &&
        !std::getenv("WAYLAND_DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    qInstallMessageHandler(QuietOffscreenHints);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("MacFotolume"));
    using namespace fotolume::compact;

    StartOptions options;
    ScreenshotRequest shot;
    QString browse;
    std::string error;
    if (!ParseArguments(QApplication::arguments(), options.framesFolder, browse, shot, error)) {
        std::fprintf(stderr, "MacFotolume: %s\n", error.c_str());
        return 1;
    }
    if (!browse.isEmpty()) options.volumes = QStringList{browse};
    int status = 0;
    {
        // A screenshot run has nobody to answer questions: every one is answered No (Cancel), and
        // messages go to standard error.
        CScriptedMacPrompt unattended;
        unattended.SetEcho(true);
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
