// SPDX-License-Identifier: MIT
#include "records/recorded_run.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QRegularExpression>

namespace {

const QStringList Header = {"time", "event", "detail", "zero", "span", "low_range", "high_range"};
constexpr int Columns = 7;

QString tr(const char *text)
{
    return QCoreApplication::translate("RecordedRun", text);
}

// RFC 4180 as the record writes it: quoted fields may hold commas, quotes and
// line breaks; lines end in CR LF (a bare LF is taken too, for files that an
// editor has saved again). Unset, with the line, at a quote out of place.
std::optional<QList<QStringList>> parseCsv(const QString &text, int &badLine)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;    // inside quotes
    bool wasQuoted = false; // the field's quotes are closed: only a separator may follow
    int line = 1;
    int quoteLine = 1; // where the open quote began
    const auto endField = [&] {
        row << field;
        field.clear();
        wasQuoted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c != u'"') {
                line += c == u'\n';
                field += c;
            } else if (i + 1 < text.size() && text.at(i + 1) == u'"') {
                field += c;
                ++i;
            } else {
                quoted = false;
                wasQuoted = true;
            }
            continue;
        }
        if (c == u',') {
            endField();
        } else if (c == u'\n' || (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')) {
            i += c == u'\r';
            endField();
            rows << row;
            row.clear();
            ++line;
        } else if (c == u'"' && field.isEmpty() && !wasQuoted) {
            quoted = true;
            quoteLine = line;
        } else if (c == u'"' || wasQuoted) {
            badLine = line;
            return std::nullopt;
        } else {
            field += c;
        }
    }
    if (quoted) {
        badLine = quoteLine;
        return std::nullopt;
    }
    if (!field.isEmpty() || wasQuoted || !row.isEmpty()) {
        endField();
        rows << row;
    }
    return rows;
}

QString quotedValue(const QString &value)
{
    return u'"' + value + u'"';
}

// "4 s", "2 min 05 s", "1 h 02 min".
QString duration(qint64 ms)
{
    const qint64 s = qMax<qint64>(0, (ms + 500) / 1000);
    if (s < 60)
        return QStringLiteral("%1 s").arg(s);
    if (s < 3600)
        return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 h %2 min").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0'));
}

struct Feed
{
    const char *name; // "zero", "span"
    QDateTime since;
};

struct Written
{
    qsizetype step;
    int field; // 2 low range, 3 high range
    QString value;
};

} // namespace

std::array<QString, protocol::FieldCount> fieldList(const protocol::StatusFields &fields)
{
    return {fields.zero, fields.span, fields.lowRange, fields.highRange};
}

