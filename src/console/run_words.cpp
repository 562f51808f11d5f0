// SPDX-License-Identifier: MIT
#include "console/run_words.h"

#include <QDir>
#include <QRegularExpression>

namespace {

using Output = ConfigurationRun::Output;

QString outputName(Output output)
{
    return output == Output::Zero ? RunWords::tr("zero") : RunWords::tr("span");
}

} // namespace

QString RunWords::unsent(const ConfigurationRun::Ended &ended, int comPort,
                         const QString &openedPath)
{
    if (ended.unsent.isEmpty())
        return {};
    QStringList frames;
    for (const QByteArray &frame : ended.unsent)
        frames << u'"' + QString::fromLatin1(frame) + u'"';
    QString text =
        tr("Com %1 (%2): the line did not take %3 in time; the port closed without "
           "sending it.")
            .arg(comPort)
            .arg(QDir::toNativeSeparators(openedPath), frames.join(QStringLiteral(", ")));
    const QString stop = feedNote(ended);
    if (ended.stopFrameUnsent && !stop.isEmpty())
        text += QStringLiteral("\n\n") + stop;
    return text;
}

QString RunWords::feedNote(const ConfigurationRun::Ended &ended)
{
    if (ended.mayStillFeed == Output::None)
        return {};
    if (ended.stopFrameUnsent)
        return tr("The instrument did not get the stop command \"%1\" and may still be "
                  "feeding its %2 output into the loop: check the instrument before going on.")
            .arg(QString::fromLatin1(ConfigurationRun::stopFrame(ended.mayStillFeed)),
                 outputName(ended.mayStillFeed));
    return tr("The instrument may still be feeding its %1 output into the loop: check the "
              "instrument before going on.")
        .arg(outputName(ended.mayStillFeed));
}

QString RunWords::sheetFailure(const runsheet::Result &sheet)
{
    if (sheet.status == runsheet::Result::Written || sheet.status == runsheet::Result::Cancelled)
        return {};
    return sheet.message +
           QStringLiteral("\n\nThe run's record is kept; \"zelvor-console --sheet\" "
                          "makes the sheet of a record again.");
}

QStringList RunWords::sheetsLeft(const SheetMaker::Outcome &left, int waitedSeconds)
{
    QStringList notes;
    for (const runsheet::Result &sheet : left.done) {
        if (const QString failure = sheetFailure(sheet); !failure.isEmpty())
            notes << failure;
    }
    for (const QString &recordPath : left.unfinished)
        notes << tr("No calibration sheet was made for %1: it was not done within %2 s.\n\nThe "
                    "run's record is kept; this command makes its sheet: %3")
                     .arg(QDir::toNativeSeparators(recordPath))
                     .arg(waitedSeconds)
                     .arg(SheetMaker::commandFor(recordPath));
    return notes;
}

QString RunWords::shortenedInTheMiddle(const QString &text)
{
    constexpr int LongestWord = 80;
    constexpr int LongestParagraph = 1000;
    const auto middleOut = [](const QString &s, int longest) {
        const int keep = (longest - 1) / 2;
        return s.left(keep) + QChar(0x2026) + s.right(keep);
    };
    static const QRegularExpression word(QStringLiteral("\\S{%1,}").arg(LongestWord + 1));
    QString shortened;
    qsizetype from = 0;
    for (auto words = word.globalMatch(text); words.hasNext();) {
        const QRegularExpressionMatch match = words.next();
        shortened += QStringView(text).mid(from, match.capturedStart() - from);
        shortened += middleOut(match.captured(), LongestWord);
        from = match.capturedEnd();
    }
    shortened += QStringView(text).mid(from);
    QStringList paragraphs = shortened.split(u'\n');
    for (QString &paragraph : paragraphs) {
        if (paragraph.size() > LongestParagraph)
            paragraph = middleOut(paragraph, LongestParagraph);
    }
    return paragraphs.join(u'\n');
}
