// SPDX-License-Identifier: MIT
// Status frames from a pseudo-terminal into a running main window, first as
// fast as the kernel takes them, then at the line's own rate: wall time and the
// console process's CPU from the first byte to the last frame in the reading boxes.
// Last, the cost of the run record: the same frames at the line rate with the
// run recorded and not, in alternating rounds.

#include "bench_machine.h"
#include "console_harness.h"
#include "link/device_link.h"
#include "link/serial_port.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QStringList>
#include <QTextStream>
#include <QTimer>

namespace {

constexpr qint64 FloodFrames = 1000000;
constexpr double PacedSeconds = 5.0;
// Recording on and off alternate, so that a slow spell of a shared machine
// falls on both alike.
constexpr int RecordingRounds = 8;
constexpr double RecordingTarget = 1.10;

// Every update of the reading boxes must show a whole frame whose number is
// higher than the one before: a lost or reordered byte breaks one of the two.
struct OrderCheck
{
    qint64 last = -1;
    qint64 updates = 0;
    qint64 faults = 0;

    void see(const QString &readings)
    {
        bool ok = false;
        const qint64 n = readings.toLongLong(&ok);
        if (!ok || readings.size() != 16 || n <= last)
            ++faults;
        else
            last = n;
        ++updates;
    }
};

struct Phase
{
    double seconds = 0;
    double cpuSeconds = 0;
    bool complete = false;
    OrderCheck order;
};

// Writes `frames` from the instrument's side (at `framesPerSecond`, or as fast
// as the kernel takes them when 0) and measures wall time and this process's
// CPU until `arrived` says the last frame is in.
template <typename Arrived>
Phase measure(bench::Instrument &instrument, const QByteArray &frames, double framesPerSecond,
              Arrived arrived)
{
    Phase phase;
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = bench::processCpuSeconds();
    bench::Instrument::Plan plan;
    plan.block = frames;
    if (framesPerSecond > 0) {
        plan.piece = 18;
        plan.piecesPerSecond = framesPerSecond;
    }
    instrument.startWriting(plan);
    const bool complete = arrived();
    phase.cpuSeconds = bench::processCpuSeconds() - cpu0;
    phase.seconds = double(wall.nsecsElapsed()) / 1e9;
    phase.complete = instrument.finishWriting() && complete;
    return phase;
}

QByteArray numberedFrames(qint64 first, qint64 count)
{
    QByteArray frames;
    frames.reserve(count * 18);
    for (qint64 i = first; i < first + count; ++i)
        frames += bench::statusFrame(bench::numberedBody(i));
    return frames;
}

Phase runPhase(bench::Instrument &instrument, bench::RunningConsole &console, qint64 first,
               qint64 count, double framesPerSecond)
{
    const QString expected = QString::fromLatin1(bench::numberedBody(first + count - 1));
    OrderCheck order;
    order.last = first - 1;
    QObject::connect(console.highRangeBox(), &QLineEdit::textChanged, console.highRangeBox(),
                     [&] { order.see(console.readings()); });
    Phase phase = measure(instrument, numberedFrames(first, count), framesPerSecond,
                          [&] { return console.waitForReadings(expected, 120000); });
    QObject::disconnect(console.highRangeBox(), &QLineEdit::textChanged, nullptr, nullptr);
    phase.order = order;
    return phase;
}

// The same frames at the line rate into the link alone, without a window: how
// much of the cost is the port and the framer, and how much the reading boxes.
Phase linkOnlyAtLineRate(qint64 count)
{
    bench::Instrument instrument;
    const QString path = instrument.slavePath();
    DeviceLink link;
    link.port().setPortMap(PortMap({{1, path}}));
    if (!link.open(1))
        return {};
    const QString expected = QString::fromLatin1(bench::numberedBody(count - 1)).right(4);
    qint64 updates = 0;
    QEventLoop loop;
    QObject::connect(&link, &DeviceLink::statusReceived, &loop,
                     [&](const protocol::StatusFields &f) {
                         ++updates;
                         if (f.highRange == expected)
                             loop.quit();
                     });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    Phase phase = measure(instrument, numberedFrames(0, count), bench::LineFramesPerSecond, [&] {
        loop.exec();
        return updates > 0;
    });
    phase.order.updates = updates;
    link.close();
    return phase;
}

// An instrument that reports the same readings over and over, as a steady one
// does; one last, different frame marks the end.
QByteArray steadyFrames(qint64 count)
{
    QByteArray frames;
    for (qint64 i = 0; i < count - 1; ++i)
        frames += bench::statusFrame("0004002000001000");
    return frames + bench::statusFrame("0004002000001001");
}

// Frames at the line rate until the boxes show the body of the last one.
Phase atLineRate(bench::Instrument &instrument, bench::RunningConsole &console,
                 const QByteArray &frames)
{
    const QString last = QString::fromLatin1(frames.sliced(frames.size() - 17, 16));
    return measure(instrument, frames, bench::LineFramesPerSecond,
                   [&] { return console.waitForReadings(last, 120000); });
}

struct RecordingCost
{
    double cpuSeconds[2] = {}; // off, on
    qint64 frames[2] = {};
    qint64 lines = 0; // recorded while on
    bool complete = true;
    QStringList roundRatios; // how far one round's figures stray

