// SPDX-License-Identifier: MIT
#include "link/device_link.h"

#include "ending/emergency_stop.h"

DeviceLink::DeviceLink(QObject *parent) : QObject(parent)
{
    connect(&serial, &SerialPort::received, this, &DeviceLink::onReceived);
    connect(&serial, &SerialPort::left, this, &DeviceLink::onLeft);
    connect(&serial, &SerialPort::failed, this, [this](const PortError &error) {
        emergency::clearLine(line_handle);
        line_handle = -1;
        receive_framer.dropOpenFrame();
        dropWaiting();
        emit portFailed(error);
    });
}

DeviceLink::~DeviceLink()
{
    emergency::clearLine(line_handle);
}

bool DeviceLink::open(qint16 portNumber)
{
    serial.setPortNumber(portNumber);
    if (!serial.open())
        return false;
    queued_bytes = 0;
    // Nothing received in an earlier run stands for the instrument on this one.
    receive_framer.reset();
    line_handle = serial.handle();
    emergency::setLine(line_handle, serial.ownLockFile());
    return true;
}

void DeviceLink::close()
{
    emergency::clearLine(line_handle);
    line_handle = -1;
    serial.close();
    dropWaiting();
    receive_framer.dropOpenFrame();
}

void DeviceLink::queued(const QByteArray &frame)
{
    queued_bytes += frame.size();
    waiting.append({frame, queued_bytes});
}

void DeviceLink::onLeft(qint64 count)
{
    while (!waiting.isEmpty() && waiting.constFirst().second <= count)
        emit frameWritten(waiting.takeFirst().first);
}

void DeviceLink::dropWaiting()
{
    const auto frames = std::exchange(waiting, {});
    for (const auto &frame : frames)
        emit frameUnsent(frame.first);
}

void DeviceLink::send(protocol::Command command)
{
    if (!serial.isOpen())
        return;
    const QByteArray frame = protocol::commandFrame(command);
    serial.write(frame);
    queued(frame);
}

void DeviceLink::sendValue(protocol::ValueTarget target, const QString &text)
{
    if (!serial.isOpen())
        return;
    const std::array<QByteArray, 3> parts = protocol::valueFrameWrites(target, text);
    for (const QByteArray &part : parts)
        serial.write(part);
    queued(parts[0] + parts[1] + parts[2]);
}

void DeviceLink::onReceived()
{
    // What has left by now goes before what it may have been answered with;
    // with nothing waiting there is nothing to ask the driver.
    if (!waiting.isEmpty())
        onLeft(serial.bytesLeft());
    const QByteArray bytes = serial.read();
    protocol::StatusFields last;
    bool ended = false;
    for (char c : bytes) {
        if (receive_framer.step(c)) {
            last = protocol::splitStatusBody(receive_framer.shownBody());
            ended = true;
            emit frameEnded(last);
        }
    }
    if (ended)
        emit statusReceived(last);
}
