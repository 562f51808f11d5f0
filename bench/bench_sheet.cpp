// SPDX-License-Identifier: MIT
// How long the calibration sheet of a run takes to make, from reading the
// record to the PDF on disk: what the console spends after the port is closed.
// A record of an ordinary run (feeds, both ranges, save), one of a long run,
// and 100 MB of readings, changing every line, for the time per 100 MB.
//
//   bench_sheet --keep DIR   writes the long records to DIR instead, for
//                            measuring `zelvor-console --sheet` on its own

#include "bench_machine.h"
#include "records/run_record.h"
#include "records/run_sheet.h"
#include "records/sheet_maker.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Rounds = 30;

QString recordOf(const QString &folder, int feeds)
{
    RunRecord record(folder);
    record.setIdentity({"zelvor-console 1.0.0.0", "bench-pc", "tech (Tech Name)"});
    record.begin(1, QStringLiteral("/dev/ttyUSB0"));
    record.sent("#1$");
    record.reading({"4.00", "20.0", "0.00", "10.0"});
    for (int i = 0; i < feeds; ++i) {
        record.sent(i % 2 ? "#4$" : "#2$");
        record.sent(i % 2 ? "#5$" : "#3$");
    }
    record.sent("#612.5$");
    record.reading({"4.00", "20.0", "12.5", "10.0"});
    record.sent("#7250$");
    record.reading({"4.00", "20.0", "12.5", "250 "});
    record.sent("#8$");
    record.end(QStringLiteral("stop"));
    return record.filePath();
}

// A record of `lines` lines after its start, `body` giving each one's event
// and fields, 9 ms apart as at the line's rate; written here in blocks, as
// RunRecord's write a line would take minutes.
QString longRecord(const QString &path, qint64 lines, const std::function<QByteArray(qint64)> &body)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray block = "time,event,detail,zero,span,low_range,high_range\r\n"
                       "2026-12-07T08:00:00.000+01:00,start,Com 1 (/dev/ttyUSB0),,,,\r\n"
                       "2026-12-07T08:00:00.000+01:00,sent,#1$,,,,\r\n";
    qint64 ms = 8 * 3600 * 1000;
    const auto time = [&ms] {
        char text[96];
        std::snprintf(text, sizeof text, "2026-12-07T%02lld:%02lld:%02lld.%03lld+01:00,",
                      ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
        return QByteArray(text);
    };
    for (qint64 i = 0; i < lines; ++i, ms += 9) {
        block += time() + body(i) + "\r\n";
        if (block.size() > (1 << 20)) {
            file.write(block);
            block.clear();
        }
    }
    block += time() + "end,stop,,,,\r\n";
    file.write(block);
    return path;
}

QByteArray changingReading(qint64 i)
{
    return "reading,," + QByteArray::number(1000 + i % 9000) + ",20.0,0.00,10.0";
}

QByteArray save(qint64)
{
    return "sent,#8$,,,,";
}

// Zero fed and stopped, then span.
QByteArray feedCycle(qint64 i)
{
    return "sent,#" + QByteArray::number(2 + i % 4) + "$,,,,";
}

// A feed, then a save: no two steps alike, none folded.
QByteArray feedThenSave(qint64 i)
{
    return i % 3 == 2 ? save(i) : feedCycle(i % 3);
}

int keep(const QString &folder, QTextStream &out)
{
    QDir().mkpath(folder);
    const QDir dir(folder);
    // A shift's readings, a million saves, a million feeds each stopped, and
    // a million steps no two alike.
    out << longRecord(dir.filePath("readings-70MB.csv"), 70'000'000 / 60, changingReading) << '\n'
        << longRecord(dir.filePath("saves-1M.csv"), 1'000'000, save) << '\n'
        << longRecord(dir.filePath("feeds-1M.csv"), 2'000'000, feedCycle) << '\n'
        << longRecord(dir.filePath("feed-save-1M.csv"), 1'500'000, feedThenSave) << '\n';
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    if (const qsizetype at = app.arguments().indexOf("--keep"); at > 0)
        return keep(app.arguments().value(at + 1, QStringLiteral(".")), out);
    out << bench::machineLine() << '\n';
    QTemporaryDir dir;
    for (const int feeds : {2, 200}) {
        const QString record = recordOf(dir.filePath(QString::number(feeds)), feeds);
        std::vector<double> ms;
        for (int i = 0; i < Rounds; ++i) {
            QElapsedTimer timer;
            timer.start();
            const runsheet::Result sheet = runsheet::make(record);
            ms.push_back(timer.nsecsElapsed() / 1e6);
            if (sheet.status != runsheet::Result::Written) {
                out << sheet.message << '\n';
                return 1;
            }
        }
        const double first = ms.front();
        std::sort(ms.begin(), ms.end());
        out << QStringLiteral("%1 feeds: first sheet %2 ms, median %3 ms, slowest %4 ms "
                              "(%5 rounds)\n")
                   .arg(feeds)
                   .arg(first, 0, 'f', 1)
                   .arg(ms[ms.size() / 2], 0, 'f', 1)
                   .arg(ms.back(), 0, 'f', 1)
                   .arg(Rounds);
    }

    const QString big = longRecord(dir.filePath("readings.csv"), 100'000'000 / 60, changingReading);
    const double megabytes = QFileInfo(big).size() / 1e6;
    std::vector<double> seconds;
    std::vector<double> cpu; // steadier than the clock on a shared machine
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = bench::processCpuSeconds();
        const runsheet::Result sheet = runsheet::make(big);
        seconds.push_back(timer.nsecsElapsed() / 1e9);
        cpu.push_back(bench::processCpuSeconds() - cpuBefore);
        if (sheet.status != runsheet::Result::Written) {
            out << sheet.message << '\n';
            return 1;
        }
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(cpu.begin(), cpu.end());
    out << QStringLiteral("%1 MB of readings, changing every line: median of 3 %2 s (%3 s CPU), "
                          "%4 s per 100 MB (%5 s CPU)\n")
               .arg(megabytes, 0, 'f', 1)
               .arg(seconds[1], 0, 'f', 2)
               .arg(cpu[1], 0, 'f', 2)
               .arg(seconds[1] * 100 / megabytes, 0, 'f', 2)
               .arg(cpu[1] * 100 / megabytes, 0, 'f', 2);

    // As the console makes it after Stop Config.: away from the thread that
    // answers the operator. How long that thread's event loop goes without a
    // turn while a shift's record (70 MB) is read, and what it holds after.
    const QString shift = longRecord(dir.filePath("shift.csv"), 70'000'000 / 60, changingReading);
    const qint64 before = bench::residentKiB();
    SheetMaker maker;
    QElapsedTimer made;
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    QObject::connect(&maker, &SheetMaker::made, &app, [&](const runsheet::Result &sheet) {
        if (sheet.status != runsheet::Result::Written)
            out << sheet.message << '\n';
        app.quit();
    });
    tick.start(10);
    made.start();
    sinceTick.start();
    maker.make(shift);
    app.exec();
    out << QStringLiteral("%1 MB shift on a worker thread: made in %2 s; the asking thread's event "
                          "loop went at most %3 ms without a turn (a 10 ms timer); resident %4 "
                          "MiB before, %5 MiB after\n")
               .arg(QFileInfo(shift).size() / 1e6, 0, 'f', 1)
               .arg(made.elapsed() / 1000.0, 0, 'f', 2)
               .arg(longestGap)
               .arg(before / 1024.0, 0, 'f', 1)
               .arg(bench::residentKiB() / 1024.0, 0, 'f', 1);
    return 0;
}
