// The Fotolume program itself on a frame served by fotolume-sim, as the run command starts it.
#include "tests/app/app_harness.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace fotolume;
using namespace fotolume::apptest;

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

// Serves image on dir/frames/one.sock until the returned process is stopped.
bool Serve(QProcess& server, const QTemporaryDir& dir, const QString& image)
{
    QDir(dir.path()).mkpath(QStringLiteral("frames"));
    server.start(Program("fotolume-sim"), {QStringLiteral("serve"), image, QStringLiteral("--socket"),
                                           dir.filePath(QStringLiteral("frames/one.sock"))});
    if (!server.waitForStarted())
        return false;
    for (int i = 0; i < 100 && !QFileInfo::exists(dir.filePath(QStringLiteral("frames/one.sock"))); ++i)
        QThread::msleep(20);
    return QFileInfo::exists(dir.filePath(QStringLiteral("frames/one.sock")));
}

} // namespace

TEST(Program, AFrameWhoseWriteWasCutIsAskedAboutFirstByTheNextStart)
{
    if (!QFileInfo::exists(Program("Fotolume")) || !QFileInfo::exists(Program("fotolume-sim")))
        GTEST_SKIP() << "Fotolume and fotolume-sim are not built beside the tests";
    // A synchronize cut short by the power, with its record where every program of the user looks.
    AppHarness cut;
    std::vector<Bytes> old;
    std::vector<Bytes> added;
    for (unsigned seed = 1; seed <= 3; ++seed)
        (seed < 3 ? old : added).push_back(EncodeStream(NoisePicture(128, 128, seed), 60, cut.files.path()));
    ASSERT_TRUE(CutCommitLeaving(cut, old, added, album::RecoveryKind::NewAlbum, true));
    QTemporaryDir dir;
    const QString records = dir.filePath(QStringLiteral("cache/fotolume"));
    ASSERT_TRUE(QDir().mkpath(records));
    QFile::setPermissions(records, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (const QString& name : QDir(cut.temp.path()).entryList({QStringLiteral("*.rec")}, QDir::Files))
        ASSERT_TRUE(QFile::copy(cut.temp.filePath(name), records + QLatin1Char('/') + name));
    const QString image = dir.filePath(QStringLiteral("frame.img"));
    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(cut.emulator.Flash().data()),
               static_cast<qint64>(cut.emulator.Flash().size()));
    file.close();

    QProcess server;
    ASSERT_TRUE(Serve(server, dir, image));
    QProcess fotolume;
    fotolume.setProcessEnvironment(RunEnvironment(dir));
    fotolume.start(Program("Fotolume"), {QStringLiteral("--frames"), dir.filePath(QStringLiteral("frames")),
                                         QStringLiteral("--screenshot"), dir.filePath(QStringLiteral("w.png"))});
    ASSERT_TRUE(fotolume.waitForFinished(120000));
    server.terminate();
    server.waitForFinished();
    EXPECT_EQ(fotolume.exitCode(), 0);
    // Without a user the question is answered No: it is asked, first, and the frame stays as it was.
    const QStringList lines = QString::fromLocal8Bit(fotolume.readAllStandardError()).split(QLatin1Char('\n'));
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.constFirst(), QStringLiteral("Fotolume: The last synchronize with this DPF was interrupted. "
                                                 "Restore the album from the pictures still on the DPF? No"));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("w.png"))));
    EXPECT_EQ(QDir(records).entryList({QStringLiteral("*.rec")}, QDir::Files).size(), 1);
}

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
