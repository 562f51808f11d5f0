// SPDX-License-Identifier: MIT
#include "link/device_link.h"
#include "port_routes.h"
#include "protocol/protocol.h"
#include "protocol/receive_framer.h"
#include "sim/instrument.h"
#include "sim/line.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(protocol::StatusFields)

using protocol::StatusFields;

// The simulated instrument on a real pseudo-terminal, with the console's own
// link on the other side.
class TestInstrumentSim : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void shouldBuildStatusFrameThatSplitsBackIntoFields_data();
    void shouldBuildStatusFrameThatSplitsBackIntoFields();
    void shouldAnswerStatusRequest();
    void shouldSetRangeFromValueFrame_data();
    void shouldSetRangeFromValueFrame();
    void shouldFeedAndStopOutputs();
    void shouldStoreSettingsOnlyOnSave();
    void shouldIgnoreStrayAndUnknownFrames_data();
    void shouldIgnoreStrayAndUnknownFrames();
    void shouldDeliverWholeFramesThroughNoiseSplitAndFlood_data();
    void shouldDeliverWholeFramesThroughNoiseSplitAndFlood();
    void shouldSendStatusPeriodicallyAndWhileFeeding();
    void shouldAnswerAgainAfterConsoleReopensPort();
    void shouldDropOnlyWhatNoConsoleReads();

private:
    void sendFromConsole(const QByteArray &bytes);

    std::unique_ptr<Instrument> instrument;
    std::unique_ptr<PtyLine> line;
    std::unique_ptr<DeviceLink> console;
};

void TestInstrumentSim::init()
{
    qRegisterMetaType<StatusFields>();
    instrument = std::make_unique<Instrument>();
    line = std::make_unique<PtyLine>();
    QVERIFY2(line->isOpen(), qPrintable(line->errorString()));
    connect(line.get(), &Line::received, instrument.get(),
            [this](const QByteArray &bytes) { instrument->receive(bytes); });
    connect(instrument.get(), &Instrument::transmit, line.get(), &Line::write);
    const QString path = line->consolePath();
    console = std::make_unique<DeviceLink>();
    console->port().setPortMap(everyPortTo(path));
    QVERIFY(console->open(1));
}

void TestInstrumentSim::cleanup()
{
    console.reset();
    instrument.reset();
    line.reset();
}

void TestInstrumentSim::sendFromConsole(const QByteArray &bytes)
{
    console->port().write(bytes);
}

void TestInstrumentSim::shouldBuildStatusFrameThatSplitsBackIntoFields_data()
{
    QTest::addColumn<StatusFields>("fields");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<StatusFields>("shown");
    QTest::newRow("four by four") << StatusFields{"4.00", "20.0", "0.00", "10.0"}
                                  << QByteArray("#4.0020.00.0010.0$")
                                  << StatusFields{"4.00", "20.0", "0.00", "10.0"};
    QTest::newRow("short fields padded")
        << StatusFields{"1", "", "ab", "xyz"} << QByteArray("#1       ab  xyz $")
        << StatusFields{"1   ", "    ", "ab  ", "xyz "};
    QTest::newRow("long fields cut")
        << StatusFields{"12345", "abcdef", "0.000", "99999"} << QByteArray("#1234abcd0.009999$")
        << StatusFields{"1234", "abcd", "0.00", "9999"};
    QTest::newRow("latin-1 kept one byte each") << StatusFields{QString::fromLatin1("\xb5"
                                                                                    "A  "),
                                                                "+5.0", "-1.0", "1e+3"}
                                                << QByteArray("#\xb5"
                                                              "A  +5.0-1.01e+3$")
                                                << StatusFields{QString::fromLatin1("\xb5"
                                                                                    "A  "),
                                                                "+5.0", "-1.0", "1e+3"};
}

void TestInstrumentSim::shouldBuildStatusFrameThatSplitsBackIntoFields()
{
    QFETCH(StatusFields, fields);
    QFETCH(QByteArray, frame);
    QFETCH(StatusFields, shown);
    const QByteArray built = protocol::statusFrame(fields);
    QCOMPARE(built, frame);
    QCOMPARE(protocol::splitStatusBody(QByteArrayView(built).sliced(1, built.size() - 2)), shown);
}

void TestInstrumentSim::shouldAnswerStatusRequest()
{
    instrument->setSettings({"1.25", "18.5", "-2.0", "99.9"});
    QSignalSpy status(console.get(), &DeviceLink::statusReceived);
    console->send(protocol::Command::StartConfig);
    QVERIFY(status.wait(3000));
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.at(0).at(0).value<StatusFields>(),
             (StatusFields{"1.25", "18.5", "-2.0", "99.9"}));
}

