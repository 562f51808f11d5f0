// SPDX-License-Identifier: MIT
#include "link/serial_port.h"

#include "link/port_map.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

PortNameResolver &resolverSlot()
{
    static PortNameResolver resolver;
    return resolver;
}

// A stalled line must not hang the console on close: 512 queued bytes take
// about a quarter of a second at 19200 baud.
constexpr int CloseDrainMs = 1000;

// One character (start, 8 data and stop bit) at 19200 baud.
constexpr unsigned long CharacterMicroseconds = 10 * 1000000 / SerialPort::BaudRate + 1;

#ifdef Q_OS_UNIX
// The group that may use the device, when its mode lets that group read and write.
QString owningGroup(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    if ((st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return {};
    const group *owner = ::getgrgid(st.st_gid);
    return owner ? QString::fromLocal8Bit(owner->gr_name) : QString();
}
#endif

#ifdef Q_OS_UNIX
// A descriptor of the device of our own, held while QSerialPort opens its
// own: another program's lock is seen before the port applies our line
// settings to a line that program uses, and the device sees no last close
// (which may drop its modem lines) in between.
class LockProbe
{
public:
    explicit LockProbe(const QString &path)
        : fd(::open(QFile::encodeName(path).constData(),
                    O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC))
    {
    }
    ~LockProbe()
    {
        if (fd >= 0)
            ::close(fd);
    }
    LockProbe(const LockProbe &) = delete;
    LockProbe &operator=(const LockProbe &) = delete;

    // A device that cannot be opened or locked here is left to the port's own
    // open, which tells why.
    bool heldElsewhere() const
    {
        if (fd < 0)
            return false;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::flock(fd, LOCK_UN);
            return false;
        }
        return errno == EWOULDBLOCK;
    }

private:
    int fd;
};
#endif

QString userName()
{
#ifdef Q_OS_UNIX
    if (const passwd *user = ::getpwuid(::getuid()))
        return QString::fromLocal8Bit(user->pw_name);
#endif
    return QStringLiteral("USER");
}

#ifndef Q_OS_WIN
// QSerialPort folds many causes into a few numbers; the path tells them apart.
PortTrouble troubleAtOpen(int number, const QString &path)
{
    switch (number) {
    case QSerialPort::DeviceNotFoundError:
        // A link that an adapter pulled out has left behind.
        return QFileInfo(path).isSymLink() ? PortTrouble::Gone : PortTrouble::NotPresent;
    case QSerialPort::PermissionError:
#ifdef Q_OS_UNIX
    {
        // Refused by the device's own permissions; otherwise by another
        // program's lock file or exclusive mode.
        const QByteArray native = QFile::encodeName(path);
        if (::faccessat(AT_FDCWD, native.constData(), R_OK | W_OK, AT_EACCESS) != 0 &&
            (errno == EACCES || errno == EPERM))
            return PortTrouble::NoPermission;
    }
#endif
        return PortTrouble::InUse;
    case QSerialPort::ResourceError:
        // The path is there, but no port answers behind it.
        return PortTrouble::NotPresent;
    default:
        return PortTrouble::Other;
    }
}

#endif

} // namespace

QString portTroubleText(const PortError &error)
{
    switch (error.trouble) {
    case PortTrouble::Gone:
        return QStringLiteral("The device is gone or was unplugged: plug the adapter in again "
                              "and check its cable, then choose Start Config. again.");
    case PortTrouble::NotPresent:
        return QStringLiteral("There is no such device: plug the adapter in, or choose another "
                              "port under Setting > Communication Settings.");
    case PortTrouble::NoPermission:
        if (error.group.isEmpty())
            return QStringLiteral("You have no permission to use the device: ask an "
                                  "administrator for read and write access to it.");
        return QStringLiteral("You have no permission to use the device: join the group \"%1\" "
                              "that owns it (an administrator runs \"usermod -aG %1 %2\"), then "
                              "log in again.")
            .arg(error.group, userName());
    case PortTrouble::InUse:
        return QStringLiteral("The port is in use by another program: end that program, or "
                              "choose another port.");
    case PortTrouble::Other:
        break;
    }
    return {};
}

void setPortNameResolver(PortNameResolver resolver)
{
    resolverSlot() = std::move(resolver);
}

PortTarget portTargetFor(int portNumber)
{
    const PortNameResolver &resolver = resolverSlot();
    return resolver ? resolver(portNumber) : PortMap::installed().resolve(portNumber);
}

