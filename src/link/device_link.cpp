// SPDX-License-Identifier: MIT
#include "link/device_link.h"

#include "ending/emergency_stop.h"

#include <utility>

DeviceLink::DeviceLink(QObject *parent) : QObject(parent)
{
    connect(&serial, &SerialPort::received, this, &DeviceLink::onReceived);
    connect(&serial, &SerialPort::left, this, &DeviceLink::onLeft);
    connect(&serial, &SerialPort::failed, this, [this](const PortError &error) {
        emergency::clearLine(std::exchange(line_handle, -1));
        dropRun();
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
    // Before the port closes: its descriptor may soon be another file's.
    emergency::clearLine(std::exchange(line_handle, -1));
    serial.close();
    dropRun();
}

void DeviceLink::onLeft(qint64 count)
{
    while (!waiting.isEmpty() && waiting.constFirst().second <= count)
        emit frameWritten(waiting.takeFirst().first);
}

void DeviceLink::dropRun()
{
    receive_framer.dropOpenFrame();
    const auto frames = std::exchange(waiting, {});
    for (const auto &frame : frames)
        emit frameUnsent(frame.first);
}

void DeviceLink::send(protocol::Command command)
{
    write({protocol::commandFrame(command)});
}

void DeviceLink::sendValue(protocol::ValueTarget target, const QString &text)
{
    const auto [head, value, tail] = protocol::valueFrameWrites(target, text);
    write({head, value, tail});
}

void DeviceLink::write(const QByteArrayList &parts)
{
    if (!serial.isOpen())
        return;
    for (const QByteArray &part : parts)
        serial.write(part);
    const QByteArray frame = parts.join();
    queued_bytes += frame.size();
    waiting.append({frame, queued_bytes});
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
