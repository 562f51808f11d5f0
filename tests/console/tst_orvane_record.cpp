// SPDX-License-Identifier: MIT
// The record of each configuration run as the main window keeps it, over the
// in-process line with the test playing the instrument: every line read back
// by a real CSV reader.
#include "console_test_support.h"

#include "app/module1.h"
#include "line_instrument.h"
#include "link/serial_port.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

using namespace consoletest;
using console::ConsoleState;

namespace {

QStringList row(const char *name, const QString &detail = QString())
{
    return {QString::fromLatin1(name), detail, "", "", "", ""};
}

QStringList reading(const QStringList &fields)
{
    return QStringList{"reading", ""} + fields;
}

// Every message box shown has been closed: none waits behind the last one.
bool noMessageLeft()
{
    QCoreApplication::processEvents();
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::none_of(windows.cbegin(), windows.cend(), [](QWidget *window) {
        return window->isVisible() && qobject_cast<QMessageBox *>(window);
    });
}

} // namespace

class TestOrvaneRecord : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void shouldRecordWholeRunAsItHappened();
    void shouldRecordRefusalsBeforeFirstFrame();
    void shouldEndWithPortLostWhenLineGoes();
    void shouldWarnOnceAndRunOnWhenRecordCannotBeWritten_data();
    void shouldWarnOnceAndRunOnWhenRecordCannotBeWritten();
    void shouldKeepNoRecordWithoutFolder();

private:
    QWidget *w(const char *name) { return control(orvane.get(), name); }
    void click(const char *name) { QTest::mouseClick(w(name), Qt::LeftButton); }
    void trigger(const char *name) { action(orvane.get(), name)->trigger(); }
    // Start Config. and its "#1$" on the line.
    void startRun();
    // A status frame, and the boxes showing its fields.
    void answer(const QByteArray &frame, const QStringList &fields);
    // A button that writes, and its frame on the line.
    void press(const char *button, const QByteArray &frame);

    std::unique_ptr<LineInstrument> instrument;
    std::unique_ptr<QTemporaryDir> work;
    QString folder;
    std::unique_ptr<Orvane> orvane;
};

void TestOrvaneRecord::init()
{
    Module1::device_found = 0;
    instrument = std::make_unique<LineInstrument>();
    work = std::make_unique<QTemporaryDir>();
    QVERIFY(work->isValid());
    folder = work->filePath(QStringLiteral("runs"));
    orvane = std::make_unique<Orvane>();
    orvane->setPortMap(instrument->portMap());
    orvane->setRunRecordFolder(folder);
    orvane->show();
    QVERIFY(QTest::qWaitForWindowActive(orvane.get()));
}

void TestOrvaneRecord::cleanup()
{
    closeAuxiliaryWindows(orvane.get());
    orvane.reset();
    work.reset();
    instrument.reset();
}

void TestOrvaneRecord::startRun()
{
    trigger("mnuOperation_start_capture");
    QCOMPARE(instrument->receive(3), QByteArray("#1$"));
}

void TestOrvaneRecord::answer(const QByteArray &frame, const QStringList &fields)
{
    QVERIFY(instrument->send(frame));
    QTRY_COMPARE(readingTexts(orvane.get()), fields);
}

void TestOrvaneRecord::press(const char *button, const QByteArray &frame)
{
    click(button);
    QCOMPARE(instrument->receive(frame.size()), frame);
}

