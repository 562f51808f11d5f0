// SPDX-License-Identifier: MIT
#include "records/run_sheet.h"

#include "ending/regular_file.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>

#include <algorithm>
#include <functional>
#include <iterator>
#include <vector>

#ifdef Q_OS_WIN
#include <QSaveFile>
#else
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace runsheet {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("RunSheet", text);
}

// Points to device units: fine enough that text placement is not rounded.
constexpr int Resolution = 720;
constexpr qreal Pt = Resolution / 72.0;

const QColor Ink(Qt::black);
const QColor Faint(0x60, 0x60, 0x60);
const QColor Shade(0xe8, 0xe8, 0xe8);

QFont font(qreal points, bool bold = false, bool mono = false)
{
    QFont f(mono ? QStringLiteral("Liberation Mono") : QStringLiteral("Liberation Sans"));
    f.setStyleHint(mono ? QFont::TypeWriter : QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// A reading as the sheet shows it: in quotes where blanks at either end would
// otherwise be invisible ("250 ").
QString shown(const QString &value)
{
    if (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()))
        return u'"' + value + u'"';
    return value;
}

QString howEnded(const RecordedRun &run)
{
    if (!run.ended)
        return tr("no end line in the record");
    if (run.endDetail == QLatin1String("stop"))
        return tr("stop (Operation > Stop Config.)");
    if (run.endDetail == QLatin1String("exit"))
        return tr("exit (File > Exit)");
    if (run.endDetail == QLatin1String("window closed"))
        return tr("window closed (the close box)");
    if (run.endDetail == QLatin1String("signal"))
        return tr("signal (ended by the system or another program)");
    return run.endDetail;
}

// The sheet as blocks laid out top to bottom, in the order they are added; a
// block that does not fit goes to the next page, a heading with the block
// after it.
class Sheet
{
public:
    Sheet(QPdfWriter &pdf, const RecordedRun &run) : pdf(pdf), run(run)
    {
        title();
        facts();
        space(8);
        heading(tr("Instrument"));
        blanks(8, {{0, half - 12 * Pt, tr("Tag")}, {half, half, tr("Serial number")}});
        space(8);
        settings();
        space(8);
        steps();
        warnings();
        space(8);
        measured();
        space(8);
        remarks();
        space(10);
        heading(tr("Calibrated by"));
        blanks(16, {{0, w * 0.36, tr("Name")},
                    {w * 0.40, w * 0.22, tr("Date")},
                    {w * 0.66, w * 0.34, tr("Signature")}});
    }

    void paint(QPainter &p)
    {
        // Each block's page and place first, for "Page n of N".
        int pages = 1;
        qreal y = pageTop;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            const bool keep = blocks[i].keepWithNext && i + 1 < blocks.size();
            const qreal need = blocks[i].height + (keep ? blocks[i + 1].height : 0);
            if (y + need > pageBottom && y > pageTop) {
                ++pages;
                y = pageTop;
            }
            blocks[i].page = pages;
            blocks[i].top = y;
            y += blocks[i].height;
        }
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            if (i > 0 && blocks[i].page != blocks[i - 1].page) {
                foot(p, blocks[i - 1].page, pages);
                pdf.newPage();
            }
            blocks[i].paint(p, blocks[i].top);
        }
        foot(p, pages, pages);
    }

