// SPDX-License-Identifier: MIT
#include "records/run_sheet.h"

#include "records/recorded_run.h"

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

#include <functional>
#include <optional>
#include <vector>

#ifdef Q_OS_WIN
#include <QSaveFile>

#include <io.h>
#include <windows.h>
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

QString timeWithOffset(const QDateTime &at)
{
    const int offset = at.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + (offset < 0 ? u'-' : u'+') +
           QString::asprintf("%02d:%02d", minutes / 60, minutes % 60);
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

// Text in lines `width` wide, broken at words where it can be and anywhere in
// a word wider than a line; past `maxLines` the last line ends in "…". A
// record's text may be as long as its line: every block fits on a page.
QStringList linesOf(QString text, const QFont &f, QPaintDevice *device, qreal width, int maxLines)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    QTextLayout layout(text, f, device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        const qsizetype end = line.textStart() + line.textLength();
        if (lines.size() == maxLines - 1 && end < text.size()) {
            // No more of it could show on one line.
            const QString rest = text.mid(line.textStart(), 1024);
            lines << QFontMetricsF(f, device).elidedText(rest, Qt::ElideRight, width);
            break;
        }
        lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}

qreal linesHeight(const QFont &f, QPaintDevice *device, qsizetype lines)
{
    const QFontMetricsF m(f, device);
    return m.height() + qMax<qsizetype>(0, lines - 1) * m.lineSpacing();
}

void drawLines(QPainter &p, QPaintDevice *device, const QFont &f, QPointF at,
               const QStringList &lines)
{
    p.setFont(f);
    const QFontMetricsF m(f, device);
    for (qsizetype i = 0; i < lines.size(); ++i)
        p.drawText(QPointF(at.x(), at.y() + m.ascent() + i * m.lineSpacing()), lines[i]);
}

// One line of text in `width`, "…" where it is cut.
QString fitted(const QString &text, const QFont &f, QPaintDevice *device, qreal width,
               Qt::TextElideMode mode = Qt::ElideRight)
{
    const QString shown = mode == Qt::ElideRight ? text.left(1024) : text;
    return QFontMetricsF(f, device).elidedText(shown, mode, width);
}

// The page's content as blocks laid out top to bottom; a block that does not
// fit goes to the next page, a heading with the block after it.
class Layout
{
public:
    using Paint = std::function<void(QPainter &, qreal top)>;

    Layout(QPdfWriter &pdf, const RecordedRun &run) : pdf(pdf), run(run)
    {
        left = 50 * Pt;
        right = pdf.width() - 50 * Pt;
        top = 42 * Pt;
        bottom = pdf.height() - 62 * Pt;
    }

    qreal width() const { return right - left; }
    qreal x() const { return left; }

    void add(qreal height, Paint paint, bool keepWithNext = false)
    {
        blocks.push_back({height, std::move(paint), keepWithNext});
    }
    void space(qreal points)
    {
        add(points * Pt, [](QPainter &, qreal) {});
    }

    void paint(QPainter &p)
    {
        // Page of each block first, for "Page n of N".
        std::vector<int> pageOf(blocks.size());
        int page = 0;
        qreal y = top;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            qreal need = blocks[i].height;
            if (blocks[i].keepWithNext && i + 1 < blocks.size())
                need += blocks[i + 1].height;
            if (y + need > bottom && y > top) {
                ++page;
                y = top;
            }
            pageOf[i] = page;
            y += blocks[i].height;
        }
        const int pages = page + 1;
        y = top;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            if (i > 0 && pageOf[i] != pageOf[i - 1]) {
                foot(p, pageOf[i - 1] + 1, pages);
                pdf.newPage();
                y = top;
            }
            blocks[i].paint(p, y);
            y += blocks[i].height;
        }
        foot(p, pages, pages);
    }

private:
    void foot(QPainter &p, int page, int pages)
    {
        const qreal y = pdf.height() - 48 * Pt;
        p.setPen(QPen(Faint, 0.5 * Pt));
        p.drawLine(QPointF(left, y), QPointF(right, y));
        const QFont f = font(8);
        p.setFont(f);
        const QFontMetricsF m(f, &pdf);
        const QString n = tr("Page %1 of %2").arg(page).arg(pages);
        p.drawText(QPointF(right - m.horizontalAdvance(n), y + 4 * Pt + m.ascent()), n);
        // A long name gives way in its middle, where its date and port are not.
        const qreal room = right - left - m.horizontalAdvance(n) - 12 * Pt -
                           m.horizontalAdvance(tr("Record: %1").arg(QString()));
        p.drawText(QPointF(left, y + 4 * Pt + m.ascent()),
                   tr("Record: %1").arg(fitted(run.fileName, f, &pdf, room, Qt::ElideMiddle)));
        const qreal second = y + 4 * Pt + m.height() + 2 * Pt;
        const QString label = tr("SHA-256: ");
        p.drawText(QPointF(left, second + m.ascent()), label);
        p.setFont(font(8, false, true));
        p.drawText(QPointF(left + m.horizontalAdvance(label), second + m.ascent()), run.sha256);
    }

    struct Block
    {
        qreal height;
        Paint paint;
        bool keepWithNext;
    };
    QPdfWriter &pdf;
    const RecordedRun &run;
    qreal left, right, top, bottom;
    std::vector<Block> blocks;
};