// Frames with the characters a CSV file must quote, feeding, both range
// values, save, and the readings after it (the instrument as left).
void TestOrvaneRecord::shouldRecordWholeRunAsItHappened()
{
    Module1::comm_port = 2;
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
    startRun();
    const QStringList found{"4,00", "\"20.", "-1.0", "100 "};
    answer("#4,00\"20.-1.0100 $", found);
    QVERIFY(instrument->send("#4,00\"20.-1.0100 $")); // the same again: no new line
    QCOMPARE(instrument->receiveFor(100), QByteArray());
    press("Feed_Zero", "#2$");
    press("Stop_Feed_zero", "#3$");
    press("Feed_span", "#4$");
    const QStringList fed{"4,00", "20.1", "-1.0", "100 "};
    answer("#4,0020.1-1.0100 $", fed);
    press("Stop_Feed_span", "#5$");
    click("Low_range_cmd");
    QTest::keyClicks(w("Low_range_text"), "12.5");
    press("Enter_L", "#612.5$");
    click("High_range_cmd");
    QTest::keyClicks(w("High_range_text"), "9,\"");
    press("Enter_H", "#79,\"$");
    const QStringList left{"4,00", "20.1", "12.5", "9,\" "};
    answer("#4,0020.112.59,\" $", left);
    press("Save_cmd", "#8$");
    QVERIFY(instrument->send("#4,0020.112.59,\" $"));
    QCOMPARE(instrument->receiveFor(100), QByteArray());
    trigger("mnuOperation_stop_capture");
    const QDateTime after = QDateTime::currentDateTime().addMSecs(1000);

    // The record, beside its calibration sheet.
    const QStringList files = QDir(folder).entryList({"*.csv"}, QDir::Files);
    QCOMPARE(files.size(), 1);
    QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d_com2\\.csv$")
                 .match(files.first())
                 .hasMatch(),
             qPrintable(files.first()));
    const CsvRows rows = readCsv(QDir(folder).filePath(files.first()));
    const CsvRows expected = {
        row("start", "Com 2 (" + instrument->path() + ")"),
        row("sent", "#1$"),
        reading(found),
        row("sent", "#2$"),
        row("sent", "#3$"),
        row("sent", "#4$"),
        reading(fed),
        row("sent", "#5$"),
        row("sent", "#612.5$"),
        row("sent", "#79,\"$"),
        reading(left),
        row("sent", "#8$"),
        row("end", "stop"),
    };
    QCOMPARE(lastRecordedRun(folder), expected);

    // Each line stamped as it happened, in order, the first naming the file.
    QDateTime last = before;
    for (qsizetype i = 1; i < rows.size(); ++i) {
        const QDateTime at = QDateTime::fromString(rows.at(i).at(0), Qt::ISODateWithMs);
        QVERIFY2(at >= last && at <= after, qPrintable(rows.at(i).at(0)));
        last = at;
    }
    QCOMPARE(files.first().left(19),
             rows.at(1).at(0).left(19).replace(u'T', u'_').replace(u':', u'-'));
}

// Nothing has answered yet on this run: each guarded action refused is a line
// naming it as its button does, and nothing of it is sent.
void TestOrvaneRecord::shouldRecordRefusalsBeforeFirstFrame()
{
    startRun();
    for (const char *button :
         {"Feed_Zero", "Feed_span", "Low_range_cmd", "High_range_cmd", "Save_cmd"}) {
        click(button);
        QTRY_VERIFY(shownWindow("Dialog"));
        closeAuxiliaryWindows(orvane.get());
    }
    QCOMPARE(instrument->receiveFor(100), QByteArray());
    answer("#0001000200030004$", {"0001", "0002", "0003", "0004"});
    press("Feed_Zero", "#2$");
    trigger("mnuOperation_stop_capture");
    QCOMPARE(instrument->receive(3), QByteArray("#3$"));

    const CsvRows expected = {
        row("start", "Com 1 (" + instrument->path() + ")"),
        row("sent", "#1$"),
        row("refused", "Feed Zero For Calibration"),
        row("refused", "Feed span For Calibration"),
        row("refused", "Feed Low Range"),
        row("refused", "Feed High Range"),
        row("refused", "Save"),
        reading({"0001", "0002", "0003", "0004"}),
        row("sent", "#2$"),
        row("sent", "#3$"),
        row("end", "stop"),
    };
    QCOMPARE(lastRecordedRun(folder), expected);
}

// The line goes while feeding: the stop frame cannot be written any more, so
// the record shows none; it ends with the system's words for the loss.
void TestOrvaneRecord::shouldEndWithPortLostWhenLineGoes()
{
    MessageCloser operatorCloses;
    startRun();
    answer("#0001000200030004$", {"0001", "0002", "0003", "0004"});
    press("Feed_Zero", "#2$");
    instrument->hangUp();
    QTRY_COMPARE(orvane->consoleState(), ConsoleState::Idle);
    QTRY_COMPARE(operatorCloses.texts.size(), 1);
    const QRegularExpressionMatch error =
        QRegularExpression("\n\nError \\d+: (.+)$").match(operatorCloses.texts.first());
    QVERIFY2(error.hasMatch(), qPrintable(operatorCloses.texts.first()));
    const QString description = error.captured(1);

    const CsvRows run = lastRecordedRun(folder);
    QVERIFY(run.size() >= 2);
    QCOMPARE(run.mid(run.size() - 2),
             CsvRows({row("sent", "#2$"), row("end", "port lost: " + description)}));
}

