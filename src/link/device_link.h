// SPDX-License-Identifier: MIT
#pragma once

#include "link/serial_port.h"
#include "protocol/protocol.h"
#include "protocol/receive_framer.h"

#include <QByteArrayList>

#include <utility>

// The console's side of the line: the port, the command frames written to it
// and the framer that every received byte passes through once, in order.
class DeviceLink : public QObject
{
    Q_OBJECT
public:
    explicit DeviceLink(QObject *parent = nullptr);
    ~DeviceLink() override;

    // Opens the port with the number given; a run that opens starts with a
    // framer that has seen nothing. Start Config. then sends "#1$" itself,
    // after setting its menus.
    bool open(qint16 portNumber);
    void close();
    bool isOpen() const { return serial.isOpen(); }
    const PortError &lastError() const { return serial.lastError(); }

    // Both write to an open port only, and then announce the whole frame.
    void send(protocol::Command command);
    void sendValue(protocol::ValueTarget target, const QString &text);

    SerialPort &port() { return serial; }
    const SerialPort &port() const { return serial; }
    const ReceiveFramer &framer() const { return receive_framer; }

signals:
    // A status frame ended: the instrument has answered. When one notification
    // ends several, only the last is announced: the boxes would show it anyway.
    void statusReceived(const protocol::StatusFields &fields);
    // Every status frame that ended, one by one and in order, for a record
    // that must not miss a reading that the boxes skipped.
    void frameEnded(const protocol::StatusFields &fields);
    // The port failed during a run; it is closed and the open frame dropped.
    void portFailed(const PortError &error);
    // A whole command frame has left the machine (its last byte is neither in
    // the port's buffer nor in the driver's queue), as written (a value frame
    // once, after its three writes).
    void frameWritten(const QByteArray &frame);
    // A frame had not left when the port closed or failed; it never will.
    void frameUnsent(const QByteArray &frame);

private:
    void onReceived();
    // The parts go out in one frame, written part by part.
    void write(const QByteArrayList &parts);
    void onLeft(qint64 count);
    // The open frame goes, and every frame still waiting is told as unsent.
    void dropRun();

    SerialPort serial;
    ReceiveFramer receive_framer;
    // As registered for an ending without the closing steps.
    qintptr line_handle = -1;
    // Frames written but not yet gone, with the byte count at their end.
    QList<std::pair<QByteArray, qint64>> waiting;
    qint64 queued_bytes = 0;
};
