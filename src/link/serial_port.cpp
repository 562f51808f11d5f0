#include "link/serial_port.h"

#include <QDeadlineTimer>

namespace {

PortNameResolver &resolverSlot()
{
    static PortNameResolver resolver;
    return resolver;
}

// A stalled line must not hang the console on close: 512 queued bytes take
// about a quarter of a second at 19200 baud.
constexpr int CloseDrainMs = 2000;

} // namespace

void setPortNameResolver(PortNameResolver resolver)
{
    resolverSlot() = std::move(resolver);
}

PortTarget portTargetFor(int portNumber)
{
    const PortNameResolver &resolver = resolverSlot();
    return resolver ? resolver(portNumber) : PortMap::installed().resolve(portNumber);
}

QString portNameFor(int portNumber)
{
    return portTargetFor(portNumber).path;
}

SerialPort::SerialPort(QObject *parent) : QObject(parent)
{
    connect(&port, &QSerialPort::readyRead, this, &SerialPort::received);
    connect(&port, &QSerialPort::errorOccurred, this, &SerialPort::onError);
}

SerialPort::~SerialPort()
{
    close();
}

bool SerialPort::open()
{
    if (port.isOpen())
        return true;
    last_error = {};
    const PortTarget target = portTargetFor(port_number);
    port.setPortName(target.path);
    if (!target.error.isEmpty()) {
        last_error = {QSerialPort::DeviceNotFoundError, target.error, target.path};
        return false;
    }
    port.setBaudRate(BaudRate);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (!port.open(QIODevice::ReadWrite)) {
        last_error = errorNow(port.error());
        port.clearError();
        return false;
    }
    return true;
}

void SerialPort::close()
{
    if (!port.isOpen())
        return;
    // QSerialPort::close() discards what has not been handed to the driver yet.
    const QDeadlineTimer deadline(CloseDrainMs);
    while (port.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!port.waitForBytesWritten(int(deadline.remainingTime())))
            break;
    }
    port.close();
}

void SerialPort::write(QByteArrayView bytes)
{
    if (!port.isOpen() || bytes.isEmpty())
        return;
    port.write(bytes.data(), bytes.size());
}

void SerialPort::onError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        break;
    default:
        // Open failures are reported by open(); the rest (e.g. modem lines
        // that a pseudo-terminal cannot set) do not mean the line is gone.
        return;
    }
    if (!port.isOpen())
        return;
    last_error = errorNow(error);
    // Until it is closed, a port whose other end is gone raises this error
    // again on every turn of the event loop.
    port.clearError();
    port.close();
    emit failed(last_error);
}

PortError SerialPort::errorNow(int number) const
{
    return {number, port.errorString(), port.portName()};
}
