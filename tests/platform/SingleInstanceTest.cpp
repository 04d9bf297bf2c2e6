#include "SingleInstance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>

namespace qb {
namespace {

QString UniqueName(const char* tag) {
    return QStringLiteral("qbtest-%1-%2").arg(QCoreApplication::applicationPid()).arg(tag);
}

TEST(SingleInstance, SecondClaimFailsAndActivatesTheFirst) {
    TSingleInstance first(UniqueName("a"));
    ASSERT_TRUE(first.Claim());
    QSignalSpy spy(&first, &TSingleInstance::activateRequested);
    TSingleInstance second(UniqueName("a"));
    EXPECT_FALSE(second.Claim(2000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() == 1; }, 3000));
}

TEST(SingleInstance, NameIsFreeAgainWhenTheFirstEnds) {
    {
        TSingleInstance first(UniqueName("b"));
        ASSERT_TRUE(first.Claim());
    }
    TSingleInstance next(UniqueName("b"));
    EXPECT_TRUE(next.Claim());
}

TEST(SingleInstance, AnythingButActivateIsIgnored) {
    TSingleInstance first(UniqueName("c"));
    ASSERT_TRUE(first.Claim());
    QSignalSpy spy(&first, &TSingleInstance::activateRequested);
    QLocalSocket s;
    s.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    s.connectToServer(UniqueName("c"));
    ASSERT_TRUE(s.waitForConnected(2000));
    s.write("activate-and-more-bytes");
    s.flush();
    QTest::qWait(200);
    EXPECT_EQ(spy.count(), 0);
}

} // namespace
} // namespace qb
