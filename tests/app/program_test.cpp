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

QString Built(const char* name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(name);
}

// Runs of the built programs, each with a private cache and runtime folder and without a display.
class Program : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(Built("Fotolume")) || !QFileInfo::exists(Built("fotolume-sim")))
            GTEST_SKIP() << "Fotolume and fotolume-sim are not built beside the tests";
        QDir(m_dir.path()).mkpath(QStringLiteral("frames"));
        QDir(m_dir.path()).mkpath(QStringLiteral("run"));
        QFile::setPermissions(m_dir.filePath(QStringLiteral("run")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void TearDown() override
    {
        m_server.terminate();
        m_server.waitForFinished();
    }

    // Serves image on frames/one.sock until the test ends.
    bool Serve(const QString& image)
    {
        const QString socket = m_dir.filePath(QStringLiteral("frames/one.sock"));
        m_server.start(Built("fotolume-sim"), {QStringLiteral("serve"), image, QStringLiteral("--socket"), socket});
        if (!m_server.waitForStarted())
            return false;
        for (int i = 0; i < 100 && !QFileInfo::exists(socket); ++i)
            QThread::msleep(20);
        return QFileInfo::exists(socket);
    }

    // Runs Fotolume on the served frames with these arguments, a screenshot to w.png ending it.
    bool RunFotolume(QStringList arguments = {}, int timeoutMs = 120000)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "FOTOLUME_FRAMES"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("run")));
        m_fotolume.setProcessEnvironment(env);
        arguments << QStringLiteral("--frames") << m_dir.filePath(QStringLiteral("frames"))
                  << QStringLiteral("--screenshot") << Shot();
        m_fotolume.start(Built("Fotolume"), arguments);
        return m_fotolume.waitForFinished(timeoutMs);
    }

    QString Shot() const { return m_dir.filePath(QStringLiteral("w.png")); }

    QTemporaryDir m_dir;
    QProcess m_server;
    QProcess m_fotolume;
};

} // namespace

TEST_F(Program, AFrameWhoseWriteWasCutIsAskedAboutFirstByTheNextStart)
{
    // A synchronize cut short by the power, with its record where every program of the user looks.
    AppHarness cut;
    ASSERT_TRUE(CutCommitLeaving(cut, NoiseStreams(1, 2), NoiseStreams(3, 1), album::RecoveryKind::NewAlbum, true));
    const QString records = m_dir.filePath(QStringLiteral("cache/fotolume"));
    ASSERT_TRUE(QDir().mkpath(records));
    QFile::setPermissions(records, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (const QString& name : QDir(cut.temp.path()).entryList({QStringLiteral("*.rec")}, QDir::Files))
        ASSERT_TRUE(QFile::copy(cut.temp.filePath(name), records + QLatin1Char('/') + name));
    const QString image = m_dir.filePath(QStringLiteral("frame.img"));
    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(cut.emulator.Flash().data()),
               static_cast<qint64>(cut.emulator.Flash().size()));
    file.close();

    ASSERT_TRUE(Serve(image));
    ASSERT_TRUE(RunFotolume());
    EXPECT_EQ(m_fotolume.exitCode(), 0);
    // Without a user the question is answered No: it is asked, first, and the frame stays as it was.
    const QStringList lines = QString::fromLocal8Bit(m_fotolume.readAllStandardError()).split(QLatin1Char('\n'));
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.constFirst(), QStringLiteral("Fotolume: The last synchronize with this DPF was interrupted. "
                                                 "Restore the album from the pictures still on the DPF? No"));
    EXPECT_TRUE(QFileInfo::exists(Shot()));
    EXPECT_EQ(QDir(records).entryList({QStringLiteral("*.rec")}, QDir::Files).size(), 1);
}

TEST_F(Program, WithoutADisplayItReadsTheAlbumSavesTheWindowAndSaysWhere)
{
    const QString image = m_dir.filePath(QStringLiteral("frame.img"));
    ASSERT_EQ(QProcess::execute(Built("fotolume-sim"),
                                {QStringLiteral("create"), image, QStringLiteral("--demo"), QStringLiteral("3")}),
              0);
    ASSERT_TRUE(Serve(image));
    ASSERT_TRUE(RunFotolume({QStringLiteral("--screen-size"), QStringLiteral("1280x1024")}));
    EXPECT_EQ(m_fotolume.exitCode(), 0) << m_fotolume.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromLocal8Bit(m_fotolume.readAllStandardOutput()).trimmed(), Shot());
    // The layout's width; the height ends with the status bar right below the lowest control.
    const QImage window(Shot());
    EXPECT_EQ(window.width(), 920);
    EXPECT_GT(window.height(), 555);
    EXPECT_LT(window.height(), 630);
}

TEST_F(Program, WithoutAFrameItExplainsAndEndsWithZero)
{
    ASSERT_TRUE(RunFotolume({}, 60000));
    EXPECT_EQ(m_fotolume.exitCode(), 0);
    const QString errors = QString::fromLocal8Bit(m_fotolume.readAllStandardError());
    EXPECT_TRUE(errors.contains(QStringLiteral("Please plug in your DPF"))) << errors.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Shot()));
}
