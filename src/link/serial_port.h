// SPDX-License-Identifier: MIT
#pragma once

#include "link/port_map.h"
#include "protocol/protocol.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

#ifdef Q_OS_WIN
#include "link/serial_line.h"
#else
#include <QSerialPort>
#endif

// The common causes of a port failure, as data: the console words them.
enum class PortTrouble {
    Other,
    Gone,         // unplugged, or the line was lost during a run
    NotPresent,   // no such device, or no port behind the path
    NoPermission, // the device's permissions refuse this user
    InUse,        // another program holds the port
    StaleLock,    // a lock file of a program that has ended blocks the port
    SettingsFile, // the settings file has a line not understood; the port is not opened
};

// What went wrong with the port.
struct PortError
{
    int number = 0;      // QSerialPort::SerialPortError; on Windows the system's error number
    QString description; // the system's own text
    QString portName;    // the path that was opened, as it was then
    PortTrouble trouble = PortTrouble::Other;
    QString group;     // NoPermission: the group that owns the device and may use it
    QString lockFile;  // StaleLock: the lock file ...
    QString lockOwner; // ... and the user who owns it
    PortTarget target; // where the path came from, and why it was not opened
};

// The one owner of the serial line: fixed line settings (19200 baud, 8 data
// bits, no parity, 1 stop bit, no flow control, raw), writes queued in call
// order, receive notifications on the thread that owns it. A read, write or
// resource error while open closes the port at once and is reported once.
class SerialPort : public QObject
{
    Q_OBJECT
public:
    static constexpr qint32 BaudRate = protocol::BaudRate;
    // A stalled line must not hang the console on close: 512 queued bytes
    // take about a quarter of a second at the line's rate.
    static constexpr int CloseDrainMs = 1000;

    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    // Both take effect at the next open(): which "Com N", and where each leads.
    void setPortNumber(qint16 portNumber) { port_number = portNumber; }
    void setPortMap(const PortMap &map) { port_map = map; }
    const PortMap &portMap() const { return port_map; }

    // False when the port cannot be opened or another program holds it;
    // lastError() says why.
    bool open();
    bool isOpen() const;
    const PortError &lastError() const { return last_error; }

    // What is still queued goes out first, for about a second at most; what
    // has not left by then is dropped, never sent later.
    void close();

    // Queues the bytes; they go out after those of earlier writes.
    void write(QByteArrayView bytes);
    // Of the bytes written since open(), how many have left the machine: they
    // are neither in the port's buffer nor in the driver's output queue.
    qint64 bytesLeft() const;

    // Every byte waiting, in order of arrival.
    QByteArray read();

    // The open line's descriptor; -1 while closed.
    int handle() const;

    // The path given at the last open(), whatever "Com N" leads to now.
    QString openedPath() const { return opened_path; }
    // The lock file this process holds for the open port; empty for none.
    QString ownLockFile() const;

signals:
    // Bytes wait to be read.
    void received();
    // The port failed while open and has been closed.
    void failed(const PortError &error);
    // bytesLeft() has grown to `count`; once more, as it closes, with what
    // left in the end.
    void left(qint64 count);

private:
    void waitUntilSent(const QDeadlineTimer &deadline);
    // Bytes written that have not left the machine yet.
    qint64 outputQueued() const;
    void startLeftCheck();
    void checkLeft();
    // Closes the port, telling first what has left.
    void closePort();
#ifdef Q_OS_WIN
    void onLineFailed(const PortError &error);

    std::unique_ptr<SerialLine> line;
#else
    void onError(QSerialPort::SerialPortError error);
    PortError errorNow(int number) const;
    // Another program holds the device's lock (flock()).
    PortError heldByAnotherProgram() const;
    bool takeExclusiveLock();
    // A refused open: another program's lock file, or one that outlived its program.
    PortTrouble lockFileTrouble();

    QSerialPort port;
#endif
    qint16 port_number = 1;
    // Until one is given: the machine's own names.
    PortMap port_map;
    QString opened_path;
    PortError last_error;
    QTimer left_check;
    qint64 written = 0;
    qint64 reported_left = 0;
};
