// SPDX-License-Identifier: MIT
// The calibration sheet of records written by RunRecord, read back with
// poppler's tools as a user would.
#include "pdf_text.h"
#include "records/run_record.h"
#include "records/run_sheet.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

namespace {

const QDateTime Started(QDate(2026, 12, 7), QTime(14, 3, 27, 123), QTimeZone(3600));
const protocol::StatusFields Found{"4.00", "20.0", "0.00", "10.0"};

// Every wrapped line joined, blanks runs made one: the sentences as printed.
QString prose(const QString &text)
{
    return text.simplified();
}

// When recordOf() sends frame k (from 0) of a run whose readings stay.
QString frameTime(int k)
{
    return Started.addSecs(4 + k).toString("HH:mm:ss");
}

const QByteArray Head = "time,event,detail,zero,span,low_range,high_range\r\n"
                        "2026-12-07T14:03:27.123+01:00,start,Com 1 (/dev/ttyUSB0),,,,\r\n";

} // namespace

class TestRunSheet : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void shouldWarnOfRangeWrittenAndNotSaved_data();
    void shouldWarnOfRangeWrittenAndNotSaved();
    void shouldTakeLocalePaperAndHashEveryPage_data();
    void shouldTakeLocalePaperAndHashEveryPage();
    void shouldListStepsInFewPages_data();
    void shouldListStepsInFewPages();
    void shouldKeepLongTextsOnThePage();
    void shouldMakeSheetOfRecordOfAnyLength();

private:
    // A record of the frames given, one second apart; its path.
    QString recordOf(const QList<QByteArray> &frames);
    QTemporaryDir dir;
};

void TestRunSheet::initTestCase()
{
    if (const QString missing = pdfToolsMissing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    QVERIFY(dir.isValid());
}

QString TestRunSheet::recordOf(const QList<QByteArray> &frames)
{
    static int n = 0;
    RunRecord record(dir.filePath(QString::number(++n)), [at = Started]() mutable {
        at = at.addSecs(1);
        return at;
    });
    record.begin(1, QStringLiteral("/dev/ttyUSB0"));
    record.sent("#1$");
    protocol::StatusFields now = Found;
    record.reading(now);
    for (const QByteArray &frame : frames) {
        record.sent(frame);
        // The instrument keeps four characters of each value.
        if (frame.startsWith("#6"))
            now.lowRange = QString::fromLatin1(frame.mid(2, frame.size() - 3)).leftJustified(4);
        if (frame.startsWith("#7"))
            now.highRange = QString::fromLatin1(frame.mid(2, frame.size() - 3)).leftJustified(4);
        record.reading(now);
    }
    record.end(QStringLiteral("stop"));
    return record.filePath();
}

void TestRunSheet::shouldWarnOfRangeWrittenAndNotSaved_data()
{
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<QStringList>("unsaved");
    QTest::newRow("low range written, not saved")
        << QList<QByteArray>{"#2$", "#3$", "#612.5$"}
        << QStringList{"low range was written (\"12.5\")"};
    QTest::newRow("both written, then saved")
        << QList<QByteArray>{"#612.5$", "#7250$", "#8$"} << QStringList{};
    QTest::newRow("saved, then high range written")
        << QList<QByteArray>{"#612.5$", "#8$", "#7250$"}
        << QStringList{"high range was written (\"250\")"};
}

// The warning names each range whose last write no save followed, and only those.
void TestRunSheet::shouldWarnOfRangeWrittenAndNotSaved()
{
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QStringList, unsaved);
    const QString record = recordOf(frames);
    const runsheet::Result sheet =
        runsheet::make(record, QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(sheet.status, runsheet::Result::Written);
    QCOMPARE(sheet.sheetPath, record.chopped(4) + ".pdf");
    const std::optional<QString> text = pdfText(sheet.sheetPath);
    QVERIFY(text);
    const QString words = prose(*text);
    QCOMPARE(words.count("but not saved afterwards: the instrument may lose it."), unsaved.size());
    for (const QString &range : unsaved)
        QVERIFY2(words.contains("The " + range + " but not saved afterwards"), qPrintable(words));
    QVERIFY(!words.contains("No instrument answered"));
}

void TestRunSheet::shouldTakeLocalePaperAndHashEveryPage_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<int>("feeds"); // each followed by a save: none alike, none folded
    QTest::addColumn<QString>("paper");
    QTest::addColumn<bool>("onePage");
    QTest::newRow("Germany") << QLocale(QLocale::German, QLocale::Germany) << 5 << "(A4)" << true;
    QTest::newRow("United States")
        << QLocale(QLocale::English, QLocale::UnitedStates) << 5 << "(letter)" << true;
    QTest::newRow("a long run") << QLocale(QLocale::English, QLocale::UnitedKingdom) << 40 << "(A4)"
                                << false;
}