// A label and a line to write on after it, to `x + width`.
void blankField(QPainter &p, QPaintDevice *device, qreal x, qreal baseline, qreal width,
                const QString &label)
{
    p.setFont(font(9));
    p.setPen(Ink);
    p.drawText(QPointF(x, baseline), label);
    const qreal start = x + QFontMetricsF(p.font(), device).horizontalAdvance(label) + 4 * Pt;
    p.setPen(QPen(Ink, 0.5 * Pt));
    p.drawLine(QPointF(start, baseline + 1.5 * Pt), QPointF(x + width, baseline + 1.5 * Pt));
}

void heading(Layout &layout, QPaintDevice *device, const QString &text)
{
    const QFont f = font(11, true);
    const qreal h = QFontMetricsF(f, device).height();
    layout.add(
        h + 5 * Pt,
        [&layout, f, text, device](QPainter &p, qreal top) {
            p.setFont(f);
            p.setPen(Ink);
            const qreal base = top + QFontMetricsF(f, device).ascent();
            p.drawText(QPointF(layout.x(), base), text);
            p.setPen(QPen(Ink, 0.75 * Pt));
            p.drawLine(QPointF(layout.x(), base + 3 * Pt),
                       QPointF(layout.x() + layout.width(), base + 3 * Pt));
        },
        true);
}

