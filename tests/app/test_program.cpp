// The Fotolume program itself on a frame served by fotolume-sim, as the run command starts it.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

QString Program(const char* name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(name);
}

// A private cache and runtime folder for one run, without a display.
QProcessEnvironment RunEnvironment(const QTemporaryDir& dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("FOTOLUME_FRAMES"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("run")));
    QDir(dir.path()).mkpath(QStringLiteral("run"));
    QFile::setPermissions(dir.filePath(QStringLiteral("run")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return env;
}

} // namespace

TEST(Program, WithoutADisplayItReadsTheAlbumSavesTheWindowAndSaysWhere)
{
    if (!QFileInfo::exists(Program("Fotolume")) || !QFileInfo::exists(Program("fotolume-sim")))
        GTEST_SKIP() << "Fotolume and fotolume-sim are not built beside the tests";
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("frames"));
    const QString image = dir.filePath(QStringLiteral("frame.img"));
    ASSERT_EQ(QProcess::execute(Program("fotolume-sim"),
                                {QStringLiteral("create"), image, QStringLiteral("--demo"), QStringLiteral("3")}),
              0);
    QProcess server;
    server.start(Program("fotolume-sim"), {QStringLiteral("serve"), image, QStringLiteral("--socket"),
                                           dir.filePath(QStringLiteral("frames/one.sock"))});
    ASSERT_TRUE(server.waitForStarted());
    for (int i = 0; i < 100 && !QFileInfo::exists(dir.filePath(QStringLiteral("frames/one.sock"))); ++i)
        QThread::msleep(20);

    const QString shot = dir.filePath(QStringLiteral("window.png"));
    QProcess fotolume;
    fotolume.setProcessEnvironment(RunEnvironment(dir));
    fotolume.start(Program("Fotolume"), {QStringLiteral("--frames"), dir.filePath(QStringLiteral("frames")),
                                         QStringLiteral("--screen-size"), QStringLiteral("1280x1024"),
                                         QStringLiteral("--screenshot"), shot});
    ASSERT_TRUE(fotolume.waitForFinished(120000));
    server.terminate();
    server.waitForFinished();
    EXPECT_EQ(fotolume.exitCode(), 0) << fotolume.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromLocal8Bit(fotolume.readAllStandardOutput()).trimmed(), shot);
    // The layout's width; the height ends with the status bar right below the lowest control.
    const QImage window(shot);
    EXPECT_EQ(window.width(), 920);
    EXPECT_GT(window.height(), 555);
    EXPECT_LT(window.height(), 630);
}

TEST(Program, WithoutAFrameItExplainsAndEndsWithZero)
{
    if (!QFileInfo::exists(Program("Fotolume")))
        GTEST_SKIP() << "Fotolume is not built beside the tests";
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("frames"));
    QProcess fotolume;
    fotolume.setProcessEnvironment(RunEnvironment(dir));
    fotolume.start(Program("Fotolume"), {QStringLiteral("--frames"), dir.filePath(QStringLiteral("frames")),
                                         QStringLiteral("--screenshot"), dir.filePath(QStringLiteral("w.png"))});
    ASSERT_TRUE(fotolume.waitForFinished(60000));
    EXPECT_EQ(fotolume.exitCode(), 0);
    const QString errors = QString::fromLocal8Bit(fotolume.readAllStandardError());
    EXPECT_TRUE(errors.contains(QStringLiteral("Please plug in your DPF"))) << errors.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("w.png"))));
}
