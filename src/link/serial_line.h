// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDeadlineTimer>
#include <QObject>

struct PortError;

// One open line as the serial port drives it: the system's serial port, or a
// line inside this process. Opened with the console's fixed line settings;
// notifications come on the thread that owns it.
class SerialLine : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // False, with `error` saying why, when the line cannot be had.
    virtual bool open(PortError &error) = 0;
    virtual bool isOpen() const = 0;
    // Goes out after what earlier calls queued.
    virtual void write(QByteArrayView bytes) = 0;
    // Every byte waiting, in order of arrival.
    virtual QByteArray readAll() = 0;
    // Bytes written that have not left the machine yet; once closed, those
    // that the close dropped.
    virtual qint64 queued() const = 0;
    // Closes at once; what has not left by then is dropped.
    virtual void close() = 0;

signals:
    void received();
    // The line failed while open and has been closed.
    void failed(const PortError &error);
};