// One table row: cells at the given column starts, the first cell's text in
// the body font, the others in `cellFont`; shaded for a header row, ruled
// below, framed at the sides.
void tableRow(Layout &layout, QPaintDevice *device, const QList<qreal> &columns,
              const QStringList &cells, qreal rowHeight, bool header, const QFont &cellFont)
{
    layout.add(rowHeight, [&layout, device, columns, cells, rowHeight, header,
                           cellFont](QPainter &p, qreal top) {
        const QRectF row(layout.x(), top, layout.width(), rowHeight);
        if (header)
            p.fillRect(row, Shade);
        p.setPen(QPen(Ink, 0.5 * Pt));
        p.drawLine(row.bottomLeft(), row.bottomRight());
        if (header)
            p.drawLine(row.topLeft(), row.topRight());
        for (qsizetype c = 0; c <= columns.size(); ++c) {
            const qreal x = c < columns.size() ? layout.x() + columns[c] : row.right();
            p.drawLine(QPointF(x, row.top()), QPointF(x, row.bottom()));
        }
        for (qsizetype c = 0; c < cells.size() && c < columns.size(); ++c) {
            const QFont f = header || c == 0 ? font(9, header) : cellFont;
            p.setFont(f);
            const QFontMetricsF m(f, device);
            const qreal base = top + (rowHeight - m.height()) / 2 + m.ascent();
            const qreal end = c + 1 < columns.size() ? columns[c + 1] : layout.width();
            p.drawText(QPointF(layout.x() + columns[c] + 5 * Pt, base),
                       fitted(cells[c], f, device, end - columns[c] - 10 * Pt));
        }
    });
}

} // namespace

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
    QPaintDevice *device = &pdf;
    Layout layout(pdf, run);
    const qreal w = layout.width();
    const qreal x = layout.x();
    const QFont body = font(9);
    const QFontMetricsF bodyMetrics(body, &pdf);
    const qreal line = bodyMetrics.height() + 3 * Pt;

    // Title.
    const QFont titleFont = font(18, true);
    layout.add(QFontMetricsF(titleFont, device).height() + 6 * Pt, [=](QPainter &p, qreal top) {
        p.setFont(titleFont);
        p.setPen(Ink);
        p.drawText(QPointF(x, top + QFontMetricsF(titleFont, device).ascent()),
                   tr("Configuration record"));
    });

    // Who on the left, where and when on the right.
    const QString unknown = tr("not in the record");
    const auto orUnknown = [&unknown](const QString &s) { return s.isEmpty() ? unknown : s; };
    const QList<std::pair<QString, QString>> facts = {
        {tr("Console"), orUnknown(run.console)},
        {tr("Port"), tr("Com %1").arg(run.comPort)},
        {tr("Computer"), orUnknown(run.computer)},
        {tr("Device"), run.device},
        {tr("Account"), orUnknown(run.account)},
        {tr("Started"), timeWithOffset(run.started)},
        {tr("How it ended"), howEnded(run)},
        {tr("Ended"), run.ended ? timeWithOffset(*run.ended) : tr("unknown")},
    };
    const qreal labelWidth = 62 * Pt;
    const qreal half = w / 2;
    for (qsizetype i = 0; i < facts.size(); i += 2) {
        // The value wraps within its half when long (a device path, a port's words).
        qreal h = line;
        QList<QStringList> values;
        for (qsizetype j = i; j < qMin(i + 2, facts.size()); ++j) {
            values << linesOf(facts[j].second, body, device, half - labelWidth - 8 * Pt, 3);
            h = qMax(h, linesHeight(body, device, values.last().size()) + 3 * Pt);
        }
        const auto pair = facts.mid(i, 2);
        layout.add(h, [=](QPainter &p, qreal top) {
            for (qsizetype j = 0; j < pair.size(); ++j) {
                const qreal cx = x + j * half;
                p.setPen(Faint);
                drawLines(p, device, body, QPointF(cx, top), {pair[j].first});
                p.setPen(Ink);
                drawLines(p, device, body, QPointF(cx + labelWidth, top), values[j]);
            }
        });
    }
    layout.space(8);

    // The instrument, by hand.
    heading(layout, device, tr("Instrument"));
    layout.add(line + 10 * Pt, [=](QPainter &p, qreal top) {
        const qreal base = top + 8 * Pt + bodyMetrics.ascent();
        blankField(p, device, x, base, half - 12 * Pt, tr("Tag"));
        blankField(p, device, x + half, base, half, tr("Serial number"));
    });
    layout.space(8);

    // The four settings.
    heading(layout, device, tr("Settings as the instrument read them"));
    const QList<qreal> settingColumns = {0, w * 0.30, w * 0.52, w * 0.74};
    const qreal rowHeight = line + 4 * Pt;
    const QFont mono = font(9.5, false, true);
    tableRow(layout, device, settingColumns,
             {tr("Setting"), tr("As found"), tr("As left"), tr("Changed")}, rowHeight, true, mono);
    const QStringList names = {tr("Zero"), tr("Span"), tr("Low Range"), tr("High Range")};
    for (int k = 0; k < protocol::FieldCount; ++k) {
        const QString found = run.asFound ? fieldList(*run.asFound)[k] : QString();
        const QString left = run.asLeft ? fieldList(*run.asLeft)[k] : QString();
        tableRow(layout, device, settingColumns,
                 {names[k], shown(found), shown(left), found != left ? tr("changed") : QString()},
                 rowHeight, false, mono);
    }
    layout.space(8);

    // What was done.
    heading(layout, device, tr("What was done"));
    if (run.steps.isEmpty())
        layout.add(line, [=](QPainter &p, qreal top) {
            p.setFont(body);
            p.setPen(Faint);
            p.drawText(QPointF(x, top + bodyMetrics.ascent()), tr("Nothing was sent to the "
                                                                  "instrument but the start."));
        });
    QStringList times;
    qreal timeWidth = 52 * Pt; // wider for a run past midnight, with dates
    for (const RecordedRun::Step &s : run.steps) {
        times << (s.at.date() == run.started.date()
                      ? s.at.toString(QStringLiteral("HH:mm:ss"))
                      : s.at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        timeWidth = qMax(timeWidth, bodyMetrics.horizontalAdvance(times.last()) + 8 * Pt);
    }
    for (qsizetype i = 0; i < run.steps.size(); ++i) {
        const RecordedRun::Step &s = run.steps[i];
        const QFont f = font(9, s.flagged);
        const QStringList text = linesOf(s.flagged ? QStringLiteral("! ") + s.text : s.text, f,
                                         device, w - timeWidth, 4);
        const QString time = times[i];
        layout.add(linesHeight(f, device, text.size()) + 2.5 * Pt, [=](QPainter &p, qreal top) {
            p.setPen(Ink);
            p.setFont(body);
            p.drawText(QPointF(x, top + bodyMetrics.ascent()), time);
            drawLines(p, device, f, QPointF(x + timeWidth, top), text);
        });
    }

    // Warnings, in words.
    if (!run.warnings.isEmpty()) {
        layout.space(8);
        heading(layout, device, tr("Warnings"));
        const QFont f = font(9, true);
        for (const QString &warning : run.warnings) {
            const QStringList text = linesOf(warning, f, device, w - 12 * Pt, 6);
            layout.add(linesHeight(f, device, text.size()) + 3 * Pt, [=](QPainter &p, qreal top) {
                p.setPen(Ink);
                drawLines(p, device, f, QPointF(x, top), {QStringLiteral("!")});
                drawLines(p, device, f, QPointF(x + 12 * Pt, top), text);
            });
        }
    }
    layout.space(8);

    // Measured by hand, against a reference.
    heading(layout, device, tr("Output measured"));
    const QList<qreal> measuredColumns = {0, w * 0.30, w * 0.65};
    tableRow(layout, device, measuredColumns, {QString(), tr("As found (mA)"), tr("As left (mA)")},
             rowHeight, true, mono);
    for (const QString &row : {tr("At zero"), tr("At span")})
        tableRow(layout, device, measuredColumns, {row}, rowHeight + 8 * Pt, false, mono);
    layout.add(line + 12 * Pt, [=](QPainter &p, qreal top) {
        const qreal base = top + 10 * Pt + bodyMetrics.ascent();
        blankField(p, device, x, base, half - 12 * Pt, tr("Reference meter"));
        blankField(p, device, x + half, base, half, tr("Certificate"));
    });
    layout.space(8);

    heading(layout, device, tr("Remarks"));
    layout.add(3 * 20 * Pt, [=](QPainter &p, qreal top) {
        p.setPen(QPen(Ink, 0.5 * Pt));
        for (int i = 1; i <= 3; ++i)
            p.drawLine(QPointF(x, top + i * 20 * Pt), QPointF(x + w, top + i * 20 * Pt));
    });
    layout.space(10);

    heading(layout, device, tr("Calibrated by"));
    layout.add(line + 18 * Pt, [=](QPainter &p, qreal top) {
        const qreal base = top + 16 * Pt + bodyMetrics.ascent();
        blankField(p, device, x, base, w * 0.36, tr("Name"));
        blankField(p, device, x + w * 0.40, base, w * 0.22, tr("Date"));
        blankField(p, device, x + w * 0.66, base, w * 0.34, tr("Signature"));
    });

    QPainter painter(&pdf);
    painter.setRenderHint(QPainter::Antialiasing);
    layout.paint(painter);
    painter.end();
    return bytes;
}