    double microsPerFrame(int on) const { return cpuSeconds[on] / double(frames[on]) * 1e6; }
    double ratio() const { return microsPerFrame(1) / microsPerFrame(0); }
};

// The same frames with the run recorded and not, each round a fresh run of
// each; `frames` gives a round's frames from the number of its first one.
template <typename Frames>
RecordingCost recordingCost(bench::Instrument &instrument, bench::RunningConsole &console,
                            qint64 count, Frames frames)
{
    RecordingCost cost;
    qint64 first = 0;
    for (int round = 0; round < RecordingRounds; ++round) {
        double roundCpu[2] = {};
        // Off first in one round, on first in the next: a drift favours neither.
        for (int step : {0, 1}) {
            const int on = (round + step) % 2;
            const QByteArray bytes = frames(first);
            first += count;
            if (!console.restart(on == 1)) {
                cost.complete = false;
                return cost;
            }
            const Phase phase = atLineRate(instrument, console, bytes);
            cost.cpuSeconds[on] += phase.cpuSeconds;
            cost.frames[on] += count;
            cost.complete = cost.complete && phase.complete;
            cost.lines += console.recordedLines();
            roundCpu[on] = phase.cpuSeconds;
        }
        cost.roundRatios << QString::number(roundCpu[1] / roundCpu[0], 'f', 2);
    }
    return cost;
}

QString recordingLine(const char *name, const RecordingCost &cost)
{
    return QStringLiteral("  %1: off %2 us/frame, on %3 us/frame (%4 lines recorded), "
                          "ratio %5 (target at most %6; rounds %7)%8\n")
        .arg(QLatin1String(name))
        .arg(cost.microsPerFrame(0), 0, 'f', 1)
        .arg(cost.microsPerFrame(1), 0, 'f', 1)
        .arg(cost.lines)
        .arg(cost.ratio(), 0, 'f', 3)
        .arg(RecordingTarget, 0, 'f', 2)
        .arg(cost.roundRatios.join(u' '))
        .arg(cost.complete ? QString() : QStringLiteral(", INCOMPLETE"));
}

double idleShare(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = bench::processCpuSeconds();
    loop.exec();
    return (bench::processCpuSeconds() - cpu0) / (double(wall.nsecsElapsed()) / 1e9);
}

} // namespace

