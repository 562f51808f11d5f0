// SPDX-License-Identifier: MIT
#include "records/recorded_run.h"

#include "protocol/record_format.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QVarLengthArray>

#include <deque>
#include <string>
#include <vector>

namespace {

namespace rf = recordformat;
constexpr int Columns = rf::ColumnCount;

// The console's own lines are a few hundred bytes; reading a longer one whole
// would let any file take all the memory.
constexpr qint64 MaxLineBytes = 64 * 1024;
constexpr qint64 ChunkBytes = 64 * 1024;

// Of a run of like steps, how many the sheet lists before one line for the rest.
constexpr int ShownOfRun = 3;
// Lines of steps kept from the start of a run and from its end; those between
// are told in one line. About two pages.
constexpr std::size_t MaxHead = 60;
constexpr std::size_t MaxTail = 20;
// Steps that wait for the reading after a range written. An instrument
// answers at once; past this many, they take the last reading, as at the end.
constexpr std::size_t MaxPending = 64;

QString tr(const char *text)
{
    return QCoreApplication::translate("RecordedRun", text);
}

QString utf8(QByteArrayView bytes)
{
    return QString::fromUtf8(bytes);
}

// RFC 4180 as the record writes it, one row at a time from a stream: quoted
// fields may hold commas, quotes and line breaks; lines end in CR LF (a bare
// LF is taken too, for files that an editor has saved again). Every byte read
// goes into the hash.
class CsvRows
{
public:
    CsvRows(QIODevice &in, QCryptographicHash &hash) : in(in), hash(hash) {}

    // False when the bytes are not CSV or cannot be read; past the last row, a
    // row of no fields.
    bool next(QString &why);
    bool atEnd() const { return ends.isEmpty(); }
    qsizetype size() const { return ends.size(); }
    QByteArrayView field(qsizetype i) const
    {
        const qsizetype begin = i == 0 ? 0 : ends[i - 1];
        return QByteArrayView(fields.data() + begin, ends[i] - begin);
    }

private:
    bool fill()
    {
        const qint64 n = readError ? 0 : in.read(chunk.data(), ChunkBytes);
        if (n < 0)
            readError = in.errorString();
        if (n <= 0)
            return false;
        hash.addData(QByteArrayView(chunk.constData(), n));
        pos = 0;
        end = n;
        return true;
    }
    int peek() { return pos < end || fill() ? uchar(chunk.at(pos)) : -1; }
    int get()
    {
        const int c = peek();
        pos += c >= 0;
        return c;
    }

