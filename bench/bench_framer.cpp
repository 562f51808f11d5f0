// SPDX-License-Identifier: MIT
// Bytes a second through the receive framer and the field split, for valid
// frames, for noise between frames and for a body that never ends; each against
// the line's own rate.

#include "bench_machine.h"
#include "protocol/protocol.h"
#include "protocol/receive_framer.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QTextStream>

#include <chrono>

namespace {

// Large enough to leave the caches, small enough to build quickly.
constexpr qsizetype StreamBytes = 8 * 1024 * 1024;
// Bytes a receive notification brings when the reader keeps up with a flood.
constexpr qsizetype NotificationBytes = 4096;
constexpr double MinSeconds = 0.5;

QByteArray validFrames()
{
    QRandomGenerator rng(1);
    QByteArray out;
    out.reserve(StreamBytes + 18);
    while (out.size() < StreamBytes) {
        out.append(protocol::FrameStart);
        for (int i = 0; i < protocol::StatusBodyLength; ++i)
            out.append(char('0' + rng.bounded(10)));
        out.append(protocol::FrameEnd);
    }
    return out;
}

// Every byte value except the two delimiters, so nothing ever opens or ends a frame.
QByteArray noiseWithout(bool frameOpened)
{
    QRandomGenerator rng(2);
    QByteArray out;
    out.reserve(StreamBytes + 1);
    if (frameOpened)
        out.append(protocol::FrameStart);
    while (out.size() < StreamBytes) {
        const char c = char(rng.bounded(256));
        if (c != protocol::FrameStart && c != protocol::FrameEnd)
            out.append(c);
    }
    return out;
}

struct Result
{
    double bytesPerSecond = 0;
    qint64 frames = 0;
};

// What the reading boxes would get: the split of the last frame of each
// notification, as the console does it.
template <typename Pass> Result measure(const QByteArray &stream, Pass pass)
{
    using Clock = std::chrono::steady_clock;
    qint64 bytes = 0;
    qint64 frames = 0;
    const auto start = Clock::now();
    double seconds = 0;
    do {
        frames += pass(stream);
        bytes += stream.size();
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    } while (seconds < MinSeconds);
    return {double(bytes) / seconds, frames};
}

// Keeps the split's result alive so the compiler cannot drop it.
qsizetype sink = 0;

qint64 perCharacter(const QByteArray &stream)
{
    ReceiveFramer framer;
    qint64 frames = 0;
    for (char c : stream) {
        if (framer.step(c)) {
            const protocol::StatusFields f = protocol::splitStatusBody(framer.shownBody());
            sink += f.zero.size() + f.highRange.size();
            ++frames;
        }
    }
    return frames;
}

qint64 perNotification(const QByteArray &stream)
{
    ReceiveFramer framer;
    qint64 frames = 0;
    for (qsizetype at = 0; at < stream.size(); at += NotificationBytes) {
        const int ended = framer.feed(
            QByteArrayView(stream).sliced(at, qMin(NotificationBytes, stream.size() - at)));
        if (ended > 0) {
            const protocol::StatusFields f = protocol::splitStatusBody(framer.shownBody());
            sink += f.zero.size() + f.highRange.size();
            frames += ended;
        }
    }
    return frames;
}

} // namespace

int main()
{
    QTextStream out(stdout);
    out << "framer benchmark\n" << bench::machineLine() << '\n';
    out << QStringLiteral("reference: the line rate, %1 bytes/s (19200 baud, 8N1)\n")
               .arg(bench::LineBytesPerSecond);

    const struct
    {
        const char *name;
        QByteArray stream;
    } streams[] = {
        {"valid frames", validFrames()},
        {"noise outside frames", noiseWithout(false)},
        {"body that never ends", noiseWithout(true)},
    };
    const struct
    {
        const char *name;
        qint64 (*pass)(const QByteArray &);
    } passes[] = {
        {"step + split at every \"$\"", perCharacter},
        {"feed per 4 KiB + split of last frame", perNotification},
    };

    for (const auto &s : streams) {
        for (const auto &p : passes) {
            const Result r = measure(s.stream, p.pass);
            out << QStringLiteral("%1 %2: %3 MB/s = %4 x line rate (%5 frames)\n")
                       .arg(QLatin1String(s.name) + QLatin1Char(','), -23)
                       .arg(QLatin1String(p.name), -38)
                       .arg(r.bytesPerSecond / 1e6, 0, 'f', 1)
                       .arg(r.bytesPerSecond / bench::LineBytesPerSecond, 0, 'f', 0)
                       .arg(r.frames);
        }
    }
    out << "(checksum " << sink << ")\n";
    return 0;
}
