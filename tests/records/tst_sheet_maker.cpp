// SPDX-License-Identifier: MIT
// Sheets made away from the window's thread: the caller goes on at once, a
// sheet given up at the program's end leaves no file, and the command that
// makes it again survives the shell as it is pasted.
#include "records/sheet_maker.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A record of a run left connected for a while, readings changing each line.
QString longRecord(const QString &folder, int readings)
{
    const QString path = QDir(folder).filePath("2026-12-07_14-03-27_com1.csv");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    QByteArray text = "time,event,detail,zero,span,low_range,high_range\r\n"
                      "2026-12-07T14:03:27.123+01:00,start,Com 1 (/dev/ttyUSB0),,,,\r\n";
    for (int i = 0; i < readings; ++i)
        text += "2026-12-07T14:03:28.000+01:00,reading,," + QByteArray::number(i % 10000) +
                ",20.0,0.00,10.0\r\n";
    text += "2026-12-07T15:03:28.000+01:00,end,stop,,,,\r\n";
    return file.write(text) == text.size() ? path : QString();
}

} // namespace

class TestSheetMaker : public QObject
{
    Q_OBJECT
private slots:
    void shouldMakeSheetWhileCallerGoesOn();
    void shouldGiveUpAtDeadlineAndLeaveNoFile();
    void shouldGiveCommandThatSurvivesTheShell_data();
    void shouldGiveCommandThatSurvivesTheShell();
};

void TestSheetMaker::shouldMakeSheetWhileCallerGoesOn()
{
    QTemporaryDir dir;
    const QString record = longRecord(dir.path(), 300000);
    QVERIFY(!record.isEmpty());
    const QString sheet = runsheet::sheetPathFor(record);
    SheetMaker maker;
    QSignalSpy made(&maker, &SheetMaker::made);
    maker.make(record);
    QVERIFY(maker.busy());
    QVERIFY(!QFileInfo::exists(sheet));
    QVERIFY(made.wait(120000));
    QCOMPARE(made.first().first().value<runsheet::Result>().status, runsheet::Result::Written);
    QVERIFY(QFileInfo::exists(sheet));
    QVERIFY(!maker.busy());
    // Reported once: the program's end finds nothing left to tell.
    const SheetMaker::Outcome left = maker.finish(QDeadlineTimer(0));
    QVERIFY(left.done.isEmpty() && left.unfinished.isEmpty());
}

void TestSheetMaker::shouldGiveUpAtDeadlineAndLeaveNoFile()
{
    QTemporaryDir dir;
    const QString record = longRecord(dir.path(), 300000);
    QVERIFY(!record.isEmpty());
    SheetMaker maker;
    QSignalSpy made(&maker, &SheetMaker::made);
    maker.make(record);
    const SheetMaker::Outcome left = maker.finish(QDeadlineTimer(0));
    QVERIFY(left.done.isEmpty());
    QCOMPARE(left.unfinished, QStringList{record});
    QVERIFY(!maker.busy());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QFileInfo(record).fileName()});
    QVERIFY(!made.wait(100));
}

void TestSheetMaker::shouldGiveCommandThatSurvivesTheShell_data()
{
    QTest::addColumn<QString>("record");
#ifdef Q_OS_WIN
    QTest::newRow("plain") << "C:/Users/ann/AppData/Local/Zelvor/runs/2026-12-07_14-03-27_com1.csv";
    QTest::newRow("blanks") << "C:/Users/ann/My Runs/2026-12-07_14-03-27_com1.csv";
    QTest::newRow("quote and semicolon") << "C:/Users/it's a;b/x.csv";
#else
    QTest::newRow("plain") << "/home/ann/.local/share/Zelvor/runs/2026-12-07_14-03-27_com1.csv";
    QTest::newRow("blanks") << "/home/ann/My Runs/2026-12-07_14-03-27_com1.csv";
    QTest::newRow("quote and dollar") << "/tmp/it's $HOME `x`/a;b.csv";
#endif
}

void TestSheetMaker::shouldGiveCommandThatSurvivesTheShell()
{
    QFETCH(QString, record);
    const QString command = SheetMaker::commandFor(record);
    const QString prefix = QCoreApplication::applicationName() + " --sheet ";
    QVERIFY2(command.startsWith(prefix), qPrintable(command));
#ifdef Q_OS_WIN
    // A command line splits into its arguments as Windows programs split theirs.
    QCOMPARE(QProcess::splitCommand(command).value(2), QDir::toNativeSeparators(record));
    return;
#endif
    QProcess shell;
    shell.start("sh", {"-c", "printf %s " + command.mid(prefix.size())});
    QVERIFY(shell.waitForFinished());
    QCOMPARE(QString::fromUtf8(shell.readAllStandardOutput()), record);
}

QTEST_MAIN(TestSheetMaker)
#include "tst_sheet_maker.moc"