void TestInstrumentSim::shouldSetRangeFromValueFrame_data()
{
    QTest::addColumn<bool>("low");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("low, four characters") << true << "12.5"
                                          << "12.5";
    QTest::newRow("low, two characters padded") << true << "12"
                                                << "12  ";
    QTest::newRow("low, empty box") << true << ""
                                    << "    ";
    QTest::newRow("high, blanks kept") << false << " 7 "
                                       << " 7  ";
    QTest::newRow("high, inner # is a character") << false << "a#b"
                                                  << "a#b ";
    QTest::newRow("high, longer than a field is cut") << false << "123456"
                                                      << "1234";
}

void TestInstrumentSim::shouldSetRangeFromValueFrame()
{
    QFETCH(bool, low);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QSignalSpy status(console.get(), &DeviceLink::statusReceived);
    console->sendValue(low ? protocol::ValueTarget::LowRange : protocol::ValueTarget::HighRange,
                       typed);
    QVERIFY(status.wait(3000));
    const auto shown = status.last().at(0).value<StatusFields>();
    QCOMPARE(low ? shown.lowRange : shown.highRange, kept);
    QCOMPARE(low ? shown.highRange : shown.lowRange, low ? QString("10.0") : QString("0.00"));
    QCOMPARE(low ? instrument->settings().lowRange : instrument->settings().highRange, kept);
}

void TestInstrumentSim::shouldFeedAndStopOutputs()
{
    using protocol::Command;
    using Output = Instrument::Output;
    QSignalSpy notes(instrument.get(), &Instrument::note);
    QSignalSpy sent(instrument.get(), &Instrument::sent);

    console->send(Command::FeedZero);
    QTRY_COMPARE(instrument->feeding(), Output::Zero);
    QVERIFY(notes.last().at(0).toString().contains("zero output"));
    console->send(Command::StopFeedZero);
    QTRY_COMPARE(instrument->feeding(), Output::None);

    console->send(Command::FeedSpan);
    QTRY_COMPARE(instrument->feeding(), Output::Span);
    const qsizetype before = notes.count();
    console->send(Command::StopFeedZero); // the zero output is not fed: the span goes on
    QTRY_COMPARE(notes.count(), before + 1);
    QCOMPARE(instrument->feeding(), Output::Span);
    console->send(Command::StopFeedSpan);
    QTRY_COMPARE(instrument->feeding(), Output::None);
    // Feed commands are not answered unless a feed period is set.
    QCOMPARE(sent.count(), 0);
}

void TestInstrumentSim::shouldStoreSettingsOnlyOnSave()
{
    const StatusFields start = instrument->settings();
    QSignalSpy status(console.get(), &DeviceLink::statusReceived);
    console->sendValue(protocol::ValueTarget::HighRange, "50.0");
    QVERIFY(status.wait(3000));
    QCOMPARE(instrument->settings().highRange, QString("50.0"));
    QCOMPARE(instrument->savedSettings(), start);

    console->send(protocol::Command::Save);
    QVERIFY(status.wait(3000));
    QCOMPARE(instrument->savedSettings().highRange, QString("50.0"));
    QCOMPARE(instrument->savedSettings(), instrument->settings());
}

void TestInstrumentSim::shouldIgnoreStrayAndUnknownFrames_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QByteArray>("dropped");
    // A "$" with no frame open must not repeat the status request before it.
    QTest::newRow("stray $ after a request") << QByteArray("$") << 0 << QByteArray("$");
    QTest::newRow("noise outside frames") << QByteArray("ab\r\n") << 0 << QByteArray("ab\r\n");
    QTest::newRow("unknown command") << QByteArray("#9$") << 1 << QByteArray();
    QTest::newRow("fixed command with a tail") << QByteArray("#1x$") << 1 << QByteArray();
    QTest::newRow("empty frame") << QByteArray("#$") << 1 << QByteArray();
}

void TestInstrumentSim::shouldIgnoreStrayAndUnknownFrames()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, frames);
    QFETCH(QByteArray, dropped);
    QSignalSpy status(console.get(), &DeviceLink::statusReceived);
    console->send(protocol::Command::StartConfig);
    QVERIFY(status.wait(3000));

    QSignalSpy received(instrument.get(), &Instrument::frameReceived);
    QSignalSpy outside(instrument.get(), &Instrument::dropped);
    QSignalSpy sent(instrument.get(), &Instrument::sent);
    // A status request behind the bytes shows when they have all been taken.
    sendFromConsole(bytes + "#1$");
    QTRY_COMPARE(received.count(), frames + 1);
    QCOMPARE(sent.count(), 1);
    QByteArray droppedBytes;
    for (const QList<QVariant> &args : outside)
        droppedBytes += args.at(0).toByteArray();
    QCOMPARE(droppedBytes, dropped);
    QCOMPARE(instrument->feeding(), Instrument::Output::None);
}

