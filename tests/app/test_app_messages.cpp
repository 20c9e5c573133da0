#include "app_messages.h"
#include "main_dlg.h"
#include "scripted_prompt.h"
#include "single_instance.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace fotolume::app;

namespace {

struct Received {
    QString name;
    qintptr wParam;
};

MainDlgOptions Quiet(CScriptedPrompt* prompt)
{
    MainDlgOptions options;
    options.screenSize = QSize(1280, 1024);
    options.prompt = prompt;
    options.computerRoots = {QDir::tempPath()};
    options.desktopFolder = QDir::homePath();
    options.picturesFolder = QDir::homePath();
    return options;
}

} // namespace

TEST(AppMessages, EachNameHasOneEventTypeOfItsOwn)
{
    const QEvent::Type attach = RegisteredMessage(QString::fromLatin1(msg::kDpfAttach));
    EXPECT_EQ(RegisteredMessage(QStringLiteral("DPFAttach")), attach);
    EXPECT_NE(RegisteredMessage(QString::fromLatin1(msg::kFinishThread)), attach);
    EXPECT_GE(static_cast<int>(attach), static_cast<int>(QEvent::User));
    const CAppMessage message(QString::fromLatin1(msg::kUsbDeviceChange), 1, 0);
    EXPECT_EQ(message.type(), RegisteredMessage(QStringLiteral("USBDEVICECHANGE")));
}

TEST(AppMessages, PostedMessagesReachTheWindowInOrder)
{
    CScriptedPrompt prompt;
    CMainDlg dlg(Quiet(&prompt));
    QList<Received> received;
    QObject::connect(&dlg, &CMainDlg::appMessage, &dlg,
                     [&received](const QString& name, qintptr w, qintptr) { received.append({name, w}); });

    std::thread worker([&dlg] {
        for (int i = 0; i < 5; ++i)
            PostAppMessage(&dlg, QString::fromLatin1(msg::kFinishThread), i);
    });
    worker.join();
    EXPECT_TRUE(received.isEmpty());
    QCoreApplication::processEvents();
    ASSERT_EQ(received.size(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(received[i].name, QStringLiteral("FinishThread"));
        EXPECT_EQ(received[i].wParam, i);
    }
}

TEST(AppMessages, ASentMessageReturnsOnlyAfterTheWindowHandledIt)
{
    CScriptedPrompt prompt;
    CMainDlg dlg(Quiet(&prompt));
    std::atomic<bool> handled{false};
    std::atomic<qintptr> outcome{-1};
    QObject::connect(&dlg, &CMainDlg::appMessage, &dlg, [&](const QString& name, qintptr w, qintptr) {
        if (name == QLatin1String(msg::kDownloadFinished)) {
            outcome = w;
            handled = true;
        }
    });

    std::atomic<bool> sawHandled{false};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        SendAppMessage(&dlg, QString::fromLatin1(msg::kDownloadFinished), 3);
        sawHandled = handled.load();
        done = true;
    });
    for (int i = 0; i < 500 && !done; ++i)
        QTest::qWait(5);
    worker.join();
    EXPECT_TRUE(sawHandled);
    EXPECT_EQ(outcome.load(), 3);

    // On the window's own thread the handler runs before the call returns.
    handled = false;
    EXPECT_TRUE(SendAppMessage(&dlg, QString::fromLatin1(msg::kDownloadFinished), 0));
    EXPECT_TRUE(handled);
    EXPECT_EQ(outcome.load(), 0);
}

TEST(SingleInstance, ASecondStartReachesTheFirstAndDoesNotRun)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    CSingleInstance first(QStringLiteral("Fotolume"), runtime.path());
    ASSERT_TRUE(first.Acquire());
    QSignalSpy raise(&first, &CSingleInstance::raiseRequested);

    CSingleInstance second(QStringLiteral("Fotolume"), runtime.path());
    EXPECT_FALSE(second.Acquire());
    std::atomic<bool> reached{false};
    // The second copy's blocking connect must not hold up the first one's event loop.
    std::thread other([&] { reached = second.SignalFirst(); });
    EXPECT_TRUE(raise.wait(3000));
    other.join();
    EXPECT_TRUE(reached);

    // Another program's key is free.
    CSingleInstance unrelated(QStringLiteral("MacFotolume"), runtime.path());
    EXPECT_TRUE(unrelated.Acquire());
}

TEST(SingleInstance, TheLockIsFreeAgainOnceTheFirstEnds)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    {
        CSingleInstance first(QStringLiteral("Fotolume"), runtime.path());
        ASSERT_TRUE(first.Acquire());
    }
    CSingleInstance next(QStringLiteral("Fotolume"), runtime.path());
    EXPECT_TRUE(next.Acquire());
    // Nobody else is listening, so there is no first copy to reach.
    CSingleInstance late(QStringLiteral("Other"), runtime.path());
    EXPECT_FALSE(late.SignalFirst());
}
