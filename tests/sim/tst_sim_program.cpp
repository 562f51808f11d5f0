// SPDX-License-Identifier: MIT
#include "pty_instrument.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

// The built simulator as an operator starts it: the link it makes and takes
// away again, what it refuses, and the log of received bytes.
class TestSimProgram : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void shouldLinkPathToLineAndRemoveItOnSignal_data();
    void shouldLinkPathToLineAndRemoveItOnSignal();
    void shouldRefuseLinkOverExistingPath_data();
    void shouldRefuseLinkOverExistingPath();
    void shouldReplaceItsOwnStaleLink();
    void shouldPlayInstrumentOnGivenPort();
    void shouldRejectBadNumbers_data();
    void shouldRejectBadNumbers();

private:
    // The first group of the first output line that matches; empty when none
    // came in time.
    QString waitForLine(const QString &pattern);

    QTemporaryDir dir;
    QProcess sim;
    QString output;
    QProcess other; // a second simulator where a test needs one
};

void TestSimProgram::init()
{
    QVERIFY(dir.isValid());
    output.clear();
    sim.setProcessChannelMode(QProcess::MergedChannels);
}

void TestSimProgram::cleanup()
{
    for (QProcess *p : {&sim, &other}) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished();
        }
    }
    for (const char *name : {"com1", "com2"})
        QFile::remove(dir.filePath(name));
}

QString TestSimProgram::waitForLine(const QString &pattern)
{
    const QRegularExpression re(pattern, QRegularExpression::MultilineOption);
    const QDeadlineTimer deadline(5000);
    for (;;) {
        output += QString::fromLocal8Bit(sim.readAll());
        const QRegularExpressionMatch m = re.match(output);
        if (m.hasMatch())
            return m.captured(1);
        if (deadline.hasExpired() || sim.state() == QProcess::NotRunning)
            return QString();
        sim.waitForReadyRead(int(deadline.remainingTime()));
    }
}

void TestSimProgram::shouldLinkPathToLineAndRemoveItOnSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("terminate") << int(SIGTERM);
    QTest::newRow("interrupt") << int(SIGINT);
    QTest::newRow("hang-up") << int(SIGHUP);
}

void TestSimProgram::shouldLinkPathToLineAndRemoveItOnSignal()
{
    QFETCH(int, signal);
    const QString link = dir.filePath("com2");
    const QString log = dir.filePath("rx.bin");
    sim.start(ZELVOR_INSTRUMENT_SIM, {"--link", link, "--log-rx", log, "--low", "1.5"});
    const QString pty = waitForLine("^console port: (\\S+)$");
    QVERIFY2(!pty.isEmpty(), qPrintable(output));
    QVERIFY2(!waitForLine("^(ready)").isEmpty(), qPrintable(output));
    QCOMPARE(QFileInfo(link).symLinkTarget(), pty);

    // The console's side, through the link.
    const int fd = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    const QByteArray sent("x#1$#6ab$");
    QCOMPARE(::write(fd, sent.constData(), size_t(sent.size())), ssize_t(sent.size()));
    QVERIFY2(!waitForLine("(low range set to \"ab  \")").isEmpty(), qPrintable(output));
    ::close(fd);
    QFile rx(log);
    QVERIFY(rx.open(QIODevice::ReadOnly));
    QCOMPARE(rx.readAll(), sent);
    QVERIFY(output.contains("-> #4.0020.01.5 10.0$"));
    QVERIFY(output.contains("<- x (outside any frame, ignored)"));

    ::kill(pid_t(sim.processId()), signal);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestSimProgram::shouldRefuseLinkOverExistingPath_data()
{
    QTest::addColumn<QString>("taken");
    QTest::newRow("file") << "file";
    QTest::newRow("link of a running simulator") << "live";
    QTest::newRow("link to a missing device that is no pseudo-terminal") << "device";
}

void TestSimProgram::shouldRefuseLinkOverExistingPath()
{
    QFETCH(QString, taken);
    const QString path = dir.filePath("com1");
    QString target;
    if (taken == "file") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    } else if (taken == "live") {
        other.setProcessChannelMode(QProcess::MergedChannels);
        other.start(ZELVOR_INSTRUMENT_SIM, {"--link", path});
        QVERIFY(other.waitForStarted());
        QTRY_VERIFY(QFileInfo(path).isSymLink());
        target = QFileInfo(path).symLinkTarget();
    } else {
        target = dir.filePath("ttyUSB0");
        QVERIFY(QFile::link(target, path));
    }

    sim.start(ZELVOR_INSTRUMENT_SIM, {"--link", path});
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 1);
    const QString said = QString::fromLocal8Bit(sim.readAll());
    QVERIFY2(said.contains(path + " exists already"), qPrintable(said));
    if (taken == "file") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("keep me"));
    } else {
        QCOMPARE(QFileInfo(path).symLinkTarget(), target);
    }
}

