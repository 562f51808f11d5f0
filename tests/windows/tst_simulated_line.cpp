// SPDX-License-Identifier: MIT
// --simulate on Windows: the instrument plays on a line inside the program,
// which the console's serial port opens by name as it would a COM port.
#include "app/module1.h"
#include "console/orvane.h"
#include "link/device_link.h"
#include "link/port_map.h"
#include "sim/instrument.h"
#include "sim/line.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

namespace {
const QString LineName = QStringLiteral("simulated instrument");
}

class tst_simulated_line : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void shouldCarryFramesBothWaysOnlyWhileOpen();
    void shouldStopTheFeedWhenTheSessionEnds();

private:
    std::unique_ptr<InProcessInstrumentLine> line;
    std::unique_ptr<Instrument> instrument;
    PortMap ports;
    QByteArrayList frames; // what the instrument received, frame by frame
};

void tst_simulated_line::init()
{
    line = std::make_unique<InProcessInstrumentLine>(LineName);
    instrument = std::make_unique<Instrument>();
    connect(line.get(), &Line::received, instrument.get(),
            [this](const QByteArray &bytes) { instrument->receive(bytes); });
    connect(instrument.get(), &Instrument::transmit, line.get(), &Line::write);
    connect(instrument.get(), &Instrument::frameReceived, this,
            [this](const QByteArray &frame) { frames += frame; });
    ports = PortMap();
    ports.simulate(1, LineName);
    frames.clear();
}

void tst_simulated_line::cleanup()
{
    instrument.reset();
    line.reset();
}

void tst_simulated_line::shouldCarryFramesBothWaysOnlyWhileOpen()
{
    DeviceLink link;
    link.port().setPortMap(ports);
    QVERIFY(link.open(1));
    QSignalSpy status(&link, &DeviceLink::statusReceived);
    link.send(protocol::Command::StartConfig);
    // Nothing arrives inside the write itself, as on a port.
    QCOMPARE(status.count(), 0);
    QVERIFY(status.wait(2000));
    QCOMPARE(status.last().at(0).value<protocol::StatusFields>().span, QStringLiteral("20.0"));
    QCOMPARE(frames, QByteArrayList{"#1$"});

    // One console end at a time, as a port is one program's at a time.
    DeviceLink second;
    second.port().setPortMap(ports);
    QVERIFY(!second.open(1));
    QCOMPARE(second.lastError().trouble, PortTrouble::InUse);

    link.close();
    // What the instrument sends with no console attached is lost.
    instrument->sendStatus();
    QVERIFY(link.open(1));
    QCoreApplication::processEvents();
    QCOMPARE(link.port().read(), QByteArray());
}

// Windows announces the session's end and ends the process right after: the
// feed must be stopped before then, as by an ending signal.
void tst_simulated_line::shouldStopTheFeedWhenTheSessionEnds()
{
    Orvane window;
    window.setPortMap(ports);
    window.setRunRecordFolder(QString());
    window.show();
    window.findChild<QAction *>(QStringLiteral("mnuOperation_start_capture"))->trigger();
    auto *reading = window.findChild<QLineEdit *>(QStringLiteral("Zero_real"));
    QTRY_COMPARE(reading->text(), QStringLiteral("4.00"));
    window.findChild<QPushButton *>(QStringLiteral("Feed_Zero"))->click();
    QTRY_COMPARE(frames.size(), 2);
    QCOMPARE(instrument->feeding(), Instrument::Output::Zero);

    window.endSession();
    QTRY_COMPARE(frames, (QByteArrayList{"#1$", "#2$", "#3$"}));
    QCOMPARE(instrument->feeding(), Instrument::Output::None);
    QVERIFY(!window.findChild<QAction *>(QStringLiteral("mnuOperation_stop_capture"))->isEnabled());
}

QTEST_MAIN(tst_simulated_line)
#include "tst_simulated_line.moc"