    QIODevice &in;
    QCryptographicHash &hash;
    QByteArray chunk = QByteArray(ChunkBytes, Qt::Uninitialized);
    qint64 pos = 0;
    qint64 end = 0;
    int line = 1;       // counting the line breaks inside quotes, as an editor does
    std::string fields; // the row's fields unquoted, end to end (cheaper appends than Qt's)
    QVarLengthArray<qsizetype, Columns> ends;
    std::optional<QString> readError;
};

bool CsvRows::next(QString &why)
{
    fields.clear();
    ends.clear();
    const int startLine = line;
    qint64 length = 0;
    bool quoted = false;    // inside quotes
    bool wasQuoted = false; // the field's quotes are closed: only a separator may follow
    int quoteLine = line;   // where the open quote began
    std::size_t fieldStart = 0;
    const auto endField = [&] {
        ends.append(qsizetype(fields.size()));
        fieldStart = fields.size();
        wasQuoted = false;
    };
    const auto tooLong = [&] {
        why = tr("line %1 is longer than any line the console writes").arg(startLine);
        return false;
    };
    const auto misplacedQuote = [&why](int at) {
        why = tr("a quote out of place on line %1").arg(at);
        return false;
    };
    for (int c = get(); c >= 0; c = get()) {
        if (++length > MaxLineBytes)
            return tooLong();
        if (quoted) {
            if (c != '"') {
                line += c == '\n';
                fields += char(c);
            } else if (peek() == '"') {
                fields += char(get()); // doubled, it is text
            } else {
                quoted = false;
                wasQuoted = true;
            }
        } else if (c == ',') {
            endField();
        } else if (c == '\n' || (c == '\r' && peek() == '\n')) {
            if (c == '\r')
                get();
            endField();
            ++line;
            return true;
        } else if (c == '"' && fields.size() == fieldStart && !wasQuoted) {
            quoted = true;
            quoteLine = line;
        } else if (c == '"' || wasQuoted) {
            return misplacedQuote(line);
        } else {
            fields += char(c);
        }
    }
    if (readError) {
        why = *readError;
        return false;
    }
    if (quoted)
        return misplacedQuote(quoteLine);
    if (fields.size() > fieldStart || wasQuoted || !ends.isEmpty())
        endField();
    return true;
}

QDateTime parseTime(QByteArrayView field)
{
    return QDateTime::fromString(QString::fromLatin1(field), Qt::ISODateWithMs);
}

// Whether a row has the shape of a record's line: every column, a time first.
// Qt's time parser takes about a microsecond, most of what a row costs; a time
// in the console's own shape with the date and offset of the last one parsed
// needs only its clock checked.
class LineShape
{
public:
    bool check(const CsvRows &row, qint64 number, QString &why)
    {
        if (row.size() != Columns)
            why = tr("line %1 has %2 fields, not %3").arg(number).arg(row.size()).arg(Columns);
        else if (!isTime(row.field(0)))
            why = tr("line %1 does not begin with a time").arg(number);
        else
            return true;
        return false;
    }

private:
    bool isTime(QByteArrayView field)
    {
        if (sameDay(field))
            return true;
        if (!parseTime(field).isValid())
            return false;
        known = field.toByteArray();
        return true;
    }
    bool sameDay(QByteArrayView f) const
    {
        const QByteArrayView k(known);
        if (f.size() != rf::TimeLength || k.size() != rf::TimeLength ||
            f.first(11) != k.first(11) || f.last(6) != k.last(6) || f[13] != ':' || f[16] != ':' ||
            f[19] != '.')
            return false;
        for (const qsizetype i : {11, 12, 14, 15, 17, 18, 20, 21, 22}) {
            if (f[i] < '0' || f[i] > '9')
                return false;
        }
        const auto two = [&f](qsizetype i) { return (f[i] - '0') * 10 + (f[i + 1] - '0'); };
        return two(11) < 24 && two(14) < 60 && two(17) < 60;
    }
    QByteArray known;
};

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

enum class Kind { Feed, Stop, Range, Saved, Refused, Sent, Unstopped };

// The steps a sheet lists, bounded however long the run: of a run of like
// steps (one kind, flagged alike) the first few, then one line for the rest;
// past MaxHead lines only the last MaxTail are kept, one line telling those
// between. Times stay as the record's bytes until a line is listed, and a
// step's text is made only for a line.
class StepLog
{
public:
    template <typename Text> void add(Kind kind, bool flagged, QByteArrayView at, Text &&text)
    {
        runLength = runLength > 0 && kind == runKind && flagged == runFlagged ? runLength + 1 : 1;
        runKind = kind;
        runFlagged = flagged;
        if (runLength > ShownOfRun + 1) {
            // The run's last line stands for the rest of it.
            Line &l = tail.empty() ? head.back() : tail.back();
            ++l.count;
            l.lastAt.resize(0);
            l.lastAt.append(at);
            return;
        }
        // Listed whole up to one past those shown: that one also stands for
        // the rest of a longer run, and is whole for a run that has only it more.
        const QByteArray bytes = at.toByteArray();
        push({bytes, text(), flagged, 1, bytes});
    }

