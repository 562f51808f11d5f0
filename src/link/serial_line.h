// SPDX-License-Identifier: MIT
#pragma once

#include "link/port_map.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include <memory>

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
    PortError() = default;
    PortError(int number, const QString &description, PortTrouble trouble = PortTrouble::Other)
        : number(number), description(description), trouble(trouble)
    {
    }

    int number = 0;      // Linux: QSerialPort::SerialPortError; Windows: the system's error number
    QString description; // the system's own text
    QString portName;    // the path that was opened, as it was then
    PortTrouble trouble = PortTrouble::Other;
    QString group;     // NoPermission: the group that owns the device and may use it
    QString lockFile;  // StaleLock: the lock file ...
    QString lockOwner; // ... and the user who owns it
    PortTarget target; // where the path came from, and why it was not opened
};

// One open line as the serial port drives it: the system's serial port, or a
// line inside this process. Opened with the console's fixed line settings;
// notifications come on the thread that owns it.
class SerialLine : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // False, with `why` filled in, when the line cannot be had.
    virtual bool open(PortError &why) = 0;
    virtual bool isOpen() const = 0;
    // Goes out after what earlier calls queued. Returns how many bytes the
    // line took: only those may ever count as sent.
    virtual qint64 write(QByteArrayView bytes) = 0;
    // Every byte waiting, in order of arrival.
    virtual QByteArray readAll() = 0;
    // Bytes taken that have not left the machine yet; once closed, those
    // that the close dropped.
    virtual qint64 queued() const = 0;
    // Until nothing is queued, or the deadline.
    virtual void drain(const QDeadlineTimer &deadline);
    // Closes at once; what has not left by then is dropped.
    virtual void close() = 0;

    // For a stop at the last moment, which may use nothing but the system:
    // the open line's descriptor (Windows: its HANDLE); -1 for none.
    virtual qintptr nativeHandle() const { return -1; }
    // The lock file this process holds for the line; empty for none.
    virtual QString lockFile() const { return {}; }

signals:
    void received();
    // Bytes went on toward the line: queued() may have shrunk.
    void wrote();
    // The line failed while open and has been closed.
    void failed(const PortError &why);
};

// The system's serial port at `path`; each platform has its own.
std::unique_ptr<SerialLine> systemSerialLine(const QString &path);
// Why a path that leads to nothing cannot be opened, as the system says it.
PortError missingPortError(const QString &path);
