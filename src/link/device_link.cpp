// SPDX-License-Identifier: MIT
#include "link/device_link.h"

#include "link/emergency_stop.h"

DeviceLink::DeviceLink(QObject *parent) : QObject(parent)
{
    connect(&serial, &SerialPort::received, this, &DeviceLink::onReceived);
    connect(&serial, &SerialPort::failed, this, [this](const PortError &error) {
        emergency::clearLine(line_fd);
        line_fd = -1;
        receive_framer.dropOpenFrame();
        emit portFailed(error);
    });
}

DeviceLink::~DeviceLink()
{
    emergency::clearLine(line_fd);
}

bool DeviceLink::open(qint16 portNumber)
{
    serial.setPortNumber(portNumber);
    if (!serial.open())
        return false;
    // Nothing received in an earlier run stands for the instrument on this one.
    receive_framer.reset();
    line_fd = serial.handle();
    emergency::setLine(line_fd, emergency::ownLockFile(serial.openedPath()));
    return true;
}

void DeviceLink::close()
{
    emergency::clearLine(line_fd);
    line_fd = -1;
    serial.close();
    receive_framer.dropOpenFrame();
}

void DeviceLink::send(protocol::Command command)
{
    if (!serial.isOpen())
        return;
    const QByteArray frame = protocol::commandFrame(command);
    serial.write(frame);
    emit frameWritten(frame);
}

void DeviceLink::sendValue(protocol::ValueTarget target, const QString &text)
{
    if (!serial.isOpen())
        return;
    const std::array<QByteArray, 3> parts = protocol::valueFrameWrites(target, text);
    for (const QByteArray &part : parts)
        serial.write(part);
    emit frameWritten(parts[0] + parts[1] + parts[2]);
}

void DeviceLink::onReceived()
{
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
