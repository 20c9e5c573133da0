// Fotolume: the full window.
#include "dialog_prompt.h"
#include "main_dlg.h"
#include "single_instance.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QTimer>

#include <cstdio>

using fotolume::app::CMainDlg;

namespace {

// Saves the window to a file once its layout is done, then ends the program.
void SaveScreenshotWhenReady(CMainDlg& dlg, const QString& path)
{
    auto* poll = new QTimer(&dlg);
    QObject::connect(poll, &QTimer::timeout, &dlg, [&dlg, path, poll] {
        if (!dlg.IsLayoutDone())
            return;
        poll->stop();
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

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fotolume"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Companion program for USB mini photo frames"));
    parser.addHelpOption();
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save the window to <file> once it is laid out, then exit."),
                                        QStringLiteral("file"));
    const QCommandLineOption screenSize(QStringLiteral("screen-size"),
                                        QStringLiteral("Lay the window out for a screen of <width>x<height> pixels."),
                                        QStringLiteral("size"));
    parser.addOption(screenshot);
    parser.addOption(screenSize);
    parser.process(app);

    fotolume::app::MainDlgOptions options;
    if (parser.isSet(screenSize)) {
        const QStringList parts = parser.value(screenSize).split(QLatin1Char('x'));
        bool okW = false;
        bool okH = false;
        if (parts.size() == 2)
            options.screenSize = QSize(parts[0].toInt(&okW), parts[1].toInt(&okH));
        if (!okW || !okH || options.screenSize.isEmpty()) {
            std::fprintf(stderr, "Fotolume: --screen-size wants <width>x<height>, e.g. 1280x1024\n");
            return 2;
        }
    }
    // A second start brings the first window to the front and opens none.
    fotolume::app::CSingleInstance instance(QStringLiteral("Fotolume"));
    if (!instance.Acquire()) {
        if (!instance.SignalFirst())
            std::fprintf(stderr, "Fotolume: already running, but its window did not answer\n");
        return 0;
    }

    // Thumbnails and previews need at least 16 bits per pixel.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen && screen->depth() < 16) {
        fotolume::app::CDialogPrompt dialogs;
        fotolume::app::IPrompt& prompt = dialogs;
        prompt.Message(QStringLiteral("The color quality of the system is less than 16 bit, the application "
                                      "cannot use in this situation!"));
        std::fprintf(stderr, "Fotolume: the display has fewer than 16 bits per pixel\n");
        return 1;
    }

    CMainDlg dlg(options);
    QObject::connect(&instance, &fotolume::app::CSingleInstance::raiseRequested, &dlg, &CMainDlg::BringToFront);
    dlg.EnableCommands(false);
    dlg.StartOpening();
    dlg.show();
    if (parser.isSet(screenshot)) {
        SaveScreenshotWhenReady(dlg, parser.value(screenshot));
        return app.exec();
    }
    QObject::connect(&dlg, &QDialog::finished, &app, &QApplication::quit);
    return app.exec();
}
