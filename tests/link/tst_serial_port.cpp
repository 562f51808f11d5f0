// SPDX-License-Identifier: MIT
#include "console/port_words.h"
#include "link/device_link.h"
#include "link/serial_port.h"
#include "port_routes.h"
#include "pty_instrument.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <QScopeGuard>
#include <QSysInfo>

#include <fcntl.h>
#include <grp.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(protocol::StatusFields)
Q_DECLARE_METATYPE(PortTrouble)

// The console's side of a real pseudo-terminal: the test holds the master and
// plays the instrument.
class TestSerialPort : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void shouldWriteFramesByteExactInCallOrder_data();
    void shouldWriteFramesByteExactInCallOrder();
    void shouldDeliverEveryByteUnchangedAndInOrder();
    void shouldShowLastFrameOfEachNotification();
    void shouldSendQueuedBytesBeforeClosing();
    void shouldReportHangUpOnceAndClose();
    void shouldFailToOpenMissingPathWithNumberAndDescription();
    void shouldNotSpliceCutFrameIntoNextRun();
    void shouldMapPortNumbersToDevicePaths();
    void shouldTellTheCauseOfAnOpenFailure_data();
    void shouldTellTheCauseOfAnOpenFailure();

private:
    std::unique_ptr<PtyInstrument> instrument;
    // Every port to the instrument's end.
    PortMap ports;
};

void TestSerialPort::init()
{
    qRegisterMetaType<protocol::StatusFields>();
    qRegisterMetaType<PortError>();
    instrument = std::make_unique<PtyInstrument>();
    QVERIFY(instrument->isValid());
    ports = everyPortTo(instrument->slavePath());
}

void TestSerialPort::cleanup()
{
    instrument.reset();
}

void TestSerialPort::shouldWriteFramesByteExactInCallOrder_data()
{
    using namespace protocol;
    QTest::addColumn<int>("scenario");
    QTest::addColumn<QByteArray>("onTheLine");
    QTest::newRow("start config") << 0 << QByteArray("#1$");
    QTest::newRow("empty low-range value") << 1 << QByteArray("#6$");
    QTest::newRow("one run of commands") << 2 << QByteArray("#1$#2$#3$#4$#5$#6-1.5$#7 20 $#8$");
    QTest::newRow("closed again") << 3 << QByteArray();
}

void TestSerialPort::shouldWriteFramesByteExactInCallOrder()
{
    using namespace protocol;
    QFETCH(int, scenario);
    QFETCH(QByteArray, onTheLine);

    DeviceLink link;
    link.port().setPortMap(ports);
    QVERIFY2(link.open(1), qPrintable(link.lastError().description));
    QSignalSpy announced(&link, &DeviceLink::frameWritten);
    switch (scenario) {
    case 0:
        link.send(Command::StartConfig);
        break;
    case 1:
        link.sendValue(ValueTarget::LowRange, QString());
        break;
    case 3:
        link.close();
        link.send(Command::StopFeedZero);
        link.sendValue(ValueTarget::HighRange, "1");
        break;
    default:
        for (Command c : {Command::StartConfig, Command::FeedZero, Command::StopFeedZero,
                          Command::FeedSpan, Command::StopFeedSpan})
            link.send(c);
        link.sendValue(ValueTarget::LowRange, "-1.5");
        link.sendValue(ValueTarget::HighRange, " 20 ");
        link.send(Command::Save);
    }
    QCOMPARE(instrument->receive(onTheLine.size()), onTheLine);
    QCOMPARE(instrument->receiveFor(100), QByteArray());
    // Announced once per frame, whole, as it went out: a value frame too.
    QByteArray frames;
    for (const QList<QVariant> &frame : announced) {
        const QByteArray bytes = frame.at(0).toByteArray();
        QVERIFY2(bytes.startsWith('#') && bytes.indexOf('$') == bytes.size() - 1, bytes);
        frames += bytes;
    }
    QCOMPARE(frames, onTheLine);
}

// Raw line: no byte is translated, swallowed (XON/XOFF, ^C, CR) or replaced.
void TestSerialPort::shouldDeliverEveryByteUnchangedAndInOrder()
{
    SerialPort port;
    port.setPortMap(ports);
    QVERIFY(port.open());
    QByteArray got;
    int notifications = 0;
    connect(&port, &SerialPort::received, this, [&] {
        ++notifications;
        got += port.read();
    });

    QByteArray sent;
    for (int round = 0; round < 64; ++round)
        for (int b = 0; b < 256; ++b)
            sent.append(char(b));
    QRandomGenerator rng(7);
    for (qsizetype at = 0; at < sent.size();) {
        const qsizetype n = qMin<qsizetype>(rng.bounded(1, 700), sent.size() - at);
        QVERIFY(instrument->send(sent.mid(at, n)));
        at += n;
        QCoreApplication::processEvents();
    }
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), sent.size(), 10000);
    QCOMPARE(got, sent);
    QVERIFY(notifications > 1);
}

