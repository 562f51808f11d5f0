// SPDX-License-Identifier: MIT
#pragma once

#include "link/port_map.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

#ifdef Q_OS_WIN
#include "link/serial_line.h"
#else
#include <QSerialPort>
#endif

// The common causes of a port failure, in terms a technician can act on.
enum class PortTrouble {
    Other,
    Gone,         // unplugged, or the line was lost during a run
    NotPresent,   // no such device, or no port behind the path
    NoPermission, // the device's permissions refuse this user
    InUse,        // another program holds the port
};

// What went wrong with the port, ready to show to the operator.
struct PortError
{
    int number = 0; // QSerialPort::SerialPortError; on Windows the system's error number
    QString description;
    QString portName; // the path that was opened, as it was then
    PortTrouble trouble = PortTrouble::Other;
    QString group; // NoPermission: the group that owns the device and may use it
};

// The words that lead the message: the cause and what to do about it. Empty
// for a cause the system does not tell apart.
QString portTroubleText(const PortError &error);

// Tests and tools put their own mapping here; an empty function restores the
// installed PortMap. A target with an error is not opened: open() fails with it.
using PortNameResolver = std::function<PortTarget(int portNumber)>;
void setPortNameResolver(PortNameResolver resolver);
PortTarget portTargetFor(int portNumber);
// The device path behind "Com N".
QString portNameFor(int portNumber);

// The one owner of the serial line: fixed line settings (19200 baud, 8 data
// bits, no parity, 1 stop bit, no flow control, raw), writes queued in call
// order, receive notifications on the thread that owns it. A read, write or
// resource error while open closes the port at once and is reported once.
class SerialPort : public QObject
{
    Q_OBJECT
public:
    static constexpr qint32 BaudRate = 19200;

    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    // Takes effect at the next open().
    void setPortNumber(qint16 portNumber) { port_number = portNumber; }
    qint16 portNumber() const { return port_number; }

    // False when the port cannot be opened or another program holds it;
    // lastError() says why.
    bool open();
    bool isOpen() const;
    const PortError &lastError() const { return last_error; }

    // What is still queued goes out first, for about a second at most.
    void close();

    // Queues the bytes; they go out after those of earlier writes.
    void write(QByteArrayView bytes);

    // Every byte waiting, in order of arrival.
    QByteArray read();

    // The open line's descriptor; -1 while closed.
    int handle() const;

    // The path given at the last open(), whatever "Com N" leads to now.
    QString openedPath() const { return opened_path; }

signals:
    // Bytes wait to be read.
    void received();
    // The port failed while open and has been closed.
    void failed(const PortError &error);

private:
#ifdef Q_OS_WIN
    void onLineFailed(const PortError &error);

    std::unique_ptr<SerialLine> line;
#else
    void onError(QSerialPort::SerialPortError error);
    PortError errorNow(int number) const;
    // Another program holds the device's lock (flock()).
    PortError heldByAnotherProgram() const;
    bool takeExclusiveLock();
    void waitUntilSent(const QDeadlineTimer &deadline);

    QSerialPort port;
#endif
    qint16 port_number = 1;
    QString opened_path;
    PortError last_error;
};
