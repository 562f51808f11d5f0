// SPDX-License-Identifier: MIT
// Resident memory of a running main window before and after 100 MiB without
// any "$" (one "#" early, so a frame stays open throughout) and after 100 MiB
// of valid status frames, all through a pseudo-terminal.

#include "bench_machine.h"
#include "console_harness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTextStream>

namespace {

constexpr qint64 FloodBytes = 100LL * 1024 * 1024;
constexpr qsizetype BlockBytes = 1024 * 1024;
constexpr qint64 AllowedGrowthKiB = 1024;

QByteArray noBlockWithoutEnd()
{
    QRandomGenerator rng(7);
    QByteArray block;
    block.reserve(BlockBytes);
    while (block.size() < BlockBytes) {
        const char c = char(rng.bounded(256));
        if (c != '$')
            block.append(c);
    }
    return block;
}

QByteArray blockOfFrames()
{
    QByteArray block;
    block.reserve(BlockBytes);
    for (qint64 i = 0; block.size() + 18 <= BlockBytes; ++i)
        block += bench::statusFrame(bench::numberedBody(i));
    return block;
}

struct Flood
{
    double seconds = 0;
    qint64 bytes = 0;
    qint64 rssAfterKiB = 0;
    bool complete = false;
};

// The marker frame after the flood says every byte before it was taken.
Flood flood(bench::Instrument &instrument, bench::RunningConsole &console, const QByteArray &block,
            qint64 marker)
{
    bench::Instrument::Plan plan;
    plan.block = block;
    plan.repeat = (FloodBytes + block.size() - 1) / block.size();
    plan.tail = "$" + bench::statusFrame(bench::markerBody(marker));
    Flood f;
    f.bytes = plan.repeat * block.size();
    QElapsedTimer wall;
    wall.start();
    instrument.startWriting(plan);
    f.complete = console.waitForReadings(QString::fromLatin1(bench::markerBody(marker)), 600000);
    f.seconds = double(wall.nsecsElapsed()) / 1e9;
    f.complete = instrument.finishWriting() && f.complete;
    f.rssAfterKiB = bench::residentKiB();
    return f;
}

} // namespace

int main(int argc, char *argv[])
{
    const QString platform = bench::choosePlatform();
    QApplication app(argc, argv);
    QTextStream out(stdout);
    out << "flood memory benchmark: resident memory of the main window under floods\n"
        << bench::machineLine() << "\nplatform: " << platform << '\n';

    bench::Instrument instrument;
    bench::RunningConsole console(instrument);
    if (!instrument.isValid() || !console.isRunning()) {
        out << "could not start a configuration run on a pseudo-terminal\n";
        return 1;
    }
    // One frame first, so the boxes have painted text once before the baseline.
    bench::Instrument::Plan warm;
    warm.block = bench::statusFrame(bench::numberedBody(1));
    instrument.startWriting(warm);
    console.waitForReadings(QString::fromLatin1(bench::numberedBody(1)), 10000);
    instrument.finishWriting();
    // The generators' buffers are the benchmark's, not the console's: make
    // them before the baseline.
    const QByteArray noise = '#' + noBlockWithoutEnd().left(BlockBytes - 1);
    const QByteArray frames = blockOfFrames();
    const qint64 before = bench::residentKiB();
    out << QStringLiteral("reference: resident memory before the floods %1 KiB; allowed growth "
                          "%2 KiB\n")
               .arg(before)
               .arg(AllowedGrowthKiB);
    out.flush();

    const Flood a = flood(instrument, console, noise, 2);
    const Flood b = flood(instrument, console, frames, 3);
    const char *names[2] = {"no \"$\" (open frame)", "valid frames"};
    const Flood *floods[2] = {&a, &b};
    qint64 previous = before;
    for (int i = 0; i < 2; ++i) {
        const Flood &f = *floods[i];
        out << QStringLiteral("%1: %2 MiB in %3 s (%4 MB/s), all taken: %5; resident after %6 "
                              "KiB, %7 KiB against the step before, %8 KiB against the start\n")
                   .arg(QLatin1String(names[i]), -21)
                   .arg(double(f.bytes) / 1048576, 0, 'f', 0)
                   .arg(f.seconds, 0, 'f', 1)
                   .arg(double(f.bytes) / f.seconds / 1e6, 0, 'f', 1)
                   .arg(f.complete ? "yes" : "NO")
                   .arg(f.rssAfterKiB)
                   .arg(f.rssAfterKiB - previous)
                   .arg(f.rssAfterKiB - before);
        previous = f.rssAfterKiB;
    }
    const qint64 growth = b.rssAfterKiB - before;
    out << QStringLiteral("growth %1 KiB, within %2 KiB: %3\n")
               .arg(growth)
               .arg(AllowedGrowthKiB)
               .arg(growth <= AllowedGrowthKiB ? "yes" : "NO");
    return a.complete && b.complete ? 0 : 1;
}