// What kill -9 leaves behind: the link, leading to a pseudo-terminal that is gone.
void TestSimProgram::shouldReplaceItsOwnStaleLink()
{
    const QString link = dir.filePath("com2");
    QString gone;
    QString pty;
    // The number of a pseudo-terminal just freed may be taken again at once by
    // another program, before or after the simulator looks; its link is then
    // rightly refused, so try again.
    for (int attempt = 0; attempt < 5 && pty.isEmpty(); ++attempt) {
        QFile::remove(link);
        output.clear();
        sim.start(ZELVOR_INSTRUMENT_SIM, {"--link", link});
        const QString killed = waitForLine("^console port: (\\S+)$");
        QVERIFY2(!waitForLine("^(ready)").isEmpty(), qPrintable(output));
        sim.kill();
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(QFileInfo(link).symLinkTarget(), killed);
        if (QFileInfo::exists(killed))
            continue;
        gone = killed;
        output.clear();
        sim.start(ZELVOR_INSTRUMENT_SIM, {"--link", link});
        pty = waitForLine("^console port: (\\S+)$");
        if (pty.isEmpty()) {
            QVERIFY(sim.waitForFinished(5000));
            QVERIFY2(QFileInfo::exists(gone), qPrintable(output)); // refused: taken meanwhile
        }
    }
    QVERIFY2(!pty.isEmpty(), qPrintable(output));
    QVERIFY2(output.contains(link + " led to " + gone + ", which is gone"), qPrintable(output));
    QVERIFY2(!waitForLine("^(ready)").isEmpty(), qPrintable(output));
    QCOMPARE(QFileInfo(link).symLinkTarget(), pty);
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

void TestSimProgram::shouldPlayInstrumentOnGivenPort()
{
    // A pseudo-terminal's slave stands in for the serial port; the test holds
    // the master, which is where the console would be.
    PtyInstrument consoleSide;
    QVERIFY(consoleSide.isValid());
    sim.start(ZELVOR_INSTRUMENT_SIM, {"--port", consoleSide.slavePath(), "--high", "99"});
    QCOMPARE(waitForLine("^console port: (\\S+)$"), consoleSide.slavePath());
    QVERIFY2(!waitForLine("^(ready)").isEmpty(), qPrintable(output));
    QVERIFY(consoleSide.send("#1$"));
    const QByteArray answer("#4.0020.00.0099  $");
    QCOMPARE(consoleSide.receive(answer.size()), answer);
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
}

void TestSimProgram::shouldRejectBadNumbers_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("negative period") << QStringList{"--period", "-5"};
    QTest::newRow("word for noise") << QStringList{"--noise", "lots"};
    QTest::newRow("empty flood") << QStringList{"--flood", ""};
}

void TestSimProgram::shouldRejectBadNumbers()
{
    QFETCH(QStringList, args);
    sim.start(ZELVOR_INSTRUMENT_SIM, args);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(QString::fromLocal8Bit(sim.readAll()).contains("needs a whole number"));
}

QTEST_GUILESS_MAIN(TestSimProgram)
#include "tst_sim_program.moc"
