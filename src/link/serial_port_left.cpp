// SPDX-License-Identifier: MIT
// What has left the machine, told as it grows: the same on every platform,
// whatever the port counts as still queued.
#include "link/serial_port.h"

namespace {

// How often what is queued is asked after: soon after a write, less often on
// a line that takes nothing.
constexpr int FirstLeftCheckMs = 2;
constexpr int LastLeftCheckMs = 250;

} // namespace

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