std::variant<RecordedRun, QString> RecordedRun::read(const QByteArray &bytes,
                                                     const QString &fileName)
{
    int badLine = 0;
    const auto parsed = parseCsv(QString::fromUtf8(bytes), badLine);
    if (!parsed)
        return tr("a quote out of place on line %1").arg(badLine);
    const QList<QStringList> &rows = *parsed;
    if (rows.isEmpty() || rows.first() != Header)
        return tr("its first line is not \"%1\"").arg(Header.join(u','));
    if (rows.size() < 2 || rows.at(1).value(1) != QLatin1String("start"))
        return tr("no start line after the header");
    for (qsizetype i = 1; i < rows.size(); ++i) {
        if (rows.at(i).size() != Columns)
            return tr("line %1 has %2 fields, not %3")
                .arg(i + 1)
                .arg(rows.at(i).size())
                .arg(Columns);
        if (!QDateTime::fromString(rows.at(i).first(), Qt::ISODateWithMs).isValid())
            return tr("line %1 does not begin with a time").arg(i + 1);
    }
    static const QRegularExpression startDetail(QStringLiteral("^Com (\\d+) \\((.*)\\)$"),
                                                QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch start = startDetail.match(rows.at(1).at(2));
    if (!start.hasMatch())
        return tr("its start line does not name a port");

    RecordedRun run;
    run.fileName = fileName;
    run.sha256 =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    run.comPort = start.captured(1).toInt();
    run.device = start.captured(2);
    run.started = QDateTime::fromString(rows.at(1).first(), Qt::ISODateWithMs);

    std::optional<Feed> feed;
    QList<Written> awaiting; // values written that no reading has followed yet
    QList<Written> unsaved;  // range values written since the last save
    const auto step = [&run](const QDateTime &at, const QString &text, bool flagged = false) {
        run.steps.append({at, text, flagged});
    };
    const auto reported = [&run](Written &w, const std::optional<protocol::StatusFields> &r) {
        Step &s = run.steps[w.step];
        if (!r) {
            s.text += tr("; no reading from the instrument after it");
            s.flagged = true;
            return;
        }
        const QString value = fieldList(*r)[w.field];
        s.text += tr("; the instrument then read %1").arg(quotedValue(value));
        if (value != w.value) {
            s.text += tr(" (not what was written)");
            s.flagged = true;
        }
    };

    for (qsizetype i = 2; i < rows.size(); ++i) {
        const QStringList &row = rows.at(i);
        const QDateTime at = QDateTime::fromString(row.at(0), Qt::ISODateWithMs);
        const QString &event = row.at(1);
        const QString &detail = row.at(2);
        if (event == QLatin1String("reading")) {
            const protocol::StatusFields fields{row.at(3), row.at(4), row.at(5), row.at(6)};
            if (!run.asFound)
                run.asFound = fields;
            run.asLeft = fields;
            for (Written &w : awaiting)
                reported(w, fields);
            awaiting.clear();
        } else if (event == QLatin1String("sent")) {
            if (detail == QLatin1String("#1$"))
                continue; // the start, told above the table
            if (detail == QLatin1String("#2$") || detail == QLatin1String("#4$")) {
                feed = Feed{detail == QLatin1String("#2$") ? "zero" : "span", at};
            } else if (detail == QLatin1String("#3$") || detail == QLatin1String("#5$")) {
                const char *name = detail == QLatin1String("#3$") ? "zero" : "span";
                if (feed && qstrcmp(feed->name, name) == 0)
                    step(feed->since,
                         tr("%1 output fed from %2 to %3 (%4)")
                             .arg(name == QByteArrayView("zero") ? tr("Zero") : tr("Span"))
                             .arg(feed->since.toString(QStringLiteral("HH:mm:ss")),
                                  at.toString(QStringLiteral("HH:mm:ss")),
                                  duration(feed->since.msecsTo(at))));
                else
                    step(at,
                         tr("Stop of the %1 output sent (%2)").arg(QLatin1String(name), detail));
                feed.reset();
            } else if (detail.size() >= 3 &&
                       (detail.startsWith(QLatin1String("#6")) ||
                        detail.startsWith(QLatin1String("#7"))) &&
                       detail.endsWith(u'$')) {
                const bool low = detail.at(1) == u'6';
                const QString value = detail.mid(2, detail.size() - 3);
                step(at, tr("%1 written %2")
                             .arg(low ? tr("Low range") : tr("High range"), quotedValue(value)));
                const Written w{run.steps.size() - 1, low ? 2 : 3, value};
                awaiting << w;
                unsaved.removeIf([&w](const Written &u) { return u.field == w.field; });
                unsaved << w;
            } else if (detail == QLatin1String("#8$")) {
                step(at, tr("Saved"));
                unsaved.clear();
            } else {
                step(at, tr("Sent %1").arg(detail));
            }
        } else if (event == QLatin1String("refused")) {
            step(at, tr("%1 refused: no instrument had answered yet").arg(detail), true);
        } else if (event == QLatin1String("end")) {
            run.ended = at;
            run.endDetail = detail;
        } else if (event == QLatin1String("console")) {
            run.console = detail;
        } else if (event == QLatin1String("computer")) {
            run.computer = detail;
        } else if (event == QLatin1String("account")) {
            run.account = detail;
        }
        // Any other line is a later version's: the sheet tells what it knows.
    }
    // No new reading: the instrument's value is the one it last read.
    for (Written &w : awaiting)
        reported(w, run.asLeft);
    if (feed) {
        step(run.ended.value_or(run.started),
             tr("%1 output fed from %2; no stop frame could be sent")
                 .arg(feed->name == QByteArrayView("zero") ? tr("Zero") : tr("Span"),
                      feed->since.toString(QStringLiteral("HH:mm:ss"))),
             true);
    }

    if (!run.asFound)
        run.warnings << tr("No instrument answered in this run: as found and as left are empty.");
    for (const Written &w : unsaved)
        run.warnings << tr("The %1 was written (%2) but not saved afterwards: the instrument may "
                           "lose it.")
                            .arg(w.field == 2 ? tr("low range") : tr("high range"),
                                 quotedValue(w.value));
    if (feed)
        run.warnings << tr("The run ended while the %1 output was fed: check that the instrument "
                           "has stopped feeding it.")
                            .arg(QLatin1String(feed->name));
    if (run.endDetail.startsWith(QLatin1String("port lost")))
        run.warnings << tr("The port was lost during the run (%1).").arg(run.endDetail);
    if (!run.ended)
        run.warnings << tr("The record has no end line: the console was killed or the computer "
                           "stopped during the run.");
    return run;
}
