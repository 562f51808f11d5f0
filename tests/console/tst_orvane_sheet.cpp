// SPDX-License-Identifier: MIT
// The calibration sheet that the main window leaves beside each record, with
// the simulated instrument on a real pseudo-terminal, read back with
// pdftotext and sha256sum as a user would.
#include "console_test_support.h"
#include "port_routes.h"

#include "app/module1.h"
#include "link/serial_port.h"
#include "pdf_text.h"
#include "sim/instrument.h"
#include "sim/line.h"

#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace consoletest;

class TestOrvaneSheet : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void shouldShowWholeRunAsRecorded();
    void shouldReportUnwritableSheetOnceAndSendExactFrames_data();
    void shouldReportUnwritableSheetOnceAndSendExactFrames();

private:
    QWidget *w(const char *name) { return control(orvane.get(), name); }
    void click(const char *name) { QTest::mouseClick(w(name), Qt::LeftButton); }
    void trigger(const char *name) { action(orvane.get(), name)->trigger(); }
    // Start Config., and the simulator's settings on screen.
    void startRun();
    // The run's record, the only one in the folder.
    QString recordPath();

    std::unique_ptr<QTemporaryDir> work;
    std::unique_ptr<PtyLine> line;
    std::unique_ptr<Instrument> instrument;
    QByteArray received;
    QString folder;
    std::unique_ptr<Orvane> orvane;
};

