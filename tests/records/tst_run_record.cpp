// SPDX-License-Identifier: MIT
#include "csv_reader.h"
#include "records/run_record.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

const QString ChildMode = QStringLiteral("ZELVOR_RECORD_CHILD");
const QDateTime Started(QDate(2026, 12, 7), QTime(14, 3, 27, 123), QTimeZone(3600));

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Starts at `from` and moves on by `stepMs` each time it is read.
RunRecord::Clock clockFrom(const QDateTime &from, int stepMs = 0)
{
    return [next = from, stepMs]() mutable {
        const QDateTime now = next;
        next = next.addMSecs(stepMs);
        return now;
    };
}

// Writes its file somewhere of the test's choosing instead of a new file.
class RedirectedRecord : public RunRecord
{
public:
    using RunRecord::RunRecord;
    QString target;

protected:
    bool openNew(QFile &file, const QString &baseName, QString &why) override
    {
        if (target.isEmpty())
            return RunRecord::openNew(file, baseName, why);
        file.setFileName(target);
        const bool opened = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        why = file.errorString();
        return opened;
    }
};

// The killed console: records, says so, and waits to be killed.
int recordThenWait(const QString &folder)
{
    RunRecord record(folder);
    record.begin(1, QStringLiteral("/dev/ttyS0"));
    for (int i = 0; i < 100; ++i)
        record.reading({QString::number(i), QStringLiteral("span"), {}, {}});
    record.sent("#8$");
    std::puts("written");
    std::fflush(stdout);
    return std::getchar();
}

} // namespace

class TestRunRecord : public QObject
{
    Q_OBJECT
private slots:
    void shouldRecordWholeRunAsCsvRows();
    void shouldQuoteOnlyWhatReaderWouldChange_data();
    void shouldQuoteOnlyWhatReaderWouldChange();
    void shouldNeverOverwriteAndRecordEachRunAsFound();
    void shouldStampLocalTimeWithOffset_data();
    void shouldStampLocalTimeWithOffset();
    void shouldKeepEveryLineWhenKilled();
    void shouldFailOncePerRunAndTryAgainNextRun_data();
    void shouldFailOncePerRunAndTryAgainNextRun();
    void shouldWriteControlCharactersInReadingsAsReplacement();
    void shouldIgnoreRelativeDataHome();
};

void TestRunRecord::shouldRecordWholeRunAsCsvRows()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/data/runs");
    RunRecord record(folder, clockFrom(Started, 250));
    QSignalSpy failures(&record, &RunRecord::failed);
    record.sent("#1$");
    record.end(QStringLiteral("stop"));
    QVERIFY(!QFileInfo::exists(folder));

    const protocol::StatusFields found{QStringLiteral("12.5"), QStringLiteral(" 4,0"),
                                       QStringLiteral("\"0\""), QStringLiteral("20 ")};
    const protocol::StatusFields changed{QStringLiteral("12.5"), QStringLiteral(" 4,0"),
                                         QStringLiteral("\"0\""), QStringLiteral("\u00b520 ")};
    record.begin(1, QStringLiteral("/dev/ttyS0"));
    record.refused(QStringLiteral("Feed Zero"));
    record.reading(found);
    record.reading(found);
    record.sent("#6 1,5\"\xe9 $");
    record.reading(changed);
    record.reading(found);
    record.sent("#8$");
    record.end(QStringLiteral("port lost: Input/output error"));
    record.reading(changed);
    record.sent("#1$");
    record.end(QStringLiteral("exit"));

    QCOMPARE(record.filePath(), folder + QStringLiteral("/2026-12-07_14-03-27_com1.csv"));
    const auto at = [](const char *time) {
        return QStringLiteral("2026-12-07T14:03:%1+01:00").arg(time);
    };
    const CsvRows expected = {
        {"time", "event", "detail", "zero", "span", "low_range", "high_range"},
        {at("27.123"), "start", "Com 1 (/dev/ttyS0)", "", "", "", ""},
        {at("27.373"), "refused", "Feed Zero", "", "", "", ""},
        {at("27.623"), "reading", "", "12.5", " 4,0", "\"0\"", "20 "},
        {at("27.873"), "sent", "#6 1,5\"\u00e9 $", "", "", "", ""},
        {at("28.123"), "reading", "", "12.5", " 4,0", "\"0\"", "\u00b520 "},
        {at("28.373"), "reading", "", "12.5", " 4,0", "\"0\"", "20 "},
        {at("28.623"), "sent", "#8$", "", "", "", ""},
        {at("28.873"), "end", "port lost: Input/output error", "", "", "", ""},
    };
    QCOMPARE(readCsv(record.filePath()), expected);
    const QByteArray raw = contents(record.filePath());
    QCOMPARE(raw.count("\r\n"), expected.size());
    QCOMPARE(raw.count('\n'), expected.size());
    QVERIFY(raw.contains("\"#6 1,5\"\"\xc3\xa9 $\""));
    QCOMPARE(failures.count(), 0);
}