private:
    using Paint = std::function<void(QPainter &, qreal top)>;
    struct Block
    {
        qreal height;
        Paint paint;
        bool keepWithNext;
        int page = 1;
        qreal top = 0;
    };
    // A label with a line after it to write on, to `from + width`.
    struct Blank
    {
        qreal from;
        qreal width;
        QString label;
    };

    QFontMetricsF metricsOf(const QFont &f) const { return QFontMetricsF(f, &pdf); }

    // Text in lines `width` wide, broken at words where it can be and anywhere
    // in a word wider than a line; past `maxLines` the last line ends in "…".
    // A record's text may be as long as its line: every block fits on a page.
    QStringList linesOf(const QString &shown, const QFont &f, qreal width, int maxLines) const
    {
        const QString text = withoutControls(shown, u' ');
        QTextLayout layout(text, f, &pdf);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        QStringList lines;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            if (lines.size() == maxLines - 1 &&
                line.textStart() + line.textLength() < text.size()) {
                // No more of it could show on one line.
                lines << fitted(text.mid(line.textStart()), f, width);
                break;
            }
            lines << text.mid(line.textStart(), line.textLength());
        }
        layout.endLayout();
        return lines;
    }

    qreal linesHeight(const QFont &f, qsizetype lines) const
    {
        const QFontMetricsF m = metricsOf(f);
        return m.height() + qMax<qsizetype>(0, lines - 1) * m.lineSpacing();
    }

    void drawLines(QPainter &p, const QFont &f, QPointF at, const QStringList &lines) const
    {
        p.setFont(f);
        const QFontMetricsF m = metricsOf(f);
        for (qsizetype i = 0; i < lines.size(); ++i)
            p.drawText(QPointF(at.x(), at.y() + m.ascent() + i * m.lineSpacing()), lines[i]);
    }

    // One line of text in `width`, "…" where it is cut.
    QString fitted(const QString &text, const QFont &f, qreal width,
                   Qt::TextElideMode mode = Qt::ElideRight) const
    {
        return metricsOf(f).elidedText(mode == Qt::ElideRight ? text.left(1024) : text, mode,
                                       width);
    }

    void add(qreal height, Paint paint, bool keepWithNext = false)
    {
        blocks.push_back({height, std::move(paint), keepWithNext});
    }
    void space(qreal points)
    {
        add(points * Pt, [](QPainter &, qreal) {});
    }

    void title()
    {
        const QFont f = font(18, true);
        add(metricsOf(f).height() + 6 * Pt, [this, f](QPainter &p, qreal top) {
            p.setPen(Ink);
            drawLines(p, f, QPointF(x, top), {tr("Configuration record")});
        });
    }

    // Who on the left, where and when on the right; a long value (a device
    // path, a port's words) wraps within its half.
    void facts()
    {
        const QString unknown = tr("not in the record");
        const auto orUnknown = [&unknown](const QString &s) { return s.isEmpty() ? unknown : s; };
        const auto time = [](const QDateTime &at) {
            return withOffset(at, QStringLiteral("yyyy-MM-dd HH:mm:ss "));
        };
        const QList<std::pair<QString, QString>> facts = {
            {tr("Console"), orUnknown(run.console)},
            {tr("Port"), tr("Com %1").arg(run.comPort)},
            {tr("Computer"), orUnknown(run.computer)},
            {tr("Device"), run.device},
            {tr("Account"), orUnknown(run.account)},
            {tr("Started"), time(run.started)},
            {tr("How it ended"), howEnded(run)},
            {tr("Ended"), run.ended ? time(*run.ended) : tr("unknown")},
        };
        const qreal labelWidth = 62 * Pt;
        for (qsizetype i = 0; i < facts.size(); i += 2) {
            qreal h = line;
            QList<QStringList> values;
            for (qsizetype j = i; j < qMin(i + 2, facts.size()); ++j) {
                values << linesOf(facts[j].second, body, half - labelWidth - 8 * Pt, 3);
                h = qMax(h, linesHeight(body, values.last().size()) + 3 * Pt);
            }
            const auto pair = facts.mid(i, 2);
            add(h, [=](QPainter &p, qreal top) {
                for (qsizetype j = 0; j < pair.size(); ++j) {
                    const qreal cx = x + j * half;
                    p.setPen(Faint);
                    drawLines(p, body, QPointF(cx, top), {pair[j].first});
                    p.setPen(Ink);
                    drawLines(p, body, QPointF(cx + labelWidth, top), values[j]);
                }
            });
        }
    }

    void settings()
    {
        heading(tr("Settings as the instrument read them"));
        const QList<qreal> columns = {0, w * 0.30, w * 0.52, w * 0.74};
        tableRow(columns, {tr("Setting"), tr("As found"), tr("As left"), tr("Changed")}, rowHeight,
                 true);
        const QStringList names = {tr("Zero"), tr("Span"), tr("Low Range"), tr("High Range")};
        for (int k = 0; k < protocol::FieldCount; ++k) {
            const QString found = run.asFound ? fieldList(*run.asFound)[k] : QString();
            const QString left = run.asLeft ? fieldList(*run.asLeft)[k] : QString();
            tableRow(
                columns,
                {names[k], shown(found), shown(left), found != left ? tr("changed") : QString()},
                rowHeight, false);
        }
    }

    void steps()
    {
        heading(tr("What was done"));
        if (run.steps.isEmpty())
            add(line, [this](QPainter &p, qreal top) {
                p.setPen(Faint);
                drawLines(p, body, QPointF(x, top),
                          {tr("Nothing was sent to the instrument but the start.")});
            });
        QStringList times;
        qreal timeWidth = 52 * Pt; // wider for a run past midnight, with dates
        for (const RecordedRun::Step &s : run.steps) {
            times << clockOf(s.at, run.started.date());
            timeWidth = qMax(timeWidth, metrics.horizontalAdvance(times.last()) + 8 * Pt);
        }
        for (qsizetype i = 0; i < run.steps.size(); ++i) {
            const RecordedRun::Step &s = run.steps[i];
            const QFont f = font(9, s.flagged);
            const QString text = s.flagged ? QStringLiteral("! ") + s.text : s.text;
            marked(times[i], body, timeWidth, linesOf(text, f, w - timeWidth, 4), f, 2.5 * Pt);
        }
    }

    void warnings()
    {
        if (run.warnings.isEmpty())
            return;
        space(8);
        heading(tr("Warnings"));
        const QFont f = font(9, true);
        for (const QString &warning : run.warnings)
            marked(QStringLiteral("!"), f, 12 * Pt, linesOf(warning, f, w - 12 * Pt, 6), f, 3 * Pt);
    }

    // Measured by hand, against a reference.
    void measured()
    {
        heading(tr("Output measured"));
        const QList<qreal> columns = {0, w * 0.30, w * 0.65};
        tableRow(columns, {QString(), tr("As found (mA)"), tr("As left (mA)")}, rowHeight, true);
        for (const QString &row : {tr("At zero"), tr("At span")})
            tableRow(columns, {row}, rowHeight + 8 * Pt, false);
        blanks(10, {{0, half - 12 * Pt, tr("Reference meter")}, {half, half, tr("Certificate")}});
    }

    void remarks()
    {
        heading(tr("Remarks"));
        add(3 * 20 * Pt, [this](QPainter &p, qreal top) {
            p.setPen(QPen(Ink, 0.5 * Pt));
            for (int i = 1; i <= 3; ++i)
                p.drawLine(QPointF(x, top + i * 20 * Pt), QPointF(x + w, top + i * 20 * Pt));
        });
    }

    void heading(const QString &text)
    {
        const QFont f = font(11, true);
        add(
            metricsOf(f).height() + 5 * Pt,
            [this, f, text](QPainter &p, qreal top) {
                p.setFont(f);
                p.setPen(Ink);
                const qreal base = top + metricsOf(f).ascent();
                p.drawText(QPointF(x, base), text);
                p.setPen(QPen(Ink, 0.75 * Pt));
                p.drawLine(QPointF(x, base + 3 * Pt), QPointF(x + w, base + 3 * Pt));
            },
            true);
    }

    // `mark` at the margin, the lines `indent` in.
    void marked(const QString &mark, const QFont &markFont, qreal indent, const QStringList &lines,
                const QFont &f, qreal padding)
    {
        add(linesHeight(f, lines.size()) + padding, [=](QPainter &p, qreal top) {
            p.setPen(Ink);
            drawLines(p, markFont, QPointF(x, top), {mark});
            drawLines(p, f, QPointF(x + indent, top), lines);
        });
    }

    // Cells at the given column starts; shaded and ruled above for a header
    // row, ruled below, framed at the sides. The first cell and a header's
    // are in the body font, the others in the readings'.
    void tableRow(const QList<qreal> &columns, const QStringList &cells, qreal height, bool header)
    {
        add(height, [=](QPainter &p, qreal top) {
            const QRectF row(x, top, w, height);
            if (header)
                p.fillRect(row, Shade);
            p.setPen(QPen(Ink, 0.5 * Pt));
            p.drawLine(row.bottomLeft(), row.bottomRight());
            if (header)
                p.drawLine(row.topLeft(), row.topRight());
            for (qsizetype c = 0; c <= columns.size(); ++c) {
                const qreal cx = c < columns.size() ? x + columns[c] : row.right();
                p.drawLine(QPointF(cx, row.top()), QPointF(cx, row.bottom()));
            }
            for (qsizetype c = 0; c < cells.size() && c < columns.size(); ++c) {
                const QFont f = header || c == 0 ? font(9, header) : mono;
                p.setFont(f);
                const QFontMetricsF m = metricsOf(f);
                const qreal base = top + (height - m.height()) / 2 + m.ascent();
                const qreal end = c + 1 < columns.size() ? columns[c + 1] : w;
                p.drawText(QPointF(x + columns[c] + 5 * Pt, base),
                           fitted(cells[c], f, end - columns[c] - 10 * Pt));
            }
        });
    }

    // Blank fields in a row, `points` below the block above.
    void blanks(qreal points, const QList<Blank> &fields)
    {
        add(line + (points + 2) * Pt, [=](QPainter &p, qreal top) {
            const qreal base = top + points * Pt + metrics.ascent();
            for (const Blank &b : fields) {
                p.setFont(body);
                p.setPen(Ink);
                p.drawText(QPointF(x + b.from, base), b.label);
                const qreal start =
                    x + b.from + metricsOf(p.font()).horizontalAdvance(b.label) + 4 * Pt;
                p.setPen(QPen(Ink, 0.5 * Pt));
                p.drawLine(QPointF(start, base + 1.5 * Pt),
                           QPointF(x + b.from + b.width, base + 1.5 * Pt));
            }
        });
    }

    void foot(QPainter &p, int page, int pages)
    {
        const qreal y = pdf.height() - 48 * Pt;
        p.setPen(QPen(Faint, 0.5 * Pt));
        p.drawLine(QPointF(x, y), QPointF(right, y));
        const QFont f = font(8);
        p.setFont(f);
        const QFontMetricsF m = metricsOf(f);
        const QString n = tr("Page %1 of %2").arg(page).arg(pages);
        p.drawText(QPointF(right - m.horizontalAdvance(n), y + 4 * Pt + m.ascent()), n);
        // A long name gives way in its middle, where its date and port are not.
        const qreal room = right - x - m.horizontalAdvance(n) - 12 * Pt -
                           m.horizontalAdvance(tr("Record: %1").arg(QString()));
        p.drawText(QPointF(x, y + 4 * Pt + m.ascent()),
                   tr("Record: %1").arg(fitted(run.fileName, f, room, Qt::ElideMiddle)));
        const qreal second = y + 4 * Pt + m.height() + 2 * Pt;
        const QString label = tr("SHA-256: ");
        p.drawText(QPointF(x, second + m.ascent()), label);
        p.setFont(font(8, false, true));
        p.drawText(QPointF(x + m.horizontalAdvance(label), second + m.ascent()), run.sha256);
    }

    QPdfWriter &pdf;
    const RecordedRun &run;
    const qreal x = 50 * Pt;
    const qreal right = pdf.width() - 50 * Pt;
    const qreal w = right - x;
    const qreal half = w / 2;
    const qreal pageTop = 42 * Pt;
    const qreal pageBottom = pdf.height() - 62 * Pt;
    const QFont body = font(9);
    const QFont mono = font(9.5, false, true);
    const QFontMetricsF metrics{body, &pdf};
    const qreal line = metrics.height() + 3 * Pt;
    const qreal rowHeight = line + 4 * Pt;
    std::vector<Block> blocks;
};

