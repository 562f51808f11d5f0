// SPDX-License-Identifier: MIT
// The serial port on Windows: the Win32 port, or the line of an instrument
// this program plays itself.
#include "link/serial_port.h"

#include "link/in_process_line.h"
#include "link/win32_serial_line.h"

namespace {

// A stalled line must not hang the console on close.
constexpr int CloseDrainMs = 1000;

} // namespace

SerialPort::SerialPort(QObject *parent) : QObject(parent) {}

SerialPort::~SerialPort()
{
    close();
}

bool SerialPort::isOpen() const
{
    return line && line->isOpen();
}

// The last-moment stop at an abnormal end is POSIX's; Windows ends a session
// with a message, which the console answers in order.
int SerialPort::handle() const
{
    return -1;
}

QByteArray SerialPort::read()
{
    return line ? line->readAll() : QByteArray();
}

bool SerialPort::open()
{
    if (isOpen())
        return true;
    last_error = {};
    const PortTarget target = portTargetFor(port_number);
    opened_path = target.path;
    if (!target.error.isEmpty()) {
        last_error = {2, target.error, opened_path, PortTrouble::NotPresent, {}};
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
        line.reset();
        return false;
    }
    return true;
}

void SerialPort::close()
{
    if (!isOpen())
        return;
    line->waitUntilSent(QDeadlineTimer(CloseDrainMs));
    line->close();
    line.reset();
}

void SerialPort::write(QByteArrayView bytes)
{
    if (isOpen() && !bytes.isEmpty())
        line->write(bytes);
}

void SerialPort::onLineFailed(const PortError &error)
{
    last_error = error;
    last_error.portName = opened_path;
    // Not destroyed here: the line is still inside its own signal.
    line.release()->deleteLater();
    emit failed(last_error);
}