void TestSerialPort::shouldShowLastFrameOfEachNotification()
{
    DeviceLink link;
    link.port().setPortMap(ports);
    QVERIFY(link.open(1));
    QSignalSpy shown(&link, &DeviceLink::statusReceived);
    QSignalSpy every(&link, &DeviceLink::frameEnded);

    QVERIFY(instrument->send("noise#0001"));
    QVERIFY(instrument->send("0002000300"));
    QVERIFY(instrument->send("04$"));
    QVERIFY(shown.wait(5000));
    const auto first = shown.takeLast().at(0).value<protocol::StatusFields>();
    QCOMPARE(first, (protocol::StatusFields{"0001", "0002", "0003", "0004"}));

    // Many frames at once: what the boxes end up showing is the last one.
    QByteArray flood;
    for (int i = 0; i < 500; ++i)
        flood += QByteArray("#") + QByteArray::number(1000 + i).repeated(4) + "$";
    QVERIFY(instrument->send(flood));
    QTRY_VERIFY(!shown.isEmpty() &&
                shown.last().at(0).value<protocol::StatusFields>().zero == QLatin1String("1499"));
    // The record hears of every one of them, in order.
    QTRY_COMPARE(every.size(), 501);
    for (int i = 0; i < 500; ++i)
        QCOMPARE(every.at(i + 1).at(0).value<protocol::StatusFields>().span,
                 QString::number(1000 + i));
}

void TestSerialPort::shouldSendQueuedBytesBeforeClosing()
{
    SerialPort port;
    port.setPortMap(ports);
    QVERIFY(port.open());
    QByteArray queued;
    for (int i = 0; i < 100; ++i)
        queued += "#2$#3$";
    port.write(queued);
    port.close(); // no event loop turn in between
    QVERIFY(!port.isOpen());
    QCOMPARE(instrument->receive(queued.size()), queued);
}

void TestSerialPort::shouldReportHangUpOnceAndClose()
{
    SerialPort port;
    port.setPortMap(ports);
    QVERIFY(port.open());
    QSignalSpy failed(&port, &SerialPort::failed);
    QSignalSpy received(&port, &SerialPort::received);
    // "Com 1" leads elsewhere by now, as an adapter's link goes with the adapter.
    port.setPortMap(everyPortTo(QStringLiteral("/dev/elsewhere")));

    instrument->hangUp();
    QVERIFY(failed.wait(5000));
    QVERIFY(!port.isOpen());
    const auto error = failed.at(0).at(0).value<PortError>();
    QVERIFY(error.number != 0);
    QVERIFY(!error.description.isEmpty());
    QCOMPARE(error.portName, instrument->slavePath());
    QCOMPARE(error.trouble, PortTrouble::Gone);
    QVERIFY(PortWords::trouble(error).contains("gone or was unplugged"));

    // A closed port raises nothing more.
    received.clear();
    QVERIFY(!failed.wait(300));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(received.size(), 0);
}

void TestSerialPort::shouldFailToOpenMissingPathWithNumberAndDescription()
{
    PortMap::Paths paths;
    for (int n = PortMap::FirstPort; n <= PortMap::LastPort; ++n)
        paths.insert(n, QStringLiteral("/nonexistent/ttyZ%1").arg(n));
    DeviceLink link;
    link.port().setPortMap(PortMap(paths));
    QVERIFY(!link.open(3));
    QVERIFY(!link.isOpen());
    QCOMPARE(link.lastError().number, int(QSerialPort::DeviceNotFoundError));
    QVERIFY(!link.lastError().description.isEmpty());
    QCOMPARE(link.lastError().portName, QStringLiteral("/nonexistent/ttyZ3"));
}

void TestSerialPort::shouldNotSpliceCutFrameIntoNextRun()
{
    DeviceLink link;
    link.port().setPortMap(ports);
    QSignalSpy shown(&link, &DeviceLink::statusReceived);
    QVERIFY(link.open(1));
    QVERIFY(instrument->send("#OLD"));
    QTRY_VERIFY(link.framer().frameOpen());
    link.close();

    QVERIFY(link.open(1));
    QVERIFY(instrument->send("#NEW1NEW2NEW3NEW4$"));
    QVERIFY(shown.wait(5000));
    QCOMPARE(shown.last().at(0).value<protocol::StatusFields>(),
             (protocol::StatusFields{"NEW1", "NEW2", "NEW3", "NEW4"}));
}

