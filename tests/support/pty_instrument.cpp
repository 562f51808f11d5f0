#include "pty_instrument.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyInstrument::PtyInstrument()
{
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return;
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        ::close(master);
        master = -1;
        return;
    }
    slave_path = QString::fromLocal8Bit(ptsname(master));
    slave_link = link_dir.filePath(QStringLiteral("instrument"));
    if (!link_dir.isValid() || !QFile::link(slave_path, slave_link)) {
        ::close(master);
        master = -1;
        return;
    }
    // The slave starts in cooked mode with echo until the port under test
    // sets it raw; make it raw now so nothing sent early is echoed or altered.
    const int slave = ::open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0) {
        termios tio{};
        if (tcgetattr(slave, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(slave, TCSANOW, &tio);
        }
        ::close(slave);
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
