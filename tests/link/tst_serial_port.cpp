#include "app/module1.h"
#include "link/device_link.h"
#include "link/serial_port.h"
#include "pty_instrument.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(protocol::StatusFields)

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

private:
    std::unique_ptr<PtyInstrument> instrument;
};

void TestSerialPort::init()
{
    qRegisterMetaType<protocol::StatusFields>();
    qRegisterMetaType<PortError>();
    Module1::device_found = 0;
    instrument = std::make_unique<PtyInstrument>();
    QVERIFY(instrument->isValid());
    const QString path = instrument->slavePath();
    setPortNameResolver([path](int) { return path; });
}

void TestSerialPort::cleanup()
{
    setPortNameResolver({});
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
}

void TestSerialPort::shouldWriteFramesByteExactInCallOrder()
{
    using namespace protocol;
    QFETCH(int, scenario);
    QFETCH(QByteArray, onTheLine);

    DeviceLink link;
    QVERIFY2(link.open(1), qPrintable(link.lastError().description));
    switch (scenario) {
    case 0:
        link.send(Command::StartConfig);
        break;
    case 1:
        link.sendValue(ValueTarget::LowRange, QString());
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
}

// Raw line: no byte is translated, swallowed (XON/XOFF, ^C, CR) or replaced.
void TestSerialPort::shouldDeliverEveryByteUnchangedAndInOrder()
{
    SerialPort port;
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
    QVERIFY(link.open(1));
    QSignalSpy shown(&link, &DeviceLink::statusReceived);

    QVERIFY(instrument->send("noise#0001"));
    QVERIFY(instrument->send("0002000300"));
    QVERIFY(instrument->send("04$"));
    QVERIFY(shown.wait(5000));
    QCOMPARE(Module1::device_found, qint16(1));
    const auto first = shown.takeLast().at(0).value<protocol::StatusFields>();
    QCOMPARE(first, (protocol::StatusFields{"0001", "0002", "0003", "0004"}));

    // Many frames at once: what the boxes end up showing is the last one.
    QByteArray flood;
    for (int i = 0; i < 500; ++i)
        flood += QByteArray("#") + QByteArray::number(1000 + i).repeated(4) + "$";
    QVERIFY(instrument->send(flood));
    QTRY_VERIFY(!shown.isEmpty() &&
                shown.last().at(0).value<protocol::StatusFields>().zero == QLatin1String("1499"));
}

void TestSerialPort::shouldSendQueuedBytesBeforeClosing()
{
    SerialPort port;
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
    QVERIFY(port.open());
    QSignalSpy failed(&port, &SerialPort::failed);
    QSignalSpy received(&port, &SerialPort::received);

    instrument->hangUp();
    QVERIFY(failed.wait(5000));
    QVERIFY(!port.isOpen());
    const auto error = failed.at(0).at(0).value<PortError>();
    QVERIFY(error.number != 0);
    QVERIFY(!error.description.isEmpty());

    // A closed port raises nothing more.
    received.clear();
    QVERIFY(!failed.wait(300));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(received.size(), 0);
}

void TestSerialPort::shouldFailToOpenMissingPathWithNumberAndDescription()
{
    setPortNameResolver([](int n) { return QStringLiteral("/nonexistent/ttyZ%1").arg(n); });
    DeviceLink link;
    QVERIFY(!link.open(3));
    QVERIFY(!link.isOpen());
    QCOMPARE(link.lastError().number, int(QSerialPort::DeviceNotFoundError));
    QVERIFY(!link.lastError().description.isEmpty());
    QCOMPARE(link.lastError().portName, QStringLiteral("/nonexistent/ttyZ3"));
}

void TestSerialPort::shouldNotSpliceCutFrameIntoNextRun()
{
    DeviceLink link;
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

void TestSerialPort::shouldMapPortNumbersToDevicePaths()
{
    QCOMPARE(portNameFor(4), instrument->slavePath());
    setPortNameResolver({});
#ifdef Q_OS_WIN
    QCOMPARE(portNameFor(2), QStringLiteral("COM2"));
#else
    for (int n = 1; n <= 8; ++n) {
        const QString alias = QStringLiteral("/dev/com%1").arg(n);
        const QFileInfo info(alias);
        const QString expected =
            info.exists() || info.isSymLink() ? alias : QStringLiteral("/dev/ttyS%1").arg(n - 1);
        QCOMPARE(portNameFor(n), expected);
    }
#endif
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serial_port.moc"
