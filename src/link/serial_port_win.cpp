// SPDX-License-Identifier: MIT
// The serial port on Windows: the Win32 port, or the line of an instrument
// this program plays itself.
#include "link/serial_port.h"

#include "link/in_process_line.h"
#include "link/port_map.h"
#include "link/win32_serial_line.h"

#include <QSignalBlocker>
#include <QThread>

#include <windows.h>

SerialPort::SerialPort(QObject *parent) : QObject(parent)
{
    left_check.setSingleShot(true);
    connect(&left_check, &QTimer::timeout, this, &SerialPort::checkLeft);
}

bool SerialPort::isOpen() const
{
    return line && line->isOpen();
}

QByteArray SerialPort::read()
{
    return isOpen() ? line->readAll() : QByteArray();
}

// The last-moment stop at an abnormal end is POSIX's; Windows ends a session
// with a message, which the console answers in order.
int SerialPort::handle() const
{
    return -1;
}

bool SerialPort::open()
{
    if (isOpen())
        return true;
    last_error = {};
    const PortTarget target = port_map.resolve(port_number);
    opened_path = target.path;
    if (!target.opens()) {
        last_error.portName = opened_path;
        last_error.target = target;
        if (!target.settings.isEmpty()) {
            last_error.trouble = PortTrouble::SettingsFile;
            return false;
        }
        last_error.number = ERROR_FILE_NOT_FOUND;
        last_error.description = Win32SerialLine::systemText(ERROR_FILE_NOT_FOUND);
        last_error.trouble = PortTrouble::NotPresent;
        return false;
    }
    if (InProcessLine *simulated = InProcessLine::named(opened_path))
        line.reset(simulated->makeConsoleEnd());
    else
        line = std::make_unique<Win32SerialLine>(opened_path);
    connect(line.get(), &SerialLine::received, this, &SerialPort::received);
    connect(line.get(), &SerialLine::failed, this, &SerialPort::onLineFailed);
    if (!line->open(last_error)) {
        last_error.portName = opened_path;
        last_error.target = target; // which file and line named the path, if one did
        line.reset();
        return false;
    }
    written = reported_left = 0;
    return true;
}

void SerialPort::close()
{
    if (!isOpen())
        return;
    waitUntilSent(QDeadlineTimer(CloseDrainMs));
    closePort();
}

void SerialPort::closePort()
{
    left_check.stop();
    // Only a closed line knows what it dropped: a write may still be under way.
    line->close();
    const qint64 count = written - line->queued();
    line.reset();
    reported_left = written = count;
    emit left(count);
}

qint64 SerialPort::outputQueued() const
{
    return isOpen() ? line->queued() : 0;
}

void SerialPort::waitUntilSent(const QDeadlineTimer &deadline)
{
    while (isOpen() && outputQueued() > 0 && !deadline.hasExpired())
        QThread::msleep(1);
}

void SerialPort::write(QByteArrayView bytes)
{
    if (!isOpen() || bytes.isEmpty())
        return;
    line->write(bytes);
    // A write the line refused closed it; nothing of it counts as written.
    if (!isOpen())
        return;
    written += bytes.size();
    startLeftCheck();
}

void SerialPort::onLineFailed(const PortError &error)
{
    left_check.stop();
    last_error = error;
    last_error.portName = opened_path;
    // Not destroyed here: the line is still inside its own signal.
    line.release()->deleteLater();
    // What had not been seen to leave never will.
    written = reported_left;
    emit left(reported_left);
    emit failed(last_error);
}

// Windows gives a port to one program at a time: no lock files.
QString SerialPort::ownLockFile() const
{
    return {};
}