    QList<RecordedRun::Step> finish(const QDate &runDate) const
    {
        QList<RecordedRun::Step> steps;
        const auto list = [&](const Line &l) {
            steps.append({parseTime(l.at),
                          l.count == 1 ? l.text
                                       : tr("… %1 more like these, the last at %2")
                                             .arg(l.count)
                                             .arg(clockOf(parseTime(l.lastAt), runDate)),
                          l.flagged});
        };
        for (const Line &l : head)
            list(l);
        if (gapSteps > 0) {
            QString text = tr("… %1 further steps, the last at %2, are more than the sheet lists: "
                              "the record holds every one")
                               .arg(gapSteps)
                               .arg(clockOf(parseTime(gapTo), runDate));
            if (gapFlagged > 0)
                text += tr(" (%1 of them marked !)").arg(gapFlagged);
            steps.append({parseTime(gapFrom), text, gapFlagged > 0});
        }
        for (const Line &l : tail)
            list(l);
        return steps;
    }

private:
    struct Line
    {
        QByteArray at;
        QString text;
        bool flagged = false;
        // The steps it stands for: more than one for like steps not listed one
        // by one, told by how many and the last's time.
        qint64 count = 1;
        QByteArray lastAt;
    };

    void push(Line line)
    {
        if (head.size() < MaxHead) {
            head.push_back(std::move(line));
            return;
        }
        tail.push_back(std::move(line));
        if (tail.size() <= MaxTail)
            return;
        const Line &out = tail.front();
        if (gapSteps == 0)
            gapFrom = out.at;
        gapSteps += out.count;
        gapFlagged += out.flagged ? out.count : 0;
        gapTo = out.lastAt;
        tail.pop_front();
    }

    std::vector<Line> head;
    std::deque<Line> tail;
    qint64 gapSteps = 0;
    qint64 gapFlagged = 0;
    QByteArray gapFrom;
    QByteArray gapTo;
    Kind runKind = Kind::Sent;
    bool runFlagged = false;
    qint64 runLength = 0; // of like steps, to this one
};

struct Feed
{
    const char *name; // "zero", "span"
    QByteArray since;
};

// A step that waits, in order, for the reading after a range written.
struct Pending
{
    Kind kind;
    bool flagged;
    QByteArray at;
    QString text;
    int field = -1; // of a range written: 2 low range, 3 high range
    QString value;
};

QString outputName(const char *name)
{
    return qstrcmp(name, "zero") == 0 ? tr("Zero") : tr("Span");
}

// The steps of a run in words as its lines come, each range written with the
// reading that followed it, and what the run leaves to warn of.
class Wording
{
public:
    void take(const CsvRows &row, RecordedRun &run)
    {
        const QByteArrayView at = row.field(0);
        const QByteArrayView event = row.field(1);
        const QByteArrayView detail = row.field(2);
        if (event == rf::Reading) {
            last = protocol::StatusFields{utf8(row.field(3)), utf8(row.field(4)),
                                          utf8(row.field(5)), utf8(row.field(6))};
            if (!run.asFound)
                run.asFound = last;
            if (!pending.empty())
                resolve(last);
        } else if (event == rf::Sent) {
            sent(at, detail);
        } else if (event == rf::Refused) {
            step(Kind::Refused, true, at, [&] {
                return tr("%1 refused: no instrument had answered yet").arg(utf8(detail));
            });
        } else if (event == rf::End) {
            run.ended = parseTime(at);
            run.endDetail = utf8(detail);
        } else if (event == rf::Console) {
            run.console = utf8(detail);
        } else if (event == rf::Computer) {
            run.computer = utf8(detail);
        } else if (event == rf::Account) {
            run.account = utf8(detail);
        }
        // Any other line is a later version's: the sheet tells what it knows.
    }

