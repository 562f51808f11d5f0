// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <sys/types.h>

class QLineEdit;
class Orvane;

namespace bench {

// A pseudo-terminal whose master plays the instrument. The bytes are written by
// a child process, so the console's process CPU holds only the console's work.
class Instrument
{
public:
    Instrument();
    ~Instrument();
    Instrument(const Instrument &) = delete;
    Instrument &operator=(const Instrument &) = delete;

    bool isValid() const { return master >= 0; }
    QString slavePath() const { return slave_path; }

    // Runs the event loop until `count` bytes came from the console.
    QByteArray receive(qsizetype count, int timeoutMs);

    // What the writer child sends: `block` `repeat` times, then `tail`; as fast
    // as the kernel takes it, or in pieces of `piece` bytes at
    // `piecesPerSecond` when that is above 0.
    struct Plan
    {
        QByteArray block;
        qint64 repeat = 1;
        QByteArray tail;
        qsizetype piece = 0;
        double piecesPerSecond = 0;
    };
    void startWriting(const Plan &plan);
    // Waits for the writer to end; false if it failed.
    bool finishWriting();

private:
    int master = -1;
    QString slave_path;
    pid_t writer = -1;
};

// A shown Orvane in a configuration run on the instrument's port, recording
// the run as the program does, into a folder of its own.
class RunningConsole
{
public:
    explicit RunningConsole(Instrument &instrument);
    ~RunningConsole();

    bool isRunning() const { return running; }
    // Stop Config., then Start Config. again with the run recorded or not.
    bool restart(bool recording);
    // Lines in the record of the current run; 0 when it is not recorded.
    qint64 recordedLines() const;
    // zero, span, low range, high range, as the reading boxes show them.
    QString readings() const;
    QLineEdit *highRangeBox() const { return boxes[3]; }

    // Runs the event loop until the boxes show `expected` (or the timeout).
    bool waitForReadings(const QString &expected, int timeoutMs);

private:
    bool start();

    Instrument &instrument;
    QTemporaryDir records;
    bool recording = true;
    Orvane *window = nullptr;
    QLineEdit *boxes[4] = {};
    bool running = false;
};

// The body of status frame `index`: its number in 16 digits, so the last four
// change with every frame.
QByteArray numberedBody(qint64 index);
// A body that no numberedBody() below 10^15 can equal: it ends a flood.
QByteArray markerBody(qint64 index);
QByteArray statusFrame(const QByteArray &body);

// Gives the offscreen platform when no display is at hand; says which is used.
QString choosePlatform();

} // namespace bench