// The standard names' order (/dev/comN, then /dev/ttyS(N-1)) is the port
// map's own test; here, that the port follows the map installed.
void TestSerialPort::shouldMapPortNumbersToDevicePaths()
{
    SerialPort port;
    port.setPortMap(ports);
    port.setPortNumber(4);
    QVERIFY(port.open());
    QCOMPARE(port.openedPath(), instrument->slavePath());
    port.close();
}

void TestSerialPort::shouldTellTheCauseOfAnOpenFailure_data()
{
    QTest::addColumn<int>("cause");
    QTest::addColumn<PortTrouble>("trouble");
    QTest::addColumn<QString>("words");
    QTest::newRow("no such path") << 0 << PortTrouble::NotPresent << "There is no such device";
    QTest::newRow("link left by an unplugged adapter")
        << 1 << PortTrouble::Gone << "The device is gone or was unplugged";
    QTest::newRow("no permission") << 2 << PortTrouble::NoPermission
                                   << "You have no permission to use the device: join the group";
    QTest::newRow("lock file held by another open")
        << 3 << PortTrouble::InUse << "The port is in use by another program";
    QTest::newRow("exclusive mode, which root passes")
        << 4 << PortTrouble::InUse << "The port is in use by another program";
    QTest::newRow("root's lock file of an ended program")
        << 5 << PortTrouble::StaleLock
        << "A stale lock file of a program that has ended blocks the port: ";
}

void TestSerialPort::shouldTellTheCauseOfAnOpenFailure()
{
    QFETCH(int, cause);
    QFETCH(PortTrouble, trouble);
    QFETCH(QString, words);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path;
    QString group;
    QString lockFile;
    SerialPort holder;
    holder.setPortMap(ports);
    int exclusive = -1;
    auto release = qScopeGuard([&] {
        if (exclusive >= 0)
            ::close(exclusive);
        if (!lockFile.isEmpty())
            QFile::remove(lockFile);
    });
    switch (cause) {
    case 0:
        path = dir.filePath("ttyGone");
        break;
    case 1:
        path = dir.filePath("com1");
        QVERIFY(QFile::link(dir.filePath("ttyUSB9"), path));
        break;
    case 3:
        path = instrument->slavePath();
        QVERIFY(holder.open());
        break;
    case 4:
        path = instrument->slavePath();
        exclusive = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(exclusive >= 0);
        QCOMPARE(::ioctl(exclusive, TIOCEXCL), 0);
        break;
    case 5: {
        // Left by a process that is gone, owned by root; the console runs as
        // another user, who may use the device but not remove root's file.
        if (::geteuid() != 0)
            QSKIP("needs root to leave a lock file that the user cannot remove");
        path = instrument->deviceSlavePath();
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0666), 0);
        lockFile = "/run/lock/LCK.." + path.mid(5).replace('/', '_');
        QFile lock(lockFile);
        QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::NewOnly));
        lock.write("2147483646\nzelvor-console\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        words += lockFile + ", owned by root. Remove it (root runs \"rm " + lockFile;
        break;
    }
    default: {
        // The device itself, its owner refused and its group let in. Root is
        // refused nothing, so it opens as another user, and the device goes
        // to a group that root is not in.
        path = instrument->deviceSlavePath();
        const QByteArray native = QFile::encodeName(path);
        if (::geteuid() == 0) {
            const struct group *dialout = ::getgrnam("dialout");
            QCOMPARE(::chown(native.constData(), uid_t(-1), dialout ? dialout->gr_gid : 65534), 0);
        }
        QCOMPARE(::chmod(native.constData(), 0060), 0);
        struct stat st;
        QCOMPARE(::stat(native.constData(), &st), 0);
        group = QString::fromLocal8Bit(::getgrgid(st.st_gid)->gr_name);
        words += " \"" + group + "\"";
    }
    }
    SerialPort port;
    port.setPortMap(everyPortTo(path));
    const uid_t effective = ::geteuid();
    if ((cause == 2 || cause == 5) && effective == 0)
        QCOMPARE(::seteuid(65534), 0);
    const bool opened = port.open();
    if (::geteuid() != effective)
        QCOMPARE(::seteuid(effective), 0);
    QVERIFY(!opened);
    QCOMPARE(port.lastError().trouble, trouble);
    QCOMPARE(port.lastError().portName, path);
    QCOMPARE(port.lastError().group, group);
    QCOMPARE(port.lastError().lockFile, lockFile);
    QVERIFY2(PortWords::trouble(port.lastError()).startsWith(words),
             qPrintable(PortWords::trouble(port.lastError())));
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serial_port.moc"