QByteArray render(const RecordedRun &run, QPageSize::PageSizeId paper)
{
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&out);
    pdf.setResolution(Resolution);
    pdf.setPageSize(QPageSize(paper));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setTitle(tr("Configuration record %1").arg(run.fileName));
    pdf.setCreator(run.console.isEmpty() ? QCoreApplication::applicationName() : run.console);
    Sheet sheet(pdf, run);
    QPainter painter(&pdf);
    painter.setRenderHint(QPainter::Antialiasing);
    sheet.paint(painter);
    painter.end();
    return bytes;
}

// Letter where the locale's territory uses it, A4 elsewhere.
QPageSize::PageSizeId paperFor(const QLocale &locale)
{
    constexpr QLocale::Territory letter[] = {
        QLocale::UnitedStates, QLocale::Canada,   QLocale::Mexico,     QLocale::Philippines,
        QLocale::Chile,        QLocale::Colombia, QLocale::Venezuela,  QLocale::CostaRica,
        QLocale::Guatemala,    QLocale::Panama,   QLocale::PuertoRico, QLocale::ElSalvador,
        QLocale::Nicaragua,    QLocale::Belize};
    const bool usesLetter =
        std::find(std::begin(letter), std::end(letter), locale.territory()) != std::end(letter) ||
        locale.measurementSystem() == QLocale::ImperialUSSystem;
    return usesLetter ? QPageSize::Letter : QPageSize::A4;
}