// An ordinary run fits one page; a long one goes on, each page with the
// record's name and SHA-256 at its foot.
void TestRunSheet::shouldTakeLocalePaperAndHashEveryPage()
{
    QFETCH(QLocale, locale);
    QFETCH(int, feeds);
    QFETCH(QString, paper);
    QFETCH(bool, onePage);
    QList<QByteArray> sent;
    for (int i = 0; i < feeds; ++i)
        sent.append({"#2$", "#3$", "#8$"});
    const QString record = recordOf(sent);
    const runsheet::Result sheet = runsheet::make(record, locale);
    QCOMPARE(sheet.status, runsheet::Result::Written);

    const QStringList info = pdfInfo(sheet.sheetPath);
    QCOMPARE(info.size(), 2);
    QVERIFY2(info.filter("Page size:").value(0).endsWith(paper), qPrintable(info.join('\n')));
    const int pages = info.filter("Pages:").value(0).section(':', 1).trimmed().toInt();
    QVERIFY2(onePage ? pages == 1 : pages > 1, qPrintable(info.join('\n')));

    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString hash =
        QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
    const std::optional<QString> text = pdfText(sheet.sheetPath);
    QVERIFY(text);
    QCOMPARE(text->count("SHA-256: " + hash), pages);
    QCOMPARE(text->count("Record: " + QFileInfo(record).fileName()), pages);
    QVERIFY(text->contains(QStringLiteral("Page %1 of %1").arg(pages)));
    // Every feed is on the sheet, none lost at a page break.
    QCOMPARE(text->count("Zero output fed from"), feeds);
}

void TestRunSheet::shouldListStepsInFewPages_data()
{
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<QStringList>("listed"); // in this order
    QTest::addColumn<int>("pages");          // at most
    QList<QByteArray> feeds;
    for (int i = 0; i < 1500; ++i)
        feeds.append({"#2$", "#3$", "#4$", "#5$"});
    QTest::newRow("3000 feeds")
        << feeds
        << QStringList{frameTime(4) + " Zero output fed from " + frameTime(4),
                       frameTime(6) + " … 2997 more like these, the last at " + frameTime(5998)}
        << 1;
    // Each write of "12.5" waits for the reading after "250", or the end.
    QList<QByteArray> writes(10, "#612.5$");
    writes << "#7250$" << QList<QByteArray>(10, "#612.5$");
    QTest::newRow("a flagged step among like ones")
        << writes
        << QStringList{"14:03:42 ! High range written \"250\"; the instrument then read \"250 \" "
                       "(not what was written)",
                       "14:03:47 … 7 more like these, the last at 14:03:53"}
        << 1;
    QList<QByteArray> cycles;
    for (int i = 0; i < 2000; ++i)
        cycles.append({"#2$", "#3$", "#8$"});
    QTest::newRow("4000 steps, no two alike")
        << cycles
        << QStringList{frameTime(90) + " … 3920 further steps, the last at " + frameTime(5969) +
                           ", are more than the sheet lists: the record holds every one",
                       frameTime(5999) + " Saved"}
        << 3;
    QTest::newRow("a feed never stopped")
        << QList<QByteArray>{"#2$"}
        << QStringList{frameTime(0) + " ! Zero output fed from " + frameTime(0) +
                       "; no stop frame could be sent"}
        << 1;
}