QString sheetPathFor(const QString &recordPath)
{
    const QFileInfo info(recordPath);
    const QString base = info.suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0
                             ? info.completeBaseName()
                             : info.fileName();
    return info.dir().filePath(base + QStringLiteral(".pdf"));
}

QPageSize::PageSizeId paperFor(const QLocale &locale)
{
    // The territories whose common paper is Letter.
    switch (locale.territory()) {
    case QLocale::UnitedStates:
    case QLocale::Canada:
    case QLocale::Mexico:
    case QLocale::Philippines:
    case QLocale::Chile:
    case QLocale::Colombia:
    case QLocale::Venezuela:
    case QLocale::CostaRica:
    case QLocale::Guatemala:
    case QLocale::Panama:
    case QLocale::PuertoRico:
    case QLocale::ElSalvador:
    case QLocale::Nicaragua:
    case QLocale::Belize:
        return QPageSize::Letter;
    default:
        return locale.measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                       : QPageSize::A4;
    }
}

namespace {

// What stands at a name instead of a file, in words.
QString notAFile(regularfile::Kind kind)
{
    switch (kind) {
    case regularfile::Kind::Folder:
        return tr("it is a folder, not a file");
    case regularfile::Kind::Fifo:
        return tr("it is a FIFO (named pipe), not a file");
    case regularfile::Kind::CharacterDevice:
        return tr("it is a character device, not a file");
    case regularfile::Kind::BlockDevice:
        return tr("it is a block device, not a file");
    case regularfile::Kind::Socket:
        return tr("it is a socket, not a file");
    case regularfile::Kind::Link:
        return tr("it is a symbolic link, and nothing is written through one");
    default:
        return tr("it is not a file");
    }
}

// A record is read only from a regular file: a FIFO would hold the reader, a
// device would never end, and opening a serial port raises its lines. Why
// not, in words.
bool openRecord(QFile &record, const QString &path, QString &why)
{
    const regularfile::Opened opened = regularfile::open(record, path);
    if (opened.kind == regularfile::Kind::File)
        return true;
    why = opened.kind == regularfile::Kind::Missing      ? qt_error_string(ENOENT)
          : opened.kind == regularfile::Kind::Unreadable ? opened.error
                                                         : notAFile(opened.kind);
    return false;
}

// The sheet's bytes at `path`, replacing a sheet there, but never through a
// link or into anything other than a file; the reason when it cannot be
// done, in the system's words.
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

bool read(const QString &recordPath, RecordedRun &run, QString &why,
          const std::atomic<bool> *cancelled)
{
    QFile record;
    if (!openRecord(record, recordPath, why)) {
        why = tr("Cannot read %1: %2").arg(recordPath, why);
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
    else if (!isRecord)
        result = {Result::NotARecord, result.sheetPath, why};
    else if (!write(run, recordPath, why, locale))
        result = {Result::CannotWrite, result.sheetPath, why};
    return result;
}

} // namespace runsheet