void TestRunRecord::shouldQuoteOnlyWhatReaderWouldChange_data()
{
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("plain") << QStringLiteral("#612.5$") << QByteArray("#612.5$");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("inner blank") << QStringLiteral("Feed span") << QByteArray("Feed span");
    QTest::newRow("comma") << QStringLiteral("1,5") << QByteArray("\"1,5\"");
    QTest::newRow("quotes") << QStringLiteral("\"a\"\"") << QByteArray("\"\"\"a\"\"\"\"\"");
    QTest::newRow("line feed") << QStringLiteral("a\nb") << QByteArray("\"a\nb\"");
    QTest::newRow("carriage return") << QStringLiteral("a\rb") << QByteArray("\"a\rb\"");
    QTest::newRow("leading blank") << QStringLiteral(" 20") << QByteArray("\" 20\"");
    QTest::newRow("trailing blank") << QStringLiteral("20 ") << QByteArray("\"20 \"");
    QTest::newRow("no-break blank") << QStringLiteral("20\u00a0") << QByteArray("\"20\xc2\xa0\"");
    QTest::newRow("Latin-1") << QStringLiteral("\u00b5A\u00ff")
                             << QByteArray("\xc2\xb5\x41\xc3\xbf");
}

void TestRunRecord::shouldQuoteOnlyWhatReaderWouldChange()
{
    QFETCH(QString, detail);
    QFETCH(QByteArray, written);
    QTemporaryDir dir;
    RunRecord record(dir.path(), clockFrom(Started));
    record.begin(2, QStringLiteral("/dev/pts/3"));
    record.refused(detail);
    record.end(QStringLiteral("stop"));

    QVERIFY(contents(record.filePath())
                .contains("\r\n2026-12-07T14:03:27.123+01:00,refused," + written + ",,,,\r\n"));
    const CsvRows rows = readCsv(record.filePath());
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows.at(2).at(2), detail);
}

void TestRunRecord::shouldNeverOverwriteAndRecordEachRunAsFound()
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("2026-12-07_14-03-27_com1.csv"));
    QFile earlier(first);
    QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier run\n") > 0);
    earlier.close();

    RunRecord record(dir.path(), clockFrom(Started));
    const protocol::StatusFields found{QStringLiteral("1"), QStringLiteral("2"), {}, {}};
    QStringList names;
    for (int port : {1, 1, 8}) {
        record.begin(port, QStringLiteral("/dev/x"));
        record.reading(found);
        names << QFileInfo(record.filePath()).fileName();
    }
    record.end(QStringLiteral("stop"));

    QCOMPARE(names, QStringList({"2026-12-07_14-03-27_com1_2.csv", "2026-12-07_14-03-27_com1_3.csv",
                                 "2026-12-07_14-03-27_com8.csv"}));
    QCOMPARE(contents(first), QByteArray("earlier run\n"));
    // A dangling link takes its name as a file does.
    const QString link = dir.filePath(QStringLiteral("2026-12-07_14-03-27_com2.csv"));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")), link));
    record.begin(2, QStringLiteral("/dev/x"));
    record.end(QStringLiteral("stop"));
    QCOMPARE(QFileInfo(record.filePath()).fileName(),
             QStringLiteral("2026-12-07_14-03-27_com2_2.csv"));
    QVERIFY(!QFileInfo::exists(link));
    for (const QString &name : names) {
        const CsvRows rows = readCsv(dir.filePath(name));
        QVERIFY2(rows.size() >= 3 &&
                     rows.at(2).mid(1) == QStringList({"reading", "", "1", "2", "", ""}),
                 qPrintable(name));
    }
}

