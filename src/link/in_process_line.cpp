// SPDX-License-Identifier: MIT
#include "link/in_process_line.h"

#include <QGlobalStatic>
#include <QHash>
#include <QMetaObject>

#include <utility>

namespace {
// What the console has not read yet, at most; more is dropped, as a port's
// full receive buffer drops it.
constexpr qsizetype MaxUnread = 64 * 1024;
const QString EndedText = QStringLiteral("The simulated instrument has ended.");
// The lines by name, while they live.
using Registry = QHash<QString, InProcessLine *>;
Q_GLOBAL_STATIC(Registry, registry)
} // namespace

// The console's end: open and close are the port's, the bytes the line's.
class InProcessConsoleEnd final : public SerialLine
{
public:
    explicit InProcessConsoleEnd(InProcessLine *line) : line(line) {}
    ~InProcessConsoleEnd() override { close(); }

    bool open(PortError &why) override
    {
        if (!line) {
            why = {0, EndedText, PortTrouble::NotPresent};
            return false;
        }
        if (line->console_end && line->console_end != this) {
            why = {0, QStringLiteral("The simulated instrument's line is open already."),
                   PortTrouble::InUse};
            return false;
        }
        line->console_end = this;
        line->to_console.clear();
        opened = true;
        return true;
    }
    bool isOpen() const override { return opened; }
    qint64 write(QByteArrayView bytes) override
    {
        if (!opened || !line)
            return 0;
        // Delivered later, as a port's bytes are: the instrument never answers
        // inside the console's own write. The call dies with the line.
        QMetaObject::invokeMethod(
            line,
            [line = line.data(), copy = bytes.toByteArray()] {
                emit line->receivedFromConsole(copy);
            },
            Qt::QueuedConnection);
        QMetaObject::invokeMethod(this, &SerialLine::wrote, Qt::QueuedConnection);
        return bytes.size();
    }
    QByteArray readAll() override
    {
        if (!opened || !line)
            return {};
        return std::exchange(line->to_console, QByteArray());
    }
    qint64 queued() const override { return 0; }
    void close() override
    {
        if (!opened)
            return;
        opened = false;
        if (line && line->console_end == this) {
            line->console_end = nullptr;
            line->to_console.clear();
        }
    }

    void deliver()
    {
        if (opened)
            emit received();
    }
    // The instrument's end went away, as an unplugged cable does.
    void hangUp()
    {
        if (!opened)
            return;
        opened = false;
        emit failed({0, EndedText, PortTrouble::Gone});
    }

private:
    QPointer<InProcessLine> line;
    bool opened = false;
};

InProcessLine::InProcessLine(const QString &name, QObject *parent)
    : QObject(parent), line_name(name)
{
    registry->insert(name, this);
}

InProcessLine::~InProcessLine()
{
    registry->remove(line_name);
    // Queued calls die with their receiver: a console end gone by then misses nothing.
    if (console_end)
        QMetaObject::invokeMethod(console_end, &InProcessConsoleEnd::hangUp, Qt::QueuedConnection);
}

InProcessLine *InProcessLine::named(const QString &name)
{
    return registry->value(name);
}

void InProcessLine::writeToConsole(QByteArrayView bytes)
{
    if (!console_end || bytes.isEmpty())
        return;
    const bool notify = to_console.isEmpty();
    to_console.append(bytes.first(qMin(bytes.size(), MaxUnread - to_console.size())));
    if (notify)
        QMetaObject::invokeMethod(console_end, &InProcessConsoleEnd::deliver, Qt::QueuedConnection);
}

std::unique_ptr<SerialLine> InProcessLine::makeConsoleEnd()
{
    return std::make_unique<InProcessConsoleEnd>(this);
}