int main(int argc, char *argv[])
{
    const QString platform = bench::choosePlatform();
    QApplication app(argc, argv);
    QTextStream out(stdout);
    out << "receive-path benchmark: pseudo-terminal into the main window's reading boxes\n"
        << bench::machineLine() << "\nplatform: " << platform << '\n';
    out << QStringLiteral("reference: the line rate, %1 bytes/s = %2 status frames/s\n")
               .arg(bench::LineBytesPerSecond)
               .arg(bench::LineFramesPerSecond, 0, 'f', 1);

    bench::Instrument instrument;
    bench::RunningConsole console(instrument);
    if (!instrument.isValid() || !console.isRunning()) {
        out << "could not start a configuration run on a pseudo-terminal\n";
        return 1;
    }
    out.flush();

    const double idle = idleShare(2.0);

    const Phase flood = runPhase(instrument, console, 0, FloodFrames, 0);
    const double floodBytes = double(FloodFrames) * 18;
    out << QStringLiteral("flood: %1 frames (%2 bytes) in %3 s, CPU %4 s\n")
               .arg(FloodFrames)
               .arg(qint64(floodBytes))
               .arg(flood.seconds, 0, 'f', 3)
               .arg(flood.cpuSeconds, 0, 'f', 3);
    out << QStringLiteral("  %1 MB/s = %2 x line rate; %3 frames/s; CPU %4 us/frame\n")
               .arg(floodBytes / flood.seconds / 1e6, 0, 'f', 2)
               .arg(floodBytes / flood.seconds / bench::LineBytesPerSecond, 0, 'f', 0)
               .arg(double(FloodFrames) / flood.seconds, 0, 'f', 0)
               .arg(flood.cpuSeconds / double(FloodFrames) * 1e6, 0, 'f', 2);
    out << QStringLiteral("  reading-box updates %1, every one a whole frame in order: %2, "
                          "last frame shown: %3\n")
               .arg(flood.order.updates)
               .arg(flood.order.faults == 0 ? "yes" : "NO")
               .arg(flood.complete ? "yes" : "NO");
    out << QStringLiteral("  at the line rate that cost would be %1 % of one core\n")
               .arg(flood.cpuSeconds / double(FloodFrames) * bench::LineFramesPerSecond * 100, 0,
                    'f', 3);
    out.flush();

    const qint64 paced = qint64(PacedSeconds * bench::LineFramesPerSecond);
    const Phase line =
        runPhase(instrument, console, FloodFrames, paced, bench::LineFramesPerSecond);
    out << QStringLiteral("line rate: %1 frames at %2 frames/s in %3 s, CPU %4 s = %5 us/frame\n")
               .arg(paced)
               .arg(bench::LineFramesPerSecond, 0, 'f', 1)
               .arg(line.seconds, 0, 'f', 3)
               .arg(line.cpuSeconds, 0, 'f', 3)
               .arg(line.cpuSeconds / double(paced) * 1e6, 0, 'f', 1);
    out << QStringLiteral("  share of one core %1 % (idle with the port open: %2 %); updates %3, "
                          "in order: %4, last frame shown: %5\n")
               .arg(line.cpuSeconds / line.seconds * 100, 0, 'f', 3)
               .arg(idle * 100, 0, 'f', 3)
               .arg(line.order.updates)
               .arg(line.order.faults == 0 ? "yes" : "NO")
               .arg(line.complete ? "yes" : "NO");

    const Phase steady = atLineRate(instrument, console, steadyFrames(paced));
    out << QStringLiteral("line rate, steady readings: %1 frames in %2 s, CPU %3 s = %4 "
                          "us/frame, %5 % of one core; last frame shown: %6\n")
               .arg(paced)
               .arg(steady.seconds, 0, 'f', 3)
               .arg(steady.cpuSeconds, 0, 'f', 3)
               .arg(steady.cpuSeconds / double(paced) * 1e6, 0, 'f', 1)
               .arg(steady.cpuSeconds / steady.seconds * 100, 0, 'f', 3)
               .arg(steady.complete ? "yes" : "NO");

    const Phase linkOnly = linkOnlyAtLineRate(paced);
    out << QStringLiteral("link alone (no window), same frames at the line rate: CPU %1 s = %2 "
                          "us/frame, %3 % of one core\n")
               .arg(linkOnly.cpuSeconds, 0, 'f', 3)
               .arg(linkOnly.cpuSeconds / double(paced) * 1e6, 0, 'f', 1)
               .arg(linkOnly.cpuSeconds / linkOnly.seconds * 100, 0, 'f', 3);
    out << QStringLiteral("run record at the line rate, %1 rounds of %2 frames each way:\n")
               .arg(RecordingRounds)
               .arg(paced);
    out.flush();
    const RecordingCost steadyCost =
        recordingCost(instrument, console, paced, [paced](qint64) { return steadyFrames(paced); });
    out << recordingLine("steady readings", steadyCost);
    out.flush();
    // Past every number of the earlier phases, so that the first frame is news.
    const qint64 changingFrom = FloodFrames + paced;
    const RecordingCost changingCost =
        recordingCost(instrument, console, paced, [paced, changingFrom](qint64 first) {
            return numberedFrames(changingFrom + first, paced);
        });
    out << recordingLine("readings changing in every frame", changingCost);

    const bool ok = linkOnly.complete && flood.complete && line.complete && steady.complete &&
                    flood.order.faults == 0 && line.order.faults == 0 && steadyCost.complete &&
                    changingCost.complete;
    return ok ? 0 : 1;
}
