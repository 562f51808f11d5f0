// SPDX-License-Identifier: MIT
#pragma once

#include "link/serial_line.h"

#include <QTimer>

// The one owner of the serial line: fixed line settings (19200 baud, 8 data
// bits, no parity, 1 stop bit, no flow control, raw), writes queued in call
// order, receive notifications on the thread that owns it. A read, write or
// resource error while open closes the port at once and is reported once.
// The line is the system's port, or the in-process line of that name.
class SerialPort : public QObject
{
    Q_OBJECT
public:
    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    // Both take effect at the next open(): which "Com N", and where each leads.
    void setPortNumber(qint16 portNumber) { port_number = portNumber; }
    void setPortMap(const PortMap &map) { port_map = map; }
    const PortMap &portMap() const { return port_map; }

    // False when the port cannot be opened or another program holds it;
    // lastError() says why.
    bool open();
    bool isOpen() const { return line && line->isOpen(); }
    const PortError &lastError() const { return last_error; }

    // What is still queued goes out first, for about a second at most; what
    // has not left by then is dropped, never sent later.
    void close();

    // Queues the bytes; they go out after those of earlier writes.
    void write(QByteArrayView bytes);
    // Of the bytes the line took since open(), how many have left the
    // machine: they are queued neither in the process nor in the driver.
    qint64 bytesLeft() const;

    // Every byte waiting, in order of arrival.
    QByteArray read();

    // The open line's descriptor (Windows: HANDLE); -1 while closed.
    qintptr handle() const { return isOpen() ? line->nativeHandle() : -1; }

    // The path given at the last open(), whatever "Com N" leads to now.
    QString openedPath() const { return opened_path; }
    // The lock file this process holds for the open port; empty for none.
    QString ownLockFile() const { return isOpen() ? line->lockFile() : QString(); }

signals:
    // Bytes wait to be read.
    void received();
    // The port failed while open and has been closed.
    void failed(const PortError &error);
    // bytesLeft() has grown to `count`; once more, as it closes, with what
    // left in the end.
    void left(qint64 count);

private:
    void checkLeft();
    void onLineFailed(const PortError &error);
    // The line has closed: what left in the end is counted.
    void settleLedger();

    std::unique_ptr<SerialLine> line;
    qint16 port_number = 1;
    // Until one is given: the machine's own names.
    PortMap port_map;
    QString opened_path;
    PortError last_error;
    QTimer left_check;
    qint64 written = 0;
    qint64 reported_left = 0;
};
