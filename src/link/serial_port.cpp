// SPDX-License-Identifier: MIT
#include "link/serial_port.h"

#include "link/in_process_line.h"
#include "protocol/protocol.h"

#include <QSignalBlocker>
#include <QThread>

namespace {

// How often what is queued is asked after: soon after a write, less often on
// a line that takes nothing.
constexpr int FirstLeftCheckMs = 2;
constexpr int LastLeftCheckMs = 250;

} // namespace

void SerialLine::drain(const QDeadlineTimer &deadline)
{
    while (isOpen() && queued() > 0 && !deadline.hasExpired())
        QThread::msleep(1);
}

SerialPort::SerialPort(QObject *parent) : QObject(parent)
{
    left_check.setSingleShot(true);
    connect(&left_check, &QTimer::timeout, this, &SerialPort::checkLeft);
}

// No signal from here: whoever listens may be going away too.
SerialPort::~SerialPort()
{
    const QSignalBlocker quiet(this);
    close();
}

bool SerialPort::open()
{
    if (isOpen())
        return true;
    last_error = {};
    const PortTarget target = port_map.resolve(port_number);
    opened_path = target.path;
    if (target.opens()) {
        InProcessLine *simulated =
            target.origin == PortOrigin::Simulated ? InProcessLine::named(opened_path) : nullptr;
        line = simulated ? simulated->makeConsoleEnd() : systemSerialLine(opened_path);
        connect(line.get(), &SerialLine::received, this, &SerialPort::received);
        connect(line.get(), &SerialLine::failed, this, &SerialPort::onLineFailed);
        connect(line.get(), &SerialLine::wrote, this, &SerialPort::checkLeft);
        if (line->open(last_error)) {
            written = reported_left = 0;
            return true;
        }
        line.reset();
    } else if (target.settings.isEmpty()) {
        last_error = missingPortError(opened_path);
    } else {
        last_error.trouble = PortTrouble::SettingsFile;
    }
    last_error.portName = opened_path;
    last_error.target = target; // which file and line named the path, if one did
    return false;
}

void SerialPort::close()
{
    if (isOpen())
        line->drain(QDeadlineTimer(protocol::DrainMs));
    if (!isOpen())
        return;
    // Only a closed line knows what it dropped: a write may still be under way.
    line->close();
    settleLedger();
    line.reset();
    emit left(written);
}

void SerialPort::onLineFailed(const PortError &error)
{
    last_error = error;
    last_error.portName = opened_path;
    settleLedger();
    // Not destroyed here: the line is still inside its own signal.
    line.release()->deleteLater();
    emit left(written);
    emit failed(last_error);
}

// What the line dropped as it closed never leaves.
void SerialPort::settleLedger()
{
    left_check.stop();
    written -= line->queued();
    reported_left = written;
}

void SerialPort::write(QByteArrayView bytes)
{
    if (!isOpen() || bytes.isEmpty())
        return;
    written += qMax<qint64>(0, line->write(bytes));
    left_check.start(FirstLeftCheckMs);
}

QByteArray SerialPort::read()
{
    return isOpen() ? line->readAll() : QByteArray();
}

qint64 SerialPort::bytesLeft() const
{
    return isOpen() ? written - line->queued() : written;
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