QString portNameFor(int portNumber)
{
    return portTargetFor(portNumber).path;
}

#ifndef Q_OS_WIN
SerialPort::SerialPort(QObject *parent) : QObject(parent)
{
    connect(&port, &QSerialPort::readyRead, this, &SerialPort::received);
    connect(&port, &QSerialPort::errorOccurred, this, &SerialPort::onError);
}

SerialPort::~SerialPort()
{
    close();
}

bool SerialPort::isOpen() const
{
    return port.isOpen();
}

QByteArray SerialPort::read()
{
    return port.readAll();
}

int SerialPort::handle() const
{
    return port.isOpen() ? int(port.handle()) : -1;
}

bool SerialPort::open()
{
    if (port.isOpen())
        return true;
    last_error = {};
    const PortTarget target = portTargetFor(port_number);
    opened_path = target.path;
    port.setPortName(opened_path);
    if (!target.error.isEmpty()) {
        last_error = {QSerialPort::DeviceNotFoundError,
                      target.error,
                      opened_path,
                      troubleAtOpen(QSerialPort::DeviceNotFoundError, opened_path),
                      {}};
        return false;
    }
#ifdef Q_OS_UNIX
    const LockProbe probe(opened_path);
    if (probe.heldElsewhere()) {
        last_error = heldByAnotherProgram();
        return false;
    }
#endif
    port.setBaudRate(BaudRate);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (!port.open(QIODevice::ReadWrite)) {
        last_error = errorNow(port.error());
        last_error.trouble = troubleAtOpen(last_error.number, opened_path);
#ifdef Q_OS_UNIX
        if (last_error.trouble == PortTrouble::NoPermission)
            last_error.group = owningGroup(opened_path);
#endif
        port.clearError();
        return false;
    }
    return takeExclusiveLock();
}

// QSerialPort's lock file and exclusive mode keep out the programs that look
// for them; a terminal program that only takes flock() on the device is kept
// out by this. Nothing may be written to a line that another program reads.
bool SerialPort::takeExclusiveLock()
{
#ifdef Q_OS_UNIX
    if (::flock(port.handle(), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK)
        return true; // a device that cannot be locked is not shared for that
    last_error = heldByAnotherProgram();
    port.close();
    return false;
#else
    return true;
#endif
}

void SerialPort::close()
{
    if (!port.isOpen())
        return;
    // QSerialPort::close() discards what has not been handed to the driver yet.
    const QDeadlineTimer deadline(CloseDrainMs);
    while (port.isOpen() && port.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!port.waitForBytesWritten(int(deadline.remainingTime())))
            break;
    }
    waitUntilSent(deadline);
    if (port.isOpen())
        port.close();
}

// Handed to the driver is not yet on the line: a UART may still hold the
// bytes, and closing puts back the line settings that the port had before.
void SerialPort::waitUntilSent(const QDeadlineTimer &deadline)
{
#ifdef TIOCOUTQ
    int queued = 0;
    while (port.isOpen() && !deadline.hasExpired() &&
           ::ioctl(port.handle(), TIOCOUTQ, &queued) == 0 && queued > 0)
        QThread::usleep(CharacterMicroseconds);
#else
    Q_UNUSED(deadline);
#endif
}

void SerialPort::write(QByteArrayView bytes)
{
    if (!port.isOpen() || bytes.isEmpty())
        return;
    port.write(bytes.data(), bytes.size());
}

void SerialPort::onError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        break;
    default:
        // Open failures are reported by open(); the rest (e.g. modem lines
        // that a pseudo-terminal cannot set) do not mean the line is gone.
        return;
    }
    if (!port.isOpen())
        return;
    last_error = errorNow(error);
    // Whatever the system calls it ("Inappropriate ioctl for device" among
    // others), the line has gone from under the open port.
    last_error.trouble = PortTrouble::Gone;
    // Until it is closed, a port whose other end is gone raises this error
    // again on every turn of the event loop.
    port.clearError();
    port.close();
    emit failed(last_error);
}

PortError SerialPort::heldByAnotherProgram() const
{
    return {QSerialPort::PermissionError,
            QString::fromLocal8Bit(std::strerror(EWOULDBLOCK)),
            opened_path,
            PortTrouble::InUse,
            {}};
}

PortError SerialPort::errorNow(int number) const
{
    return {number, port.errorString(), opened_path, PortTrouble::Other, {}};
}
#endif
