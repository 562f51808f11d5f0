// SPDX-License-Identifier: MIT
// What every platform's port does alike: what has left the machine, told as
// it grows, whatever the port counts as still queued; its ending.
#include "link/serial_port.h"

#include <QSignalBlocker>

namespace {

// How often what is queued is asked after: soon after a write, less often on
// a line that takes nothing.
constexpr int FirstLeftCheckMs = 2;
constexpr int LastLeftCheckMs = 250;

} // namespace

// No signal from here: whoever listens may be going away too.
SerialPort::~SerialPort()
{
    const QSignalBlocker quiet(this);
    close();
}

qint64 SerialPort::bytesLeft() const
{
    return isOpen() ? written - outputQueued() : written;
}

void SerialPort::startLeftCheck()
{
    left_check.start(FirstLeftCheckMs);
}

void SerialPort::checkLeft()
{
    if (!isOpen())
        return;
    const qint64 count = bytesLeft();
    if (count > reported_left) {
        reported_left = count;
        left_check.setInterval(FirstLeftCheckMs);
        emit left(count);
    } else {
        left_check.setInterval(qMin(left_check.interval() * 2, LastLeftCheckMs));
    }
    if (count < written)
        left_check.start();
}
