// One running copy per user: the lock and the call that brings the first window to the front.
#include "app/single_instance.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace fotolume::app;

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
