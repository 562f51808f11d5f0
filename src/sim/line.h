// SPDX-License-Identifier: MIT
#pragma once

#include "link/in_process_line.h"
#include "link/serial_port.h"
#include "sim/raw_pty.h"

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <memory>

// The instrument's end of the serial line.
class Line : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isOpen() const = 0;
    // What the console opens (a pseudo-terminal's slave, or the real port).
    virtual QString consolePath() const = 0;
    virtual QString errorString() const = 0;
    virtual void write(const QByteArray &bytes) = 0;

signals:
    void received(const QByteArray &bytes);
    // Bytes that could not go out, in words for the terminal.
    void trouble(const QString &text);
};

#ifndef Q_OS_WIN
// A pseudo-terminal whose master side is the instrument.
class PtyLine : public Line
{
    Q_OBJECT
public:
    explicit PtyLine(QObject *parent = nullptr);
    ~PtyLine() override;

    bool isOpen() const override { return pty.master >= 0; }
    QString consolePath() const override { return pty.slavePath; }
    QString errorString() const override { return pty.error; }
    void write(const QByteArray &bytes) override;

    // Bytes written that no reader has taken from the slave side yet.
    qsizetype unreadBytes() const;

    // How often unread bytes are looked at.
    void setStaleCheckInterval(int ms) { stale_check.setInterval(ms); }

    // Unsent bytes kept while the console does not read.
    static constexpr qsizetype MaxPending = 64 * 1024;

private:
    void onReadable();
    void flushPending();
    void dropUnread();

    // The slave is held open so that the master never sees a hang-up between
    // two configuration runs of the console.
    RawPty pty;
    QByteArray pending;
    std::unique_ptr<QSocketNotifier> read_notifier;
    std::unique_ptr<QSocketNotifier> write_notifier;
    // A console that is not attached reads nothing; what it has not taken
    // after a whole check interval is dropped, as on a line with no listener.
    QTimer stale_check;
    qsizetype unread_at_last_check = 0;
    qsizetype written_since_check = 0;
};

#endif

// A line inside this program, where the console's serial port finds it by
// name: for a simulated instrument where there are no pseudo-terminals.
class InProcessInstrumentLine : public Line
{
    Q_OBJECT
public:
    explicit InProcessInstrumentLine(const QString &name, QObject *parent = nullptr);
    bool isOpen() const override { return true; }
    QString consolePath() const override { return line.name(); }
    QString errorString() const override { return {}; }
    void write(const QByteArray &bytes) override { line.writeToConsole(bytes); }

private:
    InProcessLine line;
};

// A real serial port, opened with the console's own line settings.
class PortLine : public Line
{
    Q_OBJECT
public:
    explicit PortLine(const QString &path, QObject *parent = nullptr);

    bool isOpen() const override { return port.isOpen(); }
    QString consolePath() const override { return path; }
    QString errorString() const override { return port.lastError().description; }
    void write(const QByteArray &bytes) override { port.write(bytes); }

private:
    QString path;
    SerialPort port;
};
