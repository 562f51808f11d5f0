// SPDX-License-Identifier: MIT
#pragma once

#include "link/serial_line.h"

#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <thread>
#include <utility>

// A Windows serial port over the Win32 communications API. A reader thread
// waits in ReadFile and hands each chunk to the thread that owns the line; a
// writer thread hands what write() queued to the driver in call order, so that
// a line that takes nothing (the other end's XOFF, a stuck adapter) never
// holds the owner's thread. Both wait with short timeouts, so that they see a
// close in time.
class Win32SerialLine final : public SerialLine
{
    Q_OBJECT
public:
    // `path` is "COM1" or a device path such as "\\.\COM12".
    explicit Win32SerialLine(QString path) : path(std::move(path)) {}
    ~Win32SerialLine() override { close(); }

    bool open(PortError &why) override;
    bool isOpen() const override { return handle != nullptr; }
    qint64 write(QByteArrayView bytes) override;
    QByteArray readAll() override;
    // What the driver has not taken yet plus its output queue; once closed,
    // what the close dropped.
    qint64 queued() const override;
    void close() override;
    qintptr nativeHandle() const override { return handle ? qintptr(handle) : -1; }

private:
    void readLoop();
    // Told on the owner's thread, while the line is open.
    void deliver()
    {
        if (handle)
            emit received();
    }
    void writeLoop();
    // From either thread: the owner closes the line and tells why on its own.
    void reportFailure(unsigned long code);
    qint64 driverQueued() const;

    QString path;
    void *handle = nullptr;
    std::thread reader;
    std::thread writer;
    std::atomic<bool> stopping{false};
    QMutex incoming_mutex;
    QByteArray incoming;
    // Bytes stay in `outgoing` until the driver has taken them.
    mutable QMutex outgoing_mutex;
    QWaitCondition outgoing_added;
    QByteArray outgoing;
    // The driver's output queue as the writer last saw it.
    qint64 in_driver = 0;
    qint64 dropped = 0;
};
