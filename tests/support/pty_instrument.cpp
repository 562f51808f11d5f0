// SPDX-License-Identifier: MIT
#include "pty_instrument.h"

#include "sim/raw_pty.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

PtyInstrument::PtyInstrument()
{
    const RawPty pty = openRawPty();
    if (pty.slave >= 0)
        ::close(pty.slave);
    master = pty.master;
    if (master < 0)
        return;
    slave_path = pty.slavePath;
    slave_link = link_dir.filePath(QStringLiteral("instrument"));
    if (!link_dir.isValid() || !QFile::link(slave_path, slave_link)) {
        ::close(master);
        master = -1;
        return;
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
}

PtyInstrument::~PtyInstrument()
{
    hangUp();
}

bool PtyInstrument::send(const QByteArray &bytes)
{
    qsizetype done = 0;
    const QDeadlineTimer deadline(10000);
    while (done < bytes.size() && !deadline.hasExpired()) {
        const ssize_t n = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        // The kernel buffer is full until the reader takes some.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done == bytes.size();
}

QByteArray PtyInstrument::readAvailable(int pollMs)
{
    QByteArray out;
    pollfd pfd{master, POLLIN, 0};
    if (::poll(&pfd, 1, pollMs) <= 0 || !(pfd.revents & POLLIN))
        return out;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, n);
    }
    return out;
}

QByteArray PtyInstrument::receive(qsizetype count, int timeoutMs)
{
    QByteArray out;
    const QDeadlineTimer deadline(timeoutMs);
    while (out.size() < count && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        out += readAvailable(5);
    }
    return out;
}

QByteArray PtyInstrument::receiveFor(int quietMs)
{
    QByteArray out;
    const QDeadlineTimer deadline(quietMs);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        out += readAvailable(5);
    }
    return out;
}

void PtyInstrument::hangUp()
{
    if (master >= 0)
        ::close(master);
    master = -1;
}