void TestRunRecord::shouldStampLocalTimeWithOffset_data()
{
    QTest::addColumn<QTimeZone>("zone");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("name");
    // The same instant, 2026-12-07 12:00:00.007 UTC, in three zones.
    QTest::newRow("UTC") << QTimeZone::utc() << QStringLiteral("2026-12-07T12:00:00.007+00:00")
                         << QStringLiteral("2026-12-07_12-00-00_com3.csv");
    QTest::newRow("plus 5:45") << QTimeZone(5 * 3600 + 45 * 60)
                               << QStringLiteral("2026-12-07T17:45:00.007+05:45")
                               << QStringLiteral("2026-12-07_17-45-00_com3.csv");
    QTest::newRow("minus 3:30") << QTimeZone(-(3 * 3600 + 30 * 60))
                                << QStringLiteral("2026-12-07T08:30:00.007-03:30")
                                << QStringLiteral("2026-12-07_08-30-00_com3.csv");
}

void TestRunRecord::shouldStampLocalTimeWithOffset()
{
    QFETCH(QTimeZone, zone);
    QFETCH(QString, time);
    QFETCH(QString, name);
    const QDateTime utc(QDate(2026, 12, 7), QTime(12, 0, 0, 7), QTimeZone::utc());
    QTemporaryDir dir;
    RunRecord record(dir.path(), clockFrom(utc.toTimeZone(zone)));
    record.begin(3, QStringLiteral("/dev/ttyS2"));
    record.end(QStringLiteral("signal"));

    QCOMPARE(QFileInfo(record.filePath()).fileName(), name);
    const CsvRows rows = readCsv(record.filePath());
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(1).at(0), time);
    QCOMPARE(rows.at(2).at(0), time);
}

void TestRunRecord::shouldKeepEveryLineWhenKilled()
{
    QTemporaryDir dir;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(ChildMode, dir.path());
    // Local time as the console keeps it, here in a zone without tables.
    environment.insert(QStringLiteral("TZ"), QStringLiteral("XYZ-5:45"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForStarted());
    QByteArray said;
    while (!said.contains("written") && child.waitForReadyRead(30000))
        said += child.readAllStandardOutput();
    QVERIFY2(said.contains("written"), said.constData());
    child.kill();
    QVERIFY(child.waitForFinished());
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    const QStringList files = QDir(dir.path()).entryList({QStringLiteral("*.csv")});
    QCOMPARE(files.size(), 1);
    const CsvRows rows = readCsv(dir.filePath(files.first()));
    QCOMPARE(rows.size(), 103);
    const QString started = rows.at(1).at(0);
    QVERIFY2(started.endsWith(QStringLiteral("+05:45")), qPrintable(started));
    QCOMPARE(files.first().left(19), started.left(19).replace(u'T', u'_').replace(u':', u'-'));
    for (int i = 0; i < 100; ++i)
        QCOMPARE(rows.at(i + 2).at(3), QString::number(i));
    QCOMPARE(rows.last().mid(1, 2), QStringList({"sent", "#8$"}));
}

enum Fault {
    FolderIsFile,
    FolderInsideFile,
    NoSpace,
    NameTooLong,
    FullAfterStart,
    FullBeforeHeader,
    FullInLine
};

void TestRunRecord::shouldFailOncePerRunAndTryAgainNextRun_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("reason");
    QTest::newRow("folder is a file") << int(FolderIsFile) << ENOTDIR;
    QTest::newRow("folder inside a file") << int(FolderInsideFile) << ENOTDIR;
    QTest::newRow("no space") << int(NoSpace) << ENOSPC;
    QTest::newRow("file name too long") << int(NameTooLong) << ENAMETOOLONG;
    QTest::newRow("full after the start line") << int(FullAfterStart) << EFBIG;
    QTest::newRow("full before the header") << int(FullBeforeHeader) << EFBIG;
    QTest::newRow("full in mid-line") << int(FullInLine) << EFBIG;
}

