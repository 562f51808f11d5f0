// SPDX-License-Identifier: MIT
// One configuration run without a window, over the in-process line: the
// stop frame that every ending still sends, the record's lines, and the port
// lost while an output is fed.
#include "csv_reader.h"
#include "line_instrument.h"

#include "run/configuration_run.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using Ending = ConfigurationRun::Ending;
using Output = ConfigurationRun::Output;
using protocol::Command;

Q_DECLARE_METATYPE(ConfigurationRun::Ended)

namespace {

// The run's record without its header, its time column and the lines that
// name who ran it.
QList<QStringList> events(const QString &folder)
{
    const QStringList names = QDir(folder).entryList({"*.csv"}, QDir::Files, QDir::Name);
    if (names.size() != 1)
        return {};
    QList<QStringList> lines;
    const CsvRows rows = readCsv(QDir(folder).filePath(names.first()));
    for (qsizetype i = 2; i < rows.size(); ++i)
        lines << rows.at(i).mid(1, 2);
    return lines;
}

} // namespace

class TestConfigurationRun : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void shouldStopFedOutputHoweverRunEnds_data();
    void shouldStopFedOutputHoweverRunEnds();
    void shouldEndOnceWhenPortIsLostWhileFeeding();

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<LineInstrument> instrument;
    std::unique_ptr<DeviceLink> link;
    std::unique_ptr<ConfigurationRun> run;
};

void TestConfigurationRun::init()
{
    dir = std::make_unique<QTemporaryDir>();
    instrument = std::make_unique<LineInstrument>();
    link = std::make_unique<DeviceLink>();
    link->port().setPortMap(instrument->portMap());
    run = std::make_unique<ConfigurationRun>(*link);
    run->setRecordFolder(dir->path());
    QVERIFY(run->start(1));
    QCOMPARE(instrument->receive(3), QByteArray("#1$"));
    QVERIFY(instrument->send("#4.0020.00.0010.0$"));
    QTRY_COMPARE(events(dir->path()).size(), 2);
}

void TestConfigurationRun::cleanup()
{
    run.reset();
    link.reset();
    instrument.reset();
    dir.reset();
}

void TestConfigurationRun::shouldStopFedOutputHoweverRunEnds_data()
{
    QTest::addColumn<QList<Command>>("sent");
    QTest::addColumn<Ending>("ending");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("recorded");
    const QList<Command> zero = {Command::FeedZero};
    const QList<Command> span = {Command::FeedSpan};
    QTest::newRow("zero, Stop Config.") << zero << Ending::Stop << QByteArray("#2$#3$") << "stop";
    QTest::newRow("span, File > Exit") << span << Ending::Exit << QByteArray("#4$#5$") << "exit";
    QTest::newRow("zero, close box")
        << zero << Ending::WindowClosed << QByteArray("#2$#3$") << "window closed";
    QTest::newRow("span, signal") << span << Ending::Signal << QByteArray("#4$#5$") << "signal";
    QTest::newRow("zero, session end")
        << zero << Ending::SessionEnded << QByteArray("#2$#3$") << "session ended";
    // Stopped by hand first: the ending sends nothing more.
    QTest::newRow("stopped, Stop Config.")
        << QList<Command>{Command::FeedSpan, Command::StopFeedSpan} << Ending::Stop
        << QByteArray("#4$#5$") << "stop";
}

void TestConfigurationRun::shouldStopFedOutputHoweverRunEnds()
{
    QFETCH(QList<Command>, sent);
    QFETCH(Ending, ending);
    QFETCH(QByteArray, line);
    QFETCH(QString, recorded);
    for (Command command : sent)
        run->send(command);
    const ConfigurationRun::Ended ended = run->end(ending);
    QVERIFY(!run->isOpen());
    QVERIFY(ended.unsent.isEmpty());
    QCOMPARE(ended.mayStillFeed, Output::None);
    QCOMPARE(run->fed(), Output::None);

    QCOMPARE(instrument->receive(line.size()), line);
    const QList<QStringList> expected = {{"sent", "#1$"},
                                         {"reading", ""},
                                         {"sent", QString(line.left(3))},
                                         {"sent", QString(line.mid(3))},
                                         {"end", recorded}};
    QCOMPARE(events(dir->path()), expected);
}

void TestConfigurationRun::shouldEndOnceWhenPortIsLostWhileFeeding()
{
    qRegisterMetaType<ConfigurationRun::Ended>();
    QSignalSpy lost(run.get(), &ConfigurationRun::portLost);
    run->send(Command::FeedZero);
    QCOMPARE(instrument->receive(3), QByteArray("#2$"));
    instrument->hangUp();
    QVERIFY(lost.wait());
    const auto ended = lost.first().at(1).value<ConfigurationRun::Ended>();
    QCOMPARE(ended.mayStillFeed, Output::Zero);
    QVERIFY(!ended.stopFrameUnsent);
    QVERIFY(!run->isOpen());
    // Ended already: a later ending adds nothing.
    QVERIFY(run->end(Ending::Exit).unsent.isEmpty());
    const QList<QStringList> lines = events(dir->path());
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.last().at(0), QString("end"));
    QVERIFY2(lines.last().at(1).startsWith("port lost: "), qPrintable(lines.last().at(1)));
    QCOMPARE(lost.size(), 1);
}

QTEST_MAIN(TestConfigurationRun)
#include "tst_configuration_run.moc"