// What stands at a name instead of a file, in words.
QString notAFile(regularfile::Kind kind)
{
    using K = regularfile::Kind;
    const std::pair<K, const char *> words[] = {
        {K::Folder, QT_TRANSLATE_NOOP("RunSheet", "it is a folder, not a file")},
        {K::Fifo, QT_TRANSLATE_NOOP("RunSheet", "it is a FIFO (named pipe), not a file")},
        {K::CharacterDevice, QT_TRANSLATE_NOOP("RunSheet", "it is a character device, not a file")},
        {K::BlockDevice, QT_TRANSLATE_NOOP("RunSheet", "it is a block device, not a file")},
        {K::Socket, QT_TRANSLATE_NOOP("RunSheet", "it is a socket, not a file")},
        {K::Link, QT_TRANSLATE_NOOP("RunSheet",
                                    "it is a symbolic link, and nothing is written through one")}};
    for (const auto &[k, text] : words) {
        if (k == kind)
            return tr(text);
    }
    return tr("it is not a file");
}

// The sheet's bytes at `path`, replacing a sheet there, but never through a
// link or into anything other than a file; `why` in the system's words.
bool replaceFile(const QString &path, const QByteArray &bytes, QString &why)
{
#ifdef Q_OS_WIN
    const QFileInfo at(path);
    QSaveFile out(path);
    if (at.isSymLink())
        why = tr("it is a link, and nothing is written through one");
    else if (at.exists() && !at.isFile())
        why = tr("it is not a file");
    else if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        why = out.errorString();
    else
        return true;
    return false;
#else
    // A new file beside it, synced, then renamed over the name: a reader never
    // finds half a sheet, a rename replaces a link put there meanwhile rather
    // than following it, and a full disk is told as such (Qt's save file
    // words it "Unknown error").
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    const bool replacing = ::lstat(name.constData(), &st) == 0;
    if (replacing && !S_ISREG(st.st_mode)) {
        why = notAFile(regularfile::kindOfMode(st.st_mode));
        return false;
    }
    int error = replacing || errno == ENOENT ? 0 : errno;
    QByteArray temp;
    int fd = -1;
    for (int tries = 1; !error && fd < 0; ++tries) {
        temp = name + ".tmp" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || tries == 16))
            error = errno;
    }
    if (!error && replacing && ::fchmod(fd, st.st_mode & 07777) != 0)
        error = errno;
    for (qsizetype done = 0; !error && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0 || errno != EINTR)
            error = n == 0 ? ENOSPC : errno;
    }
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (fd >= 0 && ::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temp.constData(), name.constData()) != 0)
        error = errno;
    if (!error)
        return true;
    if (fd >= 0)
        ::unlink(temp.constData());
    why = qt_error_string(error);
    return false;