void TestRunRecord::shouldFailOncePerRunAndTryAgainNextRun()
{
    QFETCH(int, fault);
    QFETCH(int, reason);
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("runs"));
    QString folder = fault == FolderInsideFile ? blocker + QStringLiteral("/zelvor/runs") : blocker;
    if (fault == FolderIsFile || fault == FolderInsideFile) {
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    // A folder that can be made, with no room left under the path limit for a name.
    while (fault == NameTooLong && folder.size() < 4080)
        folder += u'/' + QString(qMin(200, 4080 - int(folder.size())), u'd');
    RedirectedRecord record(folder, clockFrom(Started, 1));
    if (fault == NoSpace)
        record.target = QStringLiteral("/dev/full");
    const QString named = fault == NoSpace ? record.target : folder;
    QSignalSpy failures(&record, &RunRecord::failed);
    rlimit unlimited{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &unlimited) == 0);
    const auto onTooLarge = std::signal(SIGXFSZ, SIG_IGN);

    for (int run = 1; run <= 2; ++run) {
        rlimit full = unlimited;
        full.rlim_cur = 0;
        QVERIFY(fault != FullBeforeHeader || setrlimit(RLIMIT_FSIZE, &full) == 0);
        record.begin(1, QStringLiteral("/dev/ttyS0"));
        // Room for part of the next line only, or none.
        full.rlim_cur = QFileInfo(record.filePath()).size() + (fault == FullInLine ? 10 : 0);
        QVERIFY((fault != FullAfterStart && fault != FullInLine) ||
                setrlimit(RLIMIT_FSIZE, &full) == 0);
        record.reading({QStringLiteral("1"), {}, {}, {}});
        record.sent("#2$");
        record.refused(QStringLiteral("Save"));
        record.end(QStringLiteral("stop"));
        QVERIFY(setrlimit(RLIMIT_FSIZE, &unlimited) == 0);
        QCOMPARE(failures.count(), run);
        const QString message = failures.last().first().toString();
        QVERIFY2(message.contains(named) &&
                     message.endsWith(QString::fromLocal8Bit(std::strerror(reason))),
                 qPrintable(message));
        QVERIFY(!record.isRecording());
    }
    std::signal(SIGXFSZ, onTooLarge);
    if (fault == FullAfterStart || fault == FullInLine) {
        QCOMPARE(readCsv(record.filePath()).size(), 2);
        QVERIFY(contents(record.filePath()).endsWith("\r\n")); // whole lines only
    }
    if (fault == FullBeforeHeader) // no empty file left behind
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList());
    if (fault == NameTooLong)
        return;

    QVERIFY(fault == NoSpace || fault == FullAfterStart || fault == FullBeforeHeader ||
            fault == FullInLine || QFile::remove(blocker));
    record.target.clear();
    record.begin(1, QStringLiteral("/dev/ttyS0"));
    record.end(QStringLiteral("stop"));
    QCOMPARE(failures.count(), 2);
    QCOMPARE(readCsv(record.filePath()).size(), 3);
}

// A NUL stops common CSV readers; no control character from the line reaches the file.
void TestRunRecord::shouldWriteControlCharactersInReadingsAsReplacement()
{
    QTemporaryDir dir;
    RunRecord record(dir.path(), clockFrom(Started));
    record.begin(1, QStringLiteral("/dev/ttyS0"));
    record.reading({QString::fromLatin1("1\0002", 3), QStringLiteral("\x1b[2J"),
                    QStringLiteral("\x7f\u0085"), QStringLiteral("\r\n\t")});
    record.end(QStringLiteral("stop"));
    const CsvRows rows = readCsv(record.filePath());
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows.at(2).mid(3),
             QStringList({"1\ufffd2", "\ufffd[2J", "\ufffd\ufffd", "\ufffd\ufffd\ufffd"}));
    QVERIFY(!contents(record.filePath()).contains('\0'));
}

// The XDG rules ignore a relative XDG_DATA_HOME: records must not land in
// whatever folder the program was started from.
void TestRunRecord::shouldIgnoreRelativeDataHome()
{
    const QString folder = QDir::homePath() + QStringLiteral("/.local/share/") +
                           QCoreApplication::applicationName() + QStringLiteral("/runs");
    const QByteArray before = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "records/here");
    const QString found = RunRecord::defaultFolder();
    if (before.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", before);
    QCOMPARE(found, folder);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(qPrintable(ChildMode)))
        return recordThenWait(qEnvironmentVariable(qPrintable(ChildMode)));
    TestRunRecord test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_run_record.moc"
