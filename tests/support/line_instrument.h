// SPDX-License-Identifier: MIT
#pragma once

#include "link/in_process_line.h"
#include "link/port_map.h"

#include <QByteArray>
#include <QString>

#include <memory>

// The instrument's end of an in-process line, on every platform: the code
// under test opens it through its real serial port as "Com N"; the test reads
// what it wrote and answers.
class LineInstrument
{
public:
    LineInstrument();

    // The line's name, as the port opens it.
    QString path() const { return name; }
    // Every "Com N" leads to this line.
    PortMap portMap() const;

    // False when no console has the line open to take the bytes.
    bool send(const QByteArray &bytes);
    // Runs the event loop until exactly `count` bytes have arrived or the
    // timeout expires; returns what arrived.
    QByteArray receive(qsizetype count, int timeoutMs = 5000);
    // Runs the event loop for `quietMs` and returns anything that arrived:
    // for checking that nothing was written.
    QByteArray receiveFor(int quietMs);
    // The instrument goes away: the console's open port fails.
    void hangUp() { line.reset(); }

private:
    QString name;
    std::unique_ptr<InProcessLine> line;
    QByteArray arrived;
};
