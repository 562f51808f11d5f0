// SPDX-License-Identifier: MIT
// The calibration sheet of records written by RunRecord, read back with
// poppler's tools as a user would.
#include "pdf_text.h"
#include "records/run_record.h"
#include "records/run_sheet.h"

#include <QCryptographicHash>
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
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("paper");
    QTest::addColumn<bool>("onePage");
    QTest::newRow("Germany") << QLocale(QLocale::German, QLocale::Germany) << 10 << "(A4)" << true;
    QTest::newRow("United States")
        << QLocale(QLocale::English, QLocale::UnitedStates) << 10 << "(letter)" << true;
    QTest::newRow("a long run") << QLocale(QLocale::English, QLocale::UnitedKingdom) << 150
                                << "(A4)" << false;
}

// An ordinary run fits one page; a long one goes on, each page with the
// record's name and SHA-256 at its foot.
void TestRunSheet::shouldTakeLocalePaperAndHashEveryPage()
{
    QFETCH(QLocale, locale);
    QFETCH(int, frames);
    QFETCH(QString, paper);
    QFETCH(bool, onePage);
    QList<QByteArray> sent;
    for (int i = 0; i < frames; ++i)
        sent << (i % 2 ? "#3$" : "#2$");
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
    QCOMPARE(text->count("Zero output fed from"), frames / 2);
}

QTEST_MAIN(TestRunSheet)
#include "tst_run_sheet.moc"
