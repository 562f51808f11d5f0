// SPDX-License-Identifier: MIT
// Two hundred configuration runs, each ended by the instrument's side hanging
// up at a random moment: idle, in the middle of a frame, or in the middle of a
// burst while the console itself is writing. After each, the console must have
// shown one message, be back in Idle, hold no extra descriptor, and not spin.

#include "console/orvane.h"
#include "console_test_support.h"
#include "link/serial_port.h"
#include "port_routes.h"
#include "pty_instrument.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace consoletest;

namespace {

constexpr int Runs = 200;
// Every fifth run also watches the process for the whole second after the
// hang-up; watching every run would make the soak five times as long.
constexpr int CpuWatchEvery = 5;
constexpr double MaxCoreShare = 0.05;

enum class Moment { Idle, MidFrame, MidWrite };

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::NoDotAndDotDot | QDir::System)
                   .size());
}

QByteArray frame(QRandomGenerator &rng)
{
    QByteArray body;
    for (int i = 0; i < 16; ++i)
        body += char('0' + rng.bounded(10));
    return '#' + body + '$';
}

// A window of wall time and the process CPU spent in it.
// The window's own thread, or the whole process. The sheet of each run is
// made on a thread of its own meanwhile: work that ends, not counted per run.
struct CpuWindow
{
    bool wholeProcess = false;
    QElapsedTimer wall;
    double cpu0 = 0;

    double cpuNow() const
    {
        if (wholeProcess)
            return processCpuSeconds();
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
    }
    void start()
    {
        wall.start();
        cpu0 = cpuNow();
    }
    // Waits on events until `ms` after start(); the share of one core used.
    double shareAfter(int ms)
    {
        const qint64 left = ms - wall.elapsed();
        if (left > 0) {
            QEventLoop loop;
            QTimer::singleShot(int(left), &loop, &QEventLoop::quit);
            loop.exec();
        }
        return (cpuNow() - cpu0) / (double(wall.nsecsElapsed()) / 1e9);
    }
};

} // namespace

class TestPortLossSoak : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void shouldRecoverFromEveryHangUp();

private:
    // One run: Start Config., some traffic, the hang-up at `moment`.
    void runOnce(int run, Moment moment, QRandomGenerator &rng, bool watchCpu);

    QTemporaryDir records;
    std::unique_ptr<Orvane> window;
    MessageBoxCloser boxes;
    QString slavePath;
    double maxShare = 0;
};

void TestPortLossSoak::initTestCase()
{
    qApp->installEventFilter(&boxes);
    window = std::make_unique<Orvane>();
    window->setRunRecordFolder(records.path());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(isIdle(window.get()));
}

void TestPortLossSoak::cleanupTestCase()
{
    window.reset();
    qApp->removeEventFilter(&boxes);
}

void TestPortLossSoak::runOnce(int run, Moment moment, QRandomGenerator &rng, bool watchCpu)
{
    const QString where = QStringLiteral("run %1, moment %2").arg(run).arg(int(moment));
    const int fdsBefore = openDescriptors();
    const int boxesBefore = boxes.shown;
    CpuWindow cpu;
    {
        PtyInstrument instrument;
        QVERIFY2(instrument.isValid(), qPrintable(where));
        slavePath = instrument.slavePath();
        window->setPortMap(everyPortTo(slavePath));

        action(window.get(), "mnuOperation_start_capture")->trigger();
        QCOMPARE(instrument.receive(3), QByteArray("#1$"));
        QVERIFY2(action(window.get(), "mnuOperation_stop_capture")->isEnabled(), qPrintable(where));

        // A first frame, so the guarded buttons act; wait until it is shown.
        const QByteArray first = frame(rng);
        QVERIFY(instrument.send(first));
        const QString zero = QString::fromLatin1(first.mid(1, 4));
        QTRY_COMPARE_WITH_TIMEOUT(readingTexts(window.get()).value(0), zero, 5000);

        switch (moment) {
        case Moment::Idle:
            break;
        case Moment::MidFrame: {
            // Cut anywhere from just after "#" to just before "$".
            const QByteArray next = frame(rng);
            QVERIFY(instrument.send(next.left(1 + rng.bounded(17))));
            break;
        }
        case Moment::MidWrite: {
            // A burst the console is still reading, then a command of its own
            // that it is still writing, then the line goes.
            QByteArray burst;
            const int frames = 1 + rng.bounded(200);
            for (int i = 0; i < frames; ++i)
                burst += frame(rng);
            burst.truncate(burst.size() - rng.bounded(18));
            QVERIFY(instrument.send(burst));
            window->findChild<QPushButton *>(QStringLiteral("Feed_Zero"))->click();
            break;
        }
        }
        cpu.start();
        instrument.hangUp();
    }

    QTRY_VERIFY2_WITH_TIMEOUT(isIdle(window.get()) && boxes.shown > boxesBefore, qPrintable(where),
                              5000);
    if (watchCpu) {
        // The message, its closing and the return to Idle are in the second too.
        const double share = cpu.shareAfter(1000);
        maxShare = qMax(maxShare, share);
        QVERIFY2(share < MaxCoreShare,
                 qPrintable(QStringLiteral("%1: %2 % of a core in the second after")
                                .arg(where)
                                .arg(share * 100, 0, 'f', 1)));
    }
    QVERIFY2(
        boxes.shown == boxesBefore + 1,
        qPrintable(QStringLiteral("%1: %2 messages").arg(where).arg(boxes.shown - boxesBefore)));
    QVERIFY2(isIdle(window.get()), qPrintable(where));
    // The run's sheet is made meanwhile, with the record open for reading.
    const QDir folder(records.path());
    QTRY_COMPARE_WITH_TIMEOUT(folder.entryList({"*.pdf"}).size(),
                              folder.entryList({"*.csv"}).size(), 5000);
    // The first run opens what lasts (the sheets' thread, say): not counted.
    if (run >= 0)
        QTRY_COMPARE_WITH_TIMEOUT(openDescriptors(), fdsBefore, 5000);
}

void TestPortLossSoak::shouldRecoverFromEveryHangUp()
{
    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("seed %u", seed);
    QRandomGenerator rng(seed);

    // Whatever Qt opens once on first use (fonts, the message box's icon) is
    // not a leak; one run first, not counted.
    runOnce(-1, Moment::MidFrame, rng, false);
    if (QTest::currentTestFailed())
        return;

    QElapsedTimer total;
    total.start();
    int cut[3] = {};
    for (int run = 0; run < Runs; ++run) {
        // The runs that watch the CPU go through every moment in turn.
        const bool watchCpu = run % CpuWatchEvery == 0;
        const Moment moment = watchCpu ? Moment((run / CpuWatchEvery) % 3) : Moment(rng.bounded(3));
        ++cut[int(moment)];
        runOnce(run, moment, rng, watchCpu);
        if (QTest::currentTestFailed())
            return;
    }
    qInfo("%d runs in %.1f s: %d idle, %d mid-frame, %d mid-write", Runs,
          double(total.elapsed()) / 1000, cut[0], cut[1], cut[2]);

    // Two hundred closed ports must leave nothing turning over.
    qInfo("highest share of a core in the second after a hang-up: %.2f %%", maxShare * 100);
    CpuWindow after;
    after.wholeProcess = true;
    after.start();
    const double share = after.shareAfter(1000);
    QVERIFY2(share < MaxCoreShare, qPrintable(QString::number(share * 100, 'f', 1)));
}

QTEST_MAIN(TestPortLossSoak)
#include "tst_port_loss_soak.moc"
