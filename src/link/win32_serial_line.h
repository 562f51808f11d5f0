// SPDX-License-Identifier: MIT
#pragma once

#include "link/serial_line.h"

#include <QMutex>
#include <QString>

#include <atomic>
#include <thread>

// A Windows serial port over the Win32 communications API. A thread of its own
// waits in ReadFile (with a short read timeout, so that it sees a close in
// time) and hands each chunk to the thread that owns the line; writes go out
// from the owner's thread in call order.
class Win32SerialLine final : public SerialLine
{
    Q_OBJECT
public:
    // `path` is "COM1" or a device path such as "\\.\COM12".
    explicit Win32SerialLine(QString path, QObject *parent = nullptr);
    ~Win32SerialLine() override;

    bool open(PortError &error) override;
    bool isOpen() const override { return handle != nullptr; }
    void write(QByteArrayView bytes) override;
    QByteArray readAll() override;
    qint64 queued() const override;
    void close() override;

    // "\\.\COM1" for "COM1": the name under which Windows opens every port,
    // COM10 and above included.
    static QString devicePath(const QString &path);
    // The system's words for a Win32 error number, without the line end.
    static QString systemText(unsigned long code);
    // What a technician should know first about the error number.
    static PortError errorFor(unsigned long code, const QString &path, bool open);

private:
    void readLoop();
    void fail(unsigned long code);

    QString path;
    void *handle = nullptr;
    std::thread reader;
    std::atomic<bool> stopping{false};
    QMutex incoming_mutex;
    QByteArray incoming;
};
