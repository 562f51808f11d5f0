// SPDX-License-Identifier: MIT
#include "ending/ending_signals.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>

// The signal handler only wakes the event loop; the program hears of the
// signal there, as a Qt signal, and not before.
class TestEndingSignals : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { init(); }
    void shouldReachTheEventLoopOnly_data();
    void shouldReachTheEventLoopOnly();
    void shouldLeaveAnIgnoredSignalIgnored();
};

namespace {
constexpr int Ending[] = {SIGTERM, SIGINT, SIGHUP};
}

void TestEndingSignals::init()
{
    for (int sig : Ending)
        std::signal(sig, SIG_DFL);
}

void TestEndingSignals::shouldReachTheEventLoopOnly_data()
{
    QTest::addColumn<int>("sig");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestEndingSignals::shouldReachTheEventLoopOnly()
{
    QFETCH(int, sig);
    EndingSignals ending;
    QVERIFY(ending.isActive());
    QSignalSpy received(&ending, &EndingSignals::received);
    QCOMPARE(std::raise(sig), 0); // the default would end this test program
    QCOMPARE(received.size(), 0);
    QVERIFY(received.wait(5000));
    QCOMPARE(received.size(), 1);
    QCOMPARE(received.at(0).at(0).toInt(), sig);
}

// Started with nohup, a hang-up must not end it after all.
void TestEndingSignals::shouldLeaveAnIgnoredSignalIgnored()
{
    std::signal(SIGHUP, SIG_IGN);
    EndingSignals ending;
    QSignalSpy received(&ending, &EndingSignals::received);
    QCOMPARE(std::raise(SIGHUP), 0);
    QVERIFY(!received.wait(200));
    QCOMPARE(std::raise(SIGTERM), 0);
    QVERIFY(received.wait(5000));
    QCOMPARE(received.at(0).at(0).toInt(), int(SIGTERM));
}

QTEST_GUILESS_MAIN(TestEndingSignals)
#include "tst_ending_signals.moc"
