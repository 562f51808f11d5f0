// SPDX-License-Identifier: MIT
#include "sim/line.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

PtyLine::PtyLine(QObject *parent) : Line(parent), pty(openRawPty())
{
    if (pty.master < 0)
        return;
    fcntl(pty.master, F_SETFL, fcntl(pty.master, F_GETFL) | O_NONBLOCK);

    read_notifier = std::make_unique<QSocketNotifier>(pty.master, QSocketNotifier::Read);
    connect(read_notifier.get(), &QSocketNotifier::activated, this, &PtyLine::onReadable);
    write_notifier = std::make_unique<QSocketNotifier>(pty.master, QSocketNotifier::Write);
    write_notifier->setEnabled(false);
    connect(write_notifier.get(), &QSocketNotifier::activated, this, &PtyLine::flushPending);

    stale_check.setInterval(1000);
    connect(&stale_check, &QTimer::timeout, this, &PtyLine::dropUnread);
    stale_check.start();
}

PtyLine::~PtyLine()
{
    read_notifier.reset();
    write_notifier.reset();
    if (pty.slave >= 0)
        ::close(pty.slave);
    if (pty.master >= 0)
        ::close(pty.master);
}

void PtyLine::onReadable()
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(pty.master, buf, sizeof buf);
        if (n > 0) {
            emit received(QByteArray(buf, n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
}

void PtyLine::write(const QByteArray &bytes)
{
    if (pty.master < 0)
        return;
    const qsizetype room = MaxPending - pending.size();
    if (bytes.size() > room)
        emit trouble(QStringLiteral("the console reads nothing: %1 bytes not sent")
                         .arg(bytes.size() - room));
    pending.append(bytes.left(room));
    flushPending();
}

void PtyLine::flushPending()
{
    while (!pending.isEmpty()) {
        const ssize_t n = ::write(pty.master, pending.constData(), size_t(pending.size()));
        if (n > 0) {
            written_since_check += n;
            pending.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    write_notifier->setEnabled(!pending.isEmpty());
}

qsizetype PtyLine::unreadBytes() const
{
    int n = 0;
    if (pty.slave < 0 || ::ioctl(pty.slave, FIONREAD, &n) != 0)
        return 0;
    return n;
}

void PtyLine::dropUnread()
{
    const qsizetype unread = unreadBytes();
    const bool nothing_taken =
        unread_at_last_check > 0 && unread >= unread_at_last_check + written_since_check;
    written_since_check = 0;
    unread_at_last_check = unread;
    if (!nothing_taken)
        return;
    const qsizetype dropped = unread + pending.size();
    tcflush(pty.slave, TCIFLUSH);
    pending.clear();
    write_notifier->setEnabled(false);
    unread_at_last_check = 0;
    emit trouble(QStringLiteral("no console reads the line: %1 bytes dropped").arg(dropped));
}
