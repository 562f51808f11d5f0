// SPDX-License-Identifier: MIT
#pragma once

#include "link/serial_line.h"

#include <QPointer>

class InProcessConsoleEnd;

// A serial line inside this process, for an instrument the program plays
// itself where there are no pseudo-terminals: what one end writes, the other
// receives on a later turn of the event loop, as bytes from a port arrive.
// The instrument's end is always there; the console's end is a SerialLine
// that opens and closes as a port does. Bytes written while the console's end
// is closed are lost, as on a line with no listener.
class InProcessLine : public QObject
{
    Q_OBJECT
public:
    // The line is found by `name`, which a port map may give as the path of
    // a port, while it lives.
    explicit InProcessLine(const QString &name, QObject *parent = nullptr);
    ~InProcessLine() override;

    QString name() const { return line_name; }
    // The line of that name, or null.
    static InProcessLine *named(const QString &name);

    // The instrument's end.
    void writeToConsole(QByteArrayView bytes);
    bool consoleAttached() const { return !console_end.isNull(); }

    // A new console end, for one opening.
    std::unique_ptr<SerialLine> makeConsoleEnd();

signals:
    // Bytes the console wrote, in order.
    void receivedFromConsole(const QByteArray &bytes);

private:
    friend class InProcessConsoleEnd;
    QString line_name;
    QPointer<InProcessConsoleEnd> console_end;
    QByteArray to_console;
};