enum Trouble { FolderIsFile, FileStopsGrowing };

void TestOrvaneRecord::shouldWarnOnceAndRunOnWhenRecordCannotBeWritten_data()
{
    QTest::addColumn<int>("trouble");
    QTest::addColumn<int>("reason");
    QTest::newRow("the folder is a file") << int(FolderIsFile) << ENOTDIR;
#ifdef Q_OS_UNIX
    QTest::newRow("the file cannot grow after its first lines") << int(FileStopsGrowing) << EFBIG;
#endif
}

// One message per run that names the file or folder and the reason; the
// frames on the line are exactly those of a recorded run; the next run tries
// again.
void TestOrvaneRecord::shouldWarnOnceAndRunOnWhenRecordCannotBeWritten()
{
    QFETCH(int, trouble);
    QFETCH(int, reason);
    if (trouble == FolderIsFile) {
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
#ifdef Q_OS_UNIX
    rlimit unlimited{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &unlimited) == 0);
    const auto onTooLarge = std::signal(SIGXFSZ, SIG_IGN);
#endif
    MessageCloser operatorCloses;

    for (int run = 1; run <= 2; ++run) {
        startRun();
        answer("#0001000200030004$", {"0001", "0002", "0003", "0004"});
        QString named = folder;
#ifdef Q_OS_UNIX
        if (trouble == FileStopsGrowing) {
            // This run's: a later second, or the same one with a suffix.
            const QStringList files = QDir(folder).entryList({"*.csv"}, QDir::Files, QDir::Name);
            QVERIFY(!files.isEmpty());
            named = QDir(folder).filePath(files.last());
            rlimit full = unlimited;
            full.rlim_cur = QFileInfo(named).size();
            QVERIFY(setrlimit(RLIMIT_FSIZE, &full) == 0);
        }
#endif
        press("Feed_Zero", "#2$");
        press("Stop_Feed_zero", "#3$");
        answer("#0001000200030005$", {"0001", "0002", "0003", "0005"});
        press("Save_cmd", "#8$");
        trigger("mnuOperation_stop_capture");
#ifdef Q_OS_UNIX
        QVERIFY(setrlimit(RLIMIT_FSIZE, &unlimited) == 0);
#endif
        QCOMPARE(instrument->receiveFor(100), QByteArray());
        QCOMPARE(orvane->consoleState(), ConsoleState::Idle);

        QTRY_COMPARE(operatorCloses.texts.size(), run);
        QVERIFY(noMessageLeft());
        const QString text = operatorCloses.texts.last();
        QVERIFY2(text.contains(named + ": " + QString::fromLocal8Bit(std::strerror(reason))),
                 qPrintable(text));
        QVERIFY2(text.endsWith("\n\nThe configuration run goes on without a record."),
                 qPrintable(text));
        QVERIFY(operatorCloses.usable.last());
        if (trouble == FileStopsGrowing)
            QCOMPARE(readCsv(named).size(), 4); // header, start, "#1$", the reading
    }
#ifdef Q_OS_UNIX
    std::signal(SIGXFSZ, onTooLarge);
#endif

    if (trouble == FolderIsFile)
        QVERIFY(QFile::remove(folder));
    startRun();
    trigger("mnuOperation_stop_capture");
    QCOMPARE(lastRecordedRun(folder).last(), row("end", "stop"));
    QVERIFY(noMessageLeft());
    QCOMPARE(operatorCloses.texts.size(), 2);
}

void TestOrvaneRecord::shouldKeepNoRecordWithoutFolder()
{
    MessageCloser operatorCloses;
    startRun();
    trigger("mnuOperation_stop_capture");
    QCOMPARE(recordedRuns(folder).size(), 1);

    orvane->setRunRecordFolder(QString());
    startRun();
    answer("#0001000200030004$", {"0001", "0002", "0003", "0004"});
    press("Save_cmd", "#8$");
    trigger("mnuOperation_stop_capture");
    QCOMPARE(recordedRuns(folder).size(), 1);
    QVERIFY(noMessageLeft());
    QCOMPARE(operatorCloses.texts, QStringList());
}

QTEST_MAIN(TestOrvaneRecord)
#include "tst_orvane_record.moc"