    void finish(RecordedRun &run)
    {
        run.asLeft = last;
        // No new reading: the instrument's value is the one it last read.
        resolve(run.asLeft);
        if (feed) {
            log.add(Kind::Unstopped, true, feed->since, [&] {
                return tr("%1 output fed from %2; no stop frame could be sent")
                    .arg(outputName(feed->name),
                         parseTime(feed->since).toString(QStringLiteral("HH:mm:ss")));
            });
        }
        run.steps = log.finish(run.started.date());
        run.warnings = warnings(run);
    }

private:
    void sent(QByteArrayView at, QByteArrayView frame)
    {
        using protocol::Command;
        const protocol::WrittenFrame read = protocol::readWrittenFrame(frame);
        const auto command = read.command.value_or(Command(0));
        if (command == Command::StartConfig)
            return; // the start, told above the table
        if (command == Command::FeedZero || command == Command::FeedSpan) {
            feed = Feed{command == Command::FeedZero ? "zero" : "span", at.toByteArray()};
        } else if (command == Command::StopFeedZero || command == Command::StopFeedSpan) {
            stopped(command == Command::StopFeedZero ? "zero" : "span", at, frame);
        } else if (read.range) {
            written(*read.range, at, utf8(read.value));
        } else if (command == Command::Save) {
            step(Kind::Saved, false, at, [] { return tr("Saved"); });
            unsaved.clear();
        } else {
            step(Kind::Sent, false, at, [&] { return tr("Sent %1").arg(utf8(frame)); });
        }
    }

    // The stop of the output being fed ends one step, from the feed's start.
    void stopped(const char *name, QByteArrayView at, QByteArrayView frame)
    {
        if (feed && qstrcmp(feed->name, name) == 0)
            step(Kind::Feed, false, feed->since, [&] {
                const QDateTime since = parseTime(feed->since);
                const QDateTime to = parseTime(at);
                return tr("%1 output fed from %2 to %3 (%4)")
                    .arg(outputName(name))
                    .arg(since.toString(QStringLiteral("HH:mm:ss")),
                         to.toString(QStringLiteral("HH:mm:ss")), duration(since.msecsTo(to)));
            });
        else
            step(Kind::Stop, false, at, [&] {
                return tr("Stop of the %1 output sent (%2)").arg(QLatin1String(name), utf8(frame));
            });
        feed.reset();
    }

    void written(protocol::ValueTarget range, QByteArrayView at, const QString &value)
    {
        const bool low = range == protocol::ValueTarget::LowRange;
        const int field = low ? 2 : 3;
        wait({Kind::Range, false, at.toByteArray(),
              tr("%1 written %2").arg(low ? tr("Low range") : tr("High range"), quotedValue(value)),
              field, value});
        unsaved.removeIf([field](const auto &u) { return u.first == field; });
        unsaved.append({field, value});
    }

    // Once a range is written, the steps after it wait with it for a reading.
    template <typename Text> void step(Kind kind, bool flagged, QByteArrayView at, Text &&text)
    {
        if (pending.empty())
            log.add(kind, flagged, at, text);
        else
            wait({kind, flagged, at.toByteArray(), text(), -1, {}});
    }

    void wait(Pending step)
    {
        pending.push_back(std::move(step));
        if (pending.size() >= MaxPending)
            resolve(last);
    }

    void resolve(const std::optional<protocol::StatusFields> &reading)
    {
        for (Pending &p : pending) {
            if (p.field >= 0 && !reading) {
                p.text += tr("; no reading from the instrument after it");
                p.flagged = true;
            } else if (p.field >= 0) {
                const QString value = fieldList(*reading)[p.field];
                p.text += tr("; the instrument then read %1").arg(quotedValue(value));
                if (value != p.value) {
                    p.text += tr(" (not what was written)");
                    p.flagged = true;
                }
            }
            log.add(p.kind, p.flagged, p.at, [&p] { return p.text; });
        }
        pending.clear();
    }

