// SPDX-License-Identifier: MIT
// The Win32 serial port on a Wine COM port that leads to a pseudo-terminal of
// the Linux side, where the instrument simulator plays the instrument. The
// script that runs this test sets the port up and ends the simulator when
// asked to (the port vanishing).
#include "link/device_link.h"
#include "link/port_map.h"
#include "link/win32_serial_line.h"
#include "protocol/protocol.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

class tst_win32_serial_line : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void shouldAnswerTheStartFrameOverTheConsolesLink();
    void shouldReportWhyAPortCannotBeOpened_data();
    void shouldReportWhyAPortCannotBeOpened();
    void shouldDropAStopFrameThatAStalledLineDidNotTake();
    void shouldReportAPortThatVanishesDuringARun();

private:
    QString port;
    PortMap ports;
};

void tst_win32_serial_line::initTestCase()
{
    port = qEnvironmentVariable("ZELVOR_TEST_COM");
    if (port.isEmpty())
        QSKIP("ZELVOR_TEST_COM names no Wine COM port led to a simulator");
    ports = PortMap(PortMap::Paths{{1, port}});
}

// The whole path of a run: the console's link opens "Com 1", sends "#1$", and
// the simulator's status frame comes back through the reader thread.
void tst_win32_serial_line::shouldAnswerTheStartFrameOverTheConsolesLink()
{
    DeviceLink link;
    link.port().setPortMap(ports);
    QVERIFY2(link.open(1), qPrintable(link.lastError().description));
    QSignalSpy status(&link, &DeviceLink::statusReceived);
    link.send(protocol::Command::StartConfig);
    QVERIFY(status.wait(5000));
    const auto fields = status.last().at(0).value<protocol::StatusFields>();
    QCOMPARE(fields.zero, QStringLiteral("4.00"));
    QCOMPARE(fields.span, QStringLiteral("20.0"));
    QCOMPARE(fields.lowRange, QStringLiteral("0.00"));
    QCOMPARE(fields.highRange, QStringLiteral("10.0"));

    link.sendValue(protocol::ValueTarget::LowRange, QStringLiteral("12.5"));
    QVERIFY(status.wait(5000));
    QCOMPARE(status.last().at(0).value<protocol::StatusFields>().lowRange, QStringLiteral("12.5"));
    link.close();
    QVERIFY(!link.isOpen());
    // Closed means released: the port opens again at once.
    Win32SerialLine again(port);
    PortError error;
    QVERIFY2(again.open(error), qPrintable(error.description));
}

void tst_win32_serial_line::shouldReportWhyAPortCannotBeOpened_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<PortTrouble>("trouble");
    QTest::newRow("no such port") << QStringLiteral("COM97") << PortTrouble::NotPresent;
    QTest::newRow("not a device") << QStringLiteral("\\\\.\\NoSuchDevice")
                                  << PortTrouble::NotPresent;
}

void tst_win32_serial_line::shouldReportWhyAPortCannotBeOpened()
{
    QFETCH(QString, path);
    QFETCH(PortTrouble, trouble);
    Win32SerialLine line(path);
    PortError error;
    QVERIFY(!line.open(error));
    QCOMPARE(error.trouble, trouble);
    QVERIFY(error.number != 0);
    QVERIFY2(!error.description.isEmpty() && !error.description.startsWith(QLatin1String("Error ")),
             qPrintable(error.description));
    QVERIFY(!line.isOpen());
}

// Has the script that runs this test take a step on the line, and waits
// until it has.
static bool take(const QString &step)
{
    QFile ask(step);
    return ask.open(QIODevice::WriteOnly) &&
           QTest::qWaitFor([&step] { return QFile::exists(step + QLatin1String(".done")); }, 10000);
}

// The line stops taking bytes while zero is fed (the other end's XOFF, a
// stuck adapter): the stop frame holds nothing up, is told as unsent when the
// port closes, and does not go out once the line moves again.
void tst_win32_serial_line::shouldDropAStopFrameThatAStalledLineDidNotTake()
{
    const QString line = qEnvironmentVariable("ZELVOR_TEST_LINE");
    if (line.isEmpty())
        QSKIP("ZELVOR_TEST_LINE names no folder where the line can be stalled");
    DeviceLink link;
    link.port().setPortMap(ports);
    QVERIFY(link.open(1));
    QSignalSpy written(&link, &DeviceLink::frameWritten);
    QSignalSpy unsent(&link, &DeviceLink::frameUnsent);
    link.send(protocol::Command::FeedZero);
    QTRY_COMPARE(written.count(), 1);
    QVERIFY(take(line + QLatin1String("\\stall")));
    QElapsedTimer held;
    held.start();
    link.send(protocol::Command::StopFeedZero);
    QVERIFY2(held.elapsed() < 300, qPrintable(QString::number(held.elapsed())));
    link.close();
    QCOMPARE(unsent.count(), 1);
    QCOMPARE(unsent.at(0).at(0).toByteArray(), QByteArray("#3$"));

    // Whatever had been kept back would arrive before the answered "#1$".
    QVERIFY(take(line + QLatin1String("\\move")));
    QSignalSpy status(&link, &DeviceLink::statusReceived);
    QVERIFY(link.open(1));
    link.send(protocol::Command::StartConfig);
    QVERIFY(status.wait(5000));
    QFile received(line + QLatin1String("\\rx.log"));
    QVERIFY(received.open(QIODevice::ReadOnly));
    QVERIFY(!received.readAll().contains("#3$"));
}

// The simulator ends (an adapter pulled out): the run learns of it once.
void tst_win32_serial_line::shouldReportAPortThatVanishesDuringARun()
{
    const QString marker = qEnvironmentVariable("ZELVOR_TEST_VANISH");
    if (marker.isEmpty())
        QSKIP("ZELVOR_TEST_VANISH names no file that ends the simulator");
    DeviceLink link;
    link.port().setPortMap(ports);
    QVERIFY(link.open(1));
    QSignalSpy failed(&link, &DeviceLink::portFailed);
    QFile ask(marker);
    QVERIFY(ask.open(QIODevice::WriteOnly));
    ask.close();
    QVERIFY(failed.wait(10000));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).value<PortError>().trouble, PortTrouble::Gone);
    QVERIFY(!link.isOpen());
}

QTEST_GUILESS_MAIN(tst_win32_serial_line)
#include "tst_win32_serial_line.moc"