// However many steps, the sheet stays a few pages: like steps after the first
// few are one line, a flagged one is never among them, and past two pages of
// steps the first and the last are listed.
void TestRunSheet::shouldListStepsInFewPages()
{
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QStringList, listed);
    QFETCH(int, pages);
    const runsheet::Result sheet = runsheet::make(recordOf(frames), QLocale(QLocale::French));
    QCOMPARE(sheet.status, runsheet::Result::Written);
    const QString words = prose(pdfText(sheet.sheetPath).value_or(QString()));
    qsizetype at = 0;
    for (const QString &step : listed) {
        at = words.indexOf(step, at);
        QVERIFY2(at >= 0, qPrintable(step + "\n" + words));
    }
    const QString count = pdfInfo(sheet.sheetPath).filter("Pages:").value(0).section(':', 1);
    QVERIFY2(count.toInt() >= 1 && count.toInt() <= pages, qPrintable(count));
}

// A step, a reading, a device, a reason and a file name each far wider than
// the page: every word inside the margins, none on the foot but its own.
void TestRunSheet::shouldKeepLongTextsOnThePage()
{
    QFile file(dir.filePath(QString(200, 'W') + ".csv"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(
        Head.chopped(9) + QByteArray(500, 'd') + "),,,,\r\n" +
        "2026-12-07T14:03:28.000+01:00,reading,," + QByteArray(300, '9') + ",20.0,0.00,10.0\r\n" +
        "2026-12-07T14:03:29.000+01:00,sent,#9" + QByteArray(3000, 'A') + "$,,,,\r\n" +
        "2026-12-07T14:03:30.000+01:00,sent,#6" + QByteArray("word ").repeated(2000) + "$,,,,\r\n" +
        "2026-12-08T01:00:00.000+01:00,end,port lost: " + QByteArray(4000, 'x') + ",,,,\r\n");
    file.close();
    const runsheet::Result sheet = runsheet::make(file.fileName(), QLocale(QLocale::French));
    QCOMPARE(sheet.status, runsheet::Result::Written);
    const QList<PdfWord> words = pdfWords(sheet.sheetPath);
    QVERIFY(words.size() > 50);
    const QSize page(595, 842); // A4, in points
    int onFoot = 0;
    for (const PdfWord &w : words) {
        const qreal foot = page.height() - 48; // its rule
        QVERIFY2(w.box.left() > 49 && w.box.right() < page.width() - 49, qPrintable(w.text));
        QVERIFY2(w.box.bottom() < foot || w.box.top() > foot, qPrintable(w.text));
        onFoot += w.box.top() > foot;
        if (w.text.endsWith(".csv"))
            QVERIFY2(w.text.startsWith("WWW") && w.text.contains("…"), qPrintable(w.text));
    }
    // "Record:", the name, "Page", "n", "of", "N", "SHA-256:", the hash.
    const int pages = pdfInfo(sheet.sheetPath).filter("Pages:").value(0).section(':', 1).toInt();
    QVERIFY(pages <= 2);
    QCOMPARE(onFoot, 8 * pages);
}

// A shift's readings run past 64 MiB, once the largest record read.
void TestRunSheet::shouldMakeSheetOfRecordOfAnyLength()
{
    QByteArray block;
    for (int i = 0; block.size() < (1 << 20); ++i)
        block += "2026-12-07T14:03:28.000+01:00,reading,," + QByteArray::number(1000 + i % 9000) +
                 ",20.0,0.00,10.0\r\n";
    QFile file(dir.filePath("shift.csv"));
    QVERIFY(file.open(QIODevice::ReadWrite));
    file.write(Head + "2026-12-07T14:03:28.000+01:00,reading,,4.00,20.0,0.00,10.0\r\n");
    while (file.size() <= (64 << 20))
        file.write(block);
    file.write("2026-12-07T18:00:00.000+01:00,reading,,3.99,20.0,0.00,10.0\r\n"
               "2026-12-07T18:00:01.000+01:00,end,stop,,,,\r\n");
    QVERIFY(file.seek(0));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QVERIFY(hash.addData(&file));
    const runsheet::Result sheet = runsheet::make(file.fileName(), QLocale(QLocale::French));
    QVERIFY2(sheet.status == runsheet::Result::Written, qPrintable(sheet.message));
    const QString text = pdfText(sheet.sheetPath).value_or(QString());
    QVERIFY2(text.contains(QRegularExpression("Zero +4.00 +3.99 +changed")), qPrintable(text));
    QVERIFY(text.contains("SHA-256: " + hash.result().toHex()));
}

QTEST_MAIN(TestRunSheet)
#include "tst_run_sheet.moc"