#endif
}

} // namespace

QString sheetPathFor(const QString &recordPath)
{
    const QFileInfo info(recordPath);
    const QString base = info.suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0
                             ? info.completeBaseName()
                             : info.fileName();
    return info.dir().filePath(base + QStringLiteral(".pdf"));
}

bool read(const QString &recordPath, RecordedRun &run, QString &why,
          const std::atomic<bool> *cancelled)
{
    // Only a regular file: a FIFO would hold the reader, a device would never
    // end, and opening a serial port raises its lines.
    QFile record;
    const regularfile::Opened opened = regularfile::open(record, recordPath);
    if (opened.kind != regularfile::Kind::File) {
        const QString reason = opened.kind == regularfile::Kind::Missing ? qt_error_string(ENOENT)
                               : opened.kind == regularfile::Kind::Unreadable
                                   ? opened.error
                                   : notAFile(opened.kind);
        why = tr("Cannot read %1: %2").arg(recordPath, reason);
        return false;
    }
    if (run.read(record, QFileInfo(recordPath).fileName(), why, cancelled))
        return true;
    why = record.error() != QFileDevice::NoError
              ? tr("Cannot read %1: %2").arg(recordPath, why)
              : tr("%1 is not a run record of this console: %2").arg(recordPath, why);
    return false;
}

bool write(const RecordedRun &run, const QString &recordPath, QString &why, const QLocale &locale)
{
    const QString sheetPath = sheetPathFor(recordPath);
    const QByteArray pdf = render(run, paperFor(locale));
    if (pdf.isEmpty())
        why = tr("the page could not be drawn");
    else if (replaceFile(sheetPath, pdf, why))
        return true;
    why = tr("Cannot write the calibration sheet %1: %2").arg(sheetPath, why);
    return false;
}

Result make(const QString &recordPath, const QLocale &locale, const std::atomic<bool> *cancelled)
{
    const auto givenUp = [cancelled] { return cancelled && *cancelled; };
    Result result{Result::Written, sheetPathFor(recordPath), {}};
    RecordedRun run;
    QString why;
    const bool isRecord = !givenUp() && read(recordPath, run, why, cancelled);
    if (givenUp())
        result.status = Result::Cancelled;
    else if (!isRecord || !write(run, recordPath, why, locale))
        result = {Result::Failed, result.sheetPath, why};
    return result;
}

} // namespace runsheet