    QStringList warnings(const RecordedRun &run) const
    {
        QStringList warnings;
        if (!run.asFound)
            warnings << tr("No instrument answered in this run: as found and as left are empty.");
        for (const auto &[field, value] : unsaved)
            warnings << tr("The %1 was written (%2) but not saved afterwards: the instrument may "
                           "lose it.")
                            .arg(field == 2 ? tr("low range") : tr("high range"),
                                 quotedValue(value));
        if (feed)
            warnings << tr("The run ended while the %1 output was fed: check that the instrument "
                           "has stopped feeding it.")
                            .arg(QLatin1String(feed->name));
        if (run.endDetail.startsWith(QLatin1String("port lost")))
            warnings << tr("The port was lost during the run (%1).").arg(run.endDetail);
        if (!run.ended)
            warnings << tr("The record has no end line: the console was killed or the computer "
                           "stopped during the run.");
        return warnings;
    }

    StepLog log;
    std::optional<protocol::StatusFields> last;
    std::optional<Feed> feed;
    std::vector<Pending> pending; // from the first range written that no reading has followed
    // The fields and values of the ranges written since the last save.
    QList<std::pair<int, QString>> unsaved;
};

// The header, then the start line "Com N (device)": the port, the device and
// when the run began.
bool readStart(CsvRows &rows, LineShape &shape, RecordedRun &run, QString &why)
{
    if (!rows.next(why))
        return false;
    bool header = rows.size() == Columns;
    for (int i = 0; header && i < Columns; ++i)
        header = rows.field(i) == rf::Columns[i];
    if (!header) {
        why = tr("its first line is not \"%1\"").arg(QString::fromStdString(rf::header()));
        return false;
    }
    if (!rows.next(why))
        return false;
    if (rows.size() < 2 || rows.field(1) != rf::Start) {
        why = tr("no start line after the header");
        return false;
    }
    if (!shape.check(rows, 2, why))
        return false;
    const QByteArrayView start = rows.field(2);
    qsizetype digits = 4;
    while (digits < start.size() && start[digits] >= '0' && start[digits] <= '9')
        ++digits;
    if (!start.startsWith("Com ") || digits == 4 || start.size() < digits + 3 ||
        !start.sliced(digits).startsWith(" (") || !start.endsWith(')')) {
        why = tr("its start line does not name a port");
        return false;
    }
    run.comPort = start.sliced(4, digits - 4).toInt();
    run.device = utf8(start.sliced(digits + 2, start.size() - digits - 3));
    run.started = parseTime(rows.field(0));
    return true;
}

} // namespace

std::array<QString, protocol::FieldCount> fieldList(const protocol::StatusFields &fields)
{
    return {fields.zero, fields.span, fields.lowRange, fields.highRange};
}

QString clockOf(const QDateTime &at, const QDate &runDate)
{
    return at.toString(at.date() == runDate ? QStringLiteral("HH:mm:ss")
                                            : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString withOffset(const QDateTime &at, const QString &format)
{
    const int offset = at.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return at.toString(format) + (offset < 0 ? u'-' : u'+') +
           QString::asprintf("%02d:%02d", minutes / 60, minutes % 60);
}

QString withoutControls(QString text, QChar by)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = by;
    }
    return text;
}

bool RecordedRun::read(QIODevice &in, const QString &name, QString &why,
                       const std::atomic<bool> *cancelled)
{
    *this = RecordedRun();
    fileName = name;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    CsvRows rows(in, hash);
    LineShape shape;
    if (!readStart(rows, shape, *this, why))
        return false;
    Wording words;
    for (qint64 number = 3;; ++number) {
        if (!rows.next(why))
            return false;
        if (rows.atEnd())
            break;
        if (cancelled && number % 4096 == 0 && *cancelled) {
            why = tr("given up");
            return false;
        }
        if (!shape.check(rows, number, why))
            return false;
        words.take(rows, *this);
    }
    words.finish(*this);
    sha256 = QString::fromLatin1(hash.result().toHex());
    return true;
}
