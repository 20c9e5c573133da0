// Fotolume: the full window.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/controller.h"
#include "app/main_dlg.h"
#include "app/single_instance.h"
#include "config/folders.h"
#include "device/backend_select.h"
#include "device/traced_backend.h"

using fotolume::app::CMainController;
using fotolume::app::CMainDlg;

namespace {

constexpr int kScreenshotTimeoutMs = 180000;

// One line on standard error.
void PrintLine(const QString& text) {
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "Fotolume: %s\n", qPrintable(line));
}

// A run without a user: every message and every question becomes one line on
// standard error, and every question is answered No.
class CUnattendedPrompt : public fotolume::app::IPrompt {
public:
    void Message(const QString& text, const QString&, Icon) override { PrintLine(text); }
    bool AskYesNo(const QString& text) override {
        PrintLine(text + QStringLiteral(" No"));
        return false;
    }
    Answer AskYesNoCancel(const QString&) override { return Answer::Cancel; }
    QString AskSaveFile(const SaveFileRequest&) override { return {}; }
    QString AskFolder(const QString&) override { return {}; }
    std::optional<QColor> AskColor(const QColor&) override { return std::nullopt; }
};

// The off-screen platform warns about window hints it cannot pass on; that
// says nothing about the run, so it stays off the error output.
void QuietOffscreenHints(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.contains(QLatin1String("propagateSizeHints"))) return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

bool WantsScreenshot(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--screenshot", 12) == 0) return true;
    }
    return false;
}

// Saves the window once the album has been read and laid out, then ends the program.
void SaveScreenshotWhenReady(CMainController& controller, const QString& path) {
    auto* poll = new QTimer(&controller);
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(poll, &QTimer::timeout, &controller, [&controller, path, poll, clock] {
        CMainDlg& dlg = controller.Window();
        const bool ready = dlg.IsLayoutDone() && controller.ReadsFinished() > 0 && !controller.WorkerRunning();
        if (!ready) {
            if (clock->elapsed() > kScreenshotTimeoutMs) {
                poll->stop();
                std::fprintf(stderr, "Fotolume: the album was not read within %d s\n", kScreenshotTimeoutMs / 1000);
                QCoreApplication::exit(1);
            }
            return;
        }
        poll->stop();
        delete clock;
        if (!dlg.grab().save(path)) {
            std::fprintf(stderr, "Fotolume: cannot write the screenshot %s\n", qPrintable(path));
            QCoreApplication::exit(1);
            return;
        }
        std::printf("%s\n", qPrintable(path));
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    poll->start(50);
}

}  // namespace

int main(int argc, char** argv) {
    // A screenshot run on a machine without a display draws off screen.
    if (WantsScreenshot(argc, argv) && !std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") &&
        !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    std::string traceError;
    if (!fotolume::device::StartCommandTrace(argc, argv, "Fotolume", "FOTOLUME_TRACE", traceError)) {
        std::fprintf(stderr, "Fotolume: %s\n", traceError.c_str());
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fotolume"));
    // The program ends when the controller says so: a synchronize told to
    // stop still finishes its block after the window has closed.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Companion program for USB mini photo frames"));
    parser.addHelpOption();
    const QCommandLineOption frames(QStringLiteral("frames"),
                                    QStringLiteral("Look for frames in <dir> (sockets of fotolume-sim) instead of "
                                                   "the system's drives; default $FOTOLUME_FRAMES."),
                                    QStringLiteral("dir"));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Run without a user: wait until the album has been read, save the window to <file>, "
                       "print its name and exit."),
        QStringLiteral("file"));
    const QCommandLineOption screenSize(QStringLiteral("screen-size"),
                                        QStringLiteral("Lay the window out for a screen of <width>x<height> pixels."),
                                        QStringLiteral("size"));
    // Taken out of the arguments above; named here for --help.
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Append every command sent to the frame to <file>, one JSON line "
                                                  "each; default $FOTOLUME_TRACE."),
                                   QStringLiteral("file"));
    parser.addOption(frames);
    parser.addOption(trace);
    parser.addOption(screenshot);
    parser.addOption(screenSize);
    parser.process(app);

    fotolume::app::ControllerOptions options;
    if (parser.isSet(screenSize)) {
        const QStringList parts = parser.value(screenSize).split(QLatin1Char('x'));
        bool okW = false;
        bool okH = false;
        if (parts.size() == 2) options.window.screenSize = QSize(parts[0].toInt(&okW), parts[1].toInt(&okH));
        if (!okW || !okH || options.window.screenSize.isEmpty()) {
            std::fprintf(stderr, "Fotolume: --screen-size wants <width>x<height>, e.g. 1280x1024\n");
            return 2;
        }
    }
    const bool unattended = parser.isSet(screenshot);
    CUnattendedPrompt unattendedPrompt;
    if (unattended) {
        options.window.prompt = &unattendedPrompt;
        qInstallMessageHandler(QuietOffscreenHints);
    }

    // A second start brings the first window to the front and opens none.
    fotolume::app::CSingleInstance instance(QStringLiteral("Fotolume"));
    if (!instance.Acquire()) {
        if (!instance.SignalFirst()) std::fprintf(stderr, "Fotolume: already running, but its window did not answer\n");
        return 0;
    }

    std::string error;
    options.tempFolder = fotolume::config::PrivateCacheFolder("fotolume", &error);
    if (options.tempFolder.empty()) {
        std::fprintf(stderr, "Fotolume: no private cache folder: %s\n", error.c_str());
        return 1;
    }
    options.programFolder = fotolume::config::FotolumeProgramFolder();
    options.backend = fotolume::device::ChooseDriveBackend(parser.value(frames).toStdString());
    const QScreen* screen = QGuiApplication::primaryScreen();
    options.screenDepth = screen ? screen->depth() : 32;

    CMainController controller(std::move(options));
    const int ended = controller.Start();
    if (ended >= 0) {
        if (unattended) std::fprintf(stderr, "Fotolume: no frame found, so no screenshot was taken\n");
        return ended;
    }
    CMainDlg& dlg = controller.Window();
    QObject::connect(&instance, &fotolume::app::CSingleInstance::raiseRequested, &dlg, &CMainDlg::BringToFront);
    QObject::connect(&controller, &CMainController::finished, &app, &QApplication::quit);
    dlg.EnableCommands(false);
    dlg.StartOpening();
    dlg.show();
    if (unattended) SaveScreenshotWhenReady(controller, parser.value(screenshot));
    return app.exec();
}