void TestOrvaneSheet::initTestCase()
{
    if (const QString missing = pdfToolsMissing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
}

void TestOrvaneSheet::init()
{
    Module1::device_found = 0;
    work = std::make_unique<QTemporaryDir>();
    QVERIFY(work->isValid());
    line = std::make_unique<PtyLine>();
    QVERIFY(line->isOpen());
    instrument = std::make_unique<Instrument>();
    connect(line.get(), &Line::received, instrument.get(), &Instrument::receive);
    connect(instrument.get(), &Instrument::transmit, line.get(), &Line::write);
    received.clear();
    connect(instrument.get(), &Instrument::frameReceived, this,
            [this](const QByteArray &frame) { received += frame; });
    // A name of its own: the port's lock file is named after it.
    const QString link = work->filePath("com1");
    QVERIFY(QFile::link(line->consolePath(), link));
    folder = work->filePath("runs");
    orvane = std::make_unique<Orvane>();
    orvane->setPortMap(everyPortTo(link));
    orvane->setRunRecordFolder(folder);
    orvane->show();
    QVERIFY(QTest::qWaitForWindowActive(orvane.get()));
}

void TestOrvaneSheet::cleanup()
{
    orvane.reset();
    instrument.reset();
    line.reset();
    work.reset();
}

void TestOrvaneSheet::startRun()
{
    trigger("mnuOperation_start_capture");
    QTRY_COMPARE(readingTexts(orvane.get()), QStringList({"4.00", "20.0", "0.00", "10.0"}));
}

QString TestOrvaneSheet::recordPath()
{
    const QStringList records = QDir(folder).entryList({"*.csv"}, QDir::Files);
    return records.size() == 1 ? QDir(folder).filePath(records.first()) : QString();
}

// Feeds, both ranges (the high one coming back as "250 "), save, stop: the
// sheet's table, steps and hash are those of the record.
void TestOrvaneSheet::shouldShowWholeRunAsRecorded()
{
    orvane->recordWhoRuns();
    startRun();
    click("Feed_Zero");
    QTRY_COMPARE(instrument->feeding(), Instrument::Output::Zero);
    click("Stop_Feed_zero");
    click("Feed_span");
    QTRY_COMPARE(instrument->feeding(), Instrument::Output::Span);
    click("Stop_Feed_span");
    click("Low_range_cmd");
    QTest::keyClicks(w("Low_range_text"), "12.5");
    click("Enter_L");
    QTRY_COMPARE(readingTexts(orvane.get()).at(2), QString("12.5"));
    click("High_range_cmd");
    QTest::keyClicks(w("High_range_text"), "250");
    click("Enter_H");
    QTRY_COMPARE(readingTexts(orvane.get()).at(3), QString("250 "));
    click("Save_cmd");
    QTRY_COMPARE(instrument->savedSettings().highRange, QString("250 "));
    trigger("mnuOperation_stop_capture");
    QCOMPARE(received, QByteArray("#1$#2$#3$#4$#5$#612.5$#7250$#8$"));

    const QString record = recordPath();
    QVERIFY(!record.isEmpty());
    // Made away from the window: it is there once done, whole.
    QTRY_VERIFY(QFileInfo::exists(record.chopped(4) + ".pdf"));
    const std::optional<QString> text = pdfText(record.chopped(4) + ".pdf");
    QVERIFY(text);
    const CsvRows rows = readCsv(record);
    QVERIFY(rows.size() > 2);

    // As found is the first reading, as left the last.
    QList<QStringList> readingRows;
    QMap<QString, QString> timeOf; // of each frame sent, HH:mm:ss
    for (const QStringList &row : rows) {
        if (row.at(1) == "reading")
            readingRows << row.mid(3);
        else if (row.at(1) == "sent")
            timeOf[row.at(2)] = row.at(0).mid(11, 8);
        else if (row.at(1) == "account" || row.at(1) == "computer")
            QVERIFY2(text->contains(row.at(2)), qPrintable(row.at(2)));
    }
    QVERIFY(readingRows.size() >= 2);
    const auto shown = [](const QString &v) { return v.endsWith(' ') ? '"' + v + '"' : v; };
    const QStringList names = {"Zero", "Span", "Low Range", "High Range"};
    for (int k = 0; k < 4; ++k) {
        const QString found = readingRows.first().at(k);
        const QString left = readingRows.last().at(k);
        const QString pattern =
            QStringLiteral("^ *%1 +%2 +%3 *%4$")
                .arg(names[k], QRegularExpression::escape(shown(found)),
                     QRegularExpression::escape(shown(left)), found == left ? "" : "changed");
        QVERIFY2(text->contains(QRegularExpression(pattern, QRegularExpression::MultilineOption)),
                 qPrintable(pattern + "\n" + *text));
    }
    QCOMPARE(readingRows.last(), QStringList({"4.00", "20.0", "12.5", "250 "}));

    // What was done, in order, at the record's times.
    const QStringList steps = {
        QStringLiteral("Zero output fed from %1 to %2").arg(timeOf["#2$"], timeOf["#3$"]),
        QStringLiteral("Span output fed from %1 to %2").arg(timeOf["#4$"], timeOf["#5$"]),
        QStringLiteral("%1 Low range written \"12.5\"; the instrument then read \"12.5\"")
            .arg(timeOf["#612.5$"]),
        QStringLiteral("%1 ! High range written \"250\"; the instrument then read \"250 \" (not "
                       "what was written)")
            .arg(timeOf["#7250$"]),
        QStringLiteral("%1 Saved").arg(timeOf["#8$"]),
    };
    const QString words = text->simplified();
    qsizetype at = 0;
    for (const QString &step : steps) {
        const qsizetype found = words.indexOf(step, at);
        QVERIFY2(found >= 0, qPrintable(step + "\n" + *text));
        at = found + step.size();
    }
    QVERIFY(words.contains("How it ended stop (Operation > Stop Config.)"));
    QVERIFY(!words.contains("Warnings"));
    QVERIFY(words.contains("Computer " + QSysInfo::machineHostName()));

    QProcess sha256sum;
    sha256sum.start("sha256sum", {record});
    QVERIFY(sha256sum.waitForFinished());
    const QByteArray hash = sha256sum.readAllStandardOutput().left(64);
    QCOMPARE(hash.size(), 64);
    QVERIFY2(text->contains("SHA-256: " + hash), qPrintable(*text));
    QVERIFY(text->contains("Record: " + QFileInfo(record).fileName()));
}

void TestOrvaneSheet::shouldReportUnwritableSheetOnceAndSendExactFrames_data()
{
    QTest::addColumn<QByteArray>("ending");
    QTest::addColumn<QString>("endLine");
    QTest::newRow("Stop Config.") << QByteArray("mnuOperation_stop_capture") << "stop";
    // The program waits for the sheet and says so before it ends.
    QTest::newRow("File > Exit") << QByteArray("mnuFile_Exit") << "exit";
}

// A folder stands where the sheet would go: one message naming it, the frames
// on the line exactly those of the run, the record whole.
void TestOrvaneSheet::shouldReportUnwritableSheetOnceAndSendExactFrames()
{
    QFETCH(QByteArray, ending);
    QFETCH(QString, endLine);
    MessageCloser operatorCloses;
    startRun();
    const QString record = recordPath();
    QVERIFY(!record.isEmpty());
    const QString sheet = record.chopped(4) + ".pdf";
    QVERIFY(QDir().mkpath(sheet + "/taken"));
    click("Feed_Zero");
    QTRY_COMPARE(instrument->feeding(), Instrument::Output::Zero);
    click("Stop_Feed_zero");
    click("Save_cmd");
    trigger(ending.constData());
    QTRY_COMPARE(operatorCloses.texts.size(), 1);
    QVERIFY2(operatorCloses.texts.first().startsWith("Cannot write the calibration sheet " + sheet +
                                                     ": "),
             qPrintable(operatorCloses.texts.first()));
    QCOMPARE(received, QByteArray("#1$#2$#3$#8$"));
    QCOMPARE(lastRecordedRun(folder).last(), QStringList({"end", endLine, "", "", "", ""}));
}

QTEST_MAIN(TestOrvaneSheet)
#include "tst_orvane_sheet.moc"