void TestInstrumentSim::shouldDeliverWholeFramesThroughNoiseSplitAndFlood_data()
{
    QTest::addColumn<int>("noise");
    QTest::addColumn<int>("splitMs");
    QTest::addColumn<int>("flood");
    QTest::newRow("plain") << 0 << 0 << 1;
    QTest::newRow("noise") << 7 << 0 << 1;
    QTest::newRow("split") << 0 << 1 << 1;
    QTest::newRow("noise and split") << 3 << 1 << 2;
    QTest::newRow("flood") << 0 << 0 << 500;
    QTest::newRow("flood with noise") << 5 << 0 << 200;
}

void TestInstrumentSim::shouldDeliverWholeFramesThroughNoiseSplitAndFlood()
{
    QFETCH(int, noise);
    QFETCH(int, splitMs);
    QFETCH(int, flood);
    instrument->setSettings({"0.10", "19.9", "0.25", "7.50"});
    instrument->setNoise(noise);
    instrument->setSplitDelay(splitMs);
    instrument->setFlood(flood);

    // The console's framer fed byte by byte, counting every frame it ends.
    console->close();
    SerialPort port;
    port.setPortMap(console->port().portMap());
    QVERIFY(port.open());
    ReceiveFramer framer;
    int frames = 0;
    QByteArray arrived;
    bool allRight = true;
    connect(&port, &SerialPort::received, this, [&] {
        const QByteArray bytes = port.read();
        arrived += bytes;
        for (char c : bytes) {
            if (framer.step(c)) {
                ++frames;
                allRight = allRight && framer.shownBody() == QByteArrayView("0.1019.90.257.50");
            }
        }
    });
    port.write(protocol::commandFrame(protocol::Command::StartConfig));
    QTRY_COMPARE_WITH_TIMEOUT(frames, flood, 10000);
    QVERIFY(allRight);
    QCOMPARE(arrived.size(), qsizetype(flood) * (noise + 18));
}

void TestInstrumentSim::shouldSendStatusPeriodicallyAndWhileFeeding()
{
    QSignalSpy status(console.get(), &DeviceLink::statusReceived);
    instrument->setFeedPeriod(20);
    QVERIFY(!status.wait(200)); // not feeding: nothing unasked

    console->send(protocol::Command::FeedSpan);
    QTRY_VERIFY(status.count() >= 3);
    console->send(protocol::Command::StopFeedSpan);
    QTRY_COMPARE(instrument->feeding(), Instrument::Output::None);
    // Frames already on their way land before the answer to this request.
    const qsizetype before = status.count();
    console->send(protocol::Command::StartConfig);
    QTRY_VERIFY(status.count() > before);
    status.clear();
    QVERIFY(!status.wait(200));

    instrument->setPeriod(20);
    QTRY_VERIFY(status.count() >= 3);
    instrument->setPeriod(0);
}

void TestInstrumentSim::shouldAnswerAgainAfterConsoleReopensPort()
{
    QSignalSpy status(console.get(), &DeviceLink::statusReceived);
    for (int run = 0; run < 3; ++run) {
        QVERIFY(console->open(1));
        console->send(protocol::Command::StartConfig);
        QVERIFY2(status.wait(3000), qPrintable(QString("run %1").arg(run)));
        console->close();
    }
    QCOMPARE(status.count(), 3);
}

void TestInstrumentSim::shouldDropOnlyWhatNoConsoleReads()
{
    QSignalSpy trouble(line.get(), &Line::trouble);
    line->setStaleCheckInterval(50);

    // The console reads: periodic frames all arrive, nothing is dropped.
    QSignalSpy status(console.get(), &DeviceLink::statusReceived);
    instrument->setPeriod(10);
    QTRY_VERIFY(status.count() >= 20);
    instrument->setPeriod(0);
    QCOMPARE(trouble.count(), 0);

    // No console: what waits unread is dropped, so a console that opens
    // later does not get a pile of old frames.
    console->close();
    instrument->sendStatus();
    QTRY_VERIFY(line->unreadBytes() > 0);
    QVERIFY(trouble.wait(2000));
    QCOMPARE(line->unreadBytes(), 0);
    QVERIFY(trouble.last().at(0).toString().contains("18 bytes dropped"));
}

QTEST_GUILESS_MAIN(TestInstrumentSim)
#include "tst_instrument_sim.moc"
