// SPDX-License-Identifier: MIT
#include "csv_reader.h"
#include "ending/emergency_stop.h"
#include "link/device_link.h"
#include "port_routes.h"
#include "pty_instrument.h"
#include "records/run_record.h"
#include "startup/process_guards.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

const char ChildMode[] = "ZELVOR_GUARDS_CHILD";

// A console feeding its zero output on `port`, recording into `folder`, that
// then ends `how` without any closing step of its own. Says where its lock file is.
int feedThenEnd(const QString &how, const QString &port, const QString &folder)
{
    startUpDone();
    DeviceLink link;
    link.port().setPortMap(everyPortTo(port));
    if (!link.open(1))
        return 90;
    RunRecord record(folder);
    record.begin(1, port);
    emergency::setStopFrame(protocol::commandFrame(protocol::Command::StopFeedZero));
    std::printf("%s\n", qPrintable(link.port().ownLockFile()));
    std::fflush(stdout);
    if (how == "exit")
        std::exit(3);
    if (how == "exception")
        throw std::runtime_error("line noise");
    if (how == "fatal")
        qFatal("checksum mismatch");
    if (how == "fatal, quoted")
        qFatal("checksum \"A7\", not \"A5\"");
    std::abort();
}

} // namespace

// However the process ends short of SIGKILL, the instrument is told to stop
// feeding, the record ends with why, and the port's lock file goes.
class TestProcessGuards : public QObject
{
    Q_OBJECT
private slots:
    void shouldStopFeedAndEndRecord_data();
    void shouldStopFeedAndEndRecord();
};

void TestProcessGuards::shouldStopFeedAndEndRecord_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("crashed");
    QTest::newRow("exit() from a library") << "exit"
                                           << "ended unexpectedly" << false;
    QTest::newRow("uncaught exception") << "exception"
                                        << "uncaught exception: line noise" << true;
    QTest::newRow("fatal Qt message") << "fatal"
                                      << "fatal error: checksum mismatch" << true;
    // The reason goes into its field quoted as the record's own writer quotes.
    QTest::newRow("fatal Qt message with a comma and quotes")
        << "fatal, quoted"
        << "fatal error: checksum \"A7\", not \"A5\"" << true;
    QTest::newRow("abort()") << "abort"
                             << "signal SIGABRT" << true;
}

void TestProcessGuards::shouldStopFeedAndEndRecord()
{
    QFETCH(QString, how);
    QFETCH(QString, reason);
    QFETCH(bool, crashed);
    PtyInstrument instrument;
    QVERIFY(instrument.isValid());
    QTemporaryDir records;
    QVERIFY(records.isValid());
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(ChildMode, how);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {instrument.slavePath(), records.path()});
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), crashed ? QProcess::CrashExit : QProcess::NormalExit);

    QCOMPARE(instrument.receive(3), QByteArray("#3$"));
    const QString lockFile = QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed();
    QVERIFY2(!lockFile.isEmpty() && !QFileInfo::exists(lockFile), qPrintable(lockFile));
    const QStringList files = QDir(records.path()).entryList({"*.csv"});
    QCOMPARE(files.size(), 1);
    CsvRows tail;
    for (const QStringList &row : readCsv(records.filePath(files.first())).mid(2))
        tail << row.mid(1, 2);
    QCOMPARE(tail, CsvRows({{"sent", "#3$"}, {"end", reason}}));
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(ChildMode))
        return feedThenEnd(qEnvironmentVariable(ChildMode), app.arguments().value(1),
                           app.arguments().value(2));
    TestProcessGuards test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_process_guards.moc"
