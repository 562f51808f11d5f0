// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// The instrument's end of a pseudo-terminal. The code under test opens
// slavePath() through its real serial port; the test reads what it wrote and
// answers through the master side.
class PtyInstrument
{
public:
    PtyInstrument();
    ~PtyInstrument();
    PtyInstrument(const PtyInstrument &) = delete;
    PtyInstrument &operator=(const PtyInstrument &) = delete;

    bool isValid() const { return master >= 0; }
    // A link to the slave with a name of its own: the serial port's lock file is
    // named after the path, and pseudo-terminal numbers are reused at once by
    // other test processes running beside this one.
    QString slavePath() const { return slave_link; }
    QString deviceSlavePath() const { return slave_path; }
    int masterFd() const { return master; }

    // Writes every byte (the kernel may take them in several pieces).
    bool send(const QByteArray &bytes);

    // Runs the event loop until exactly `count` bytes have arrived or the
    // timeout expires; returns what arrived.
    QByteArray receive(qsizetype count, int timeoutMs = 5000);

    // Runs the event loop for `quietMs` and returns anything that arrived:
    // for checking that nothing was written.
    QByteArray receiveFor(int quietMs);

    // The instrument goes away: the master side is closed.
    void hangUp();

private:
    QByteArray readAvailable(int pollMs);

    int master = -1;
    QString slave_path;
    QTemporaryDir link_dir;
    QString slave_link;
};
