// SPDX-License-Identifier: MIT
// The serial port on Linux: Qt Serial Port, with the locks other programs
// look for and the ones it does not take.
#include "link/serial_line.h"

#include "protocol/protocol.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSerialPort>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// One character at the line's rate.
constexpr unsigned long CharacterMicroseconds =
    protocol::BitsPerCharacter * 1000000 / protocol::BaudRate + 1;

// The group that may use the device, when its mode lets that group read and write.
QString owningGroup(const QString &path)
{
    const QFileInfo info(path);
    return info.permission(QFile::ReadGroup | QFile::WriteGroup) ? info.group() : QString();
}

// Another program holds the device in exclusive mode (TIOCEXCL) or with
// flock(). Exclusive mode refuses others but not root: it is asked for, so
// that root does not share the line either.
bool heldElsewhere(int fd)
{
    int exclusive = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0)
        return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        ::flock(fd, LOCK_UN);
        return false;
    }
    return errno == EWOULDBLOCK;
}

PortError heldByAnotherProgram()
{
    return {QSerialPort::PermissionError, QString::fromLocal8Bit(std::strerror(EWOULDBLOCK)),
            PortTrouble::InUse};
}

// Where QSerialPort keeps the lock file of `path`: the first of its folders
// that can be read and holds the file or can take it.
QString lockFileOf(const QString &path)
{
    QString name = path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path;
    name.replace(u'/', u'_');
    for (const QString &dir :
         {QStringLiteral("/var/lock"), QStringLiteral("/etc/locks"),
          QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"),
          QStringLiteral("/tmp"), QStringLiteral("/var/tmp"), QStringLiteral("/var/lock/lockdev"),
          QStringLiteral("/run/lock"),
          QStandardPaths::writableLocation(QStandardPaths::TempLocation)}) {
        const QString file = dir + QStringLiteral("/LCK..") + name;
        const QFileInfo info(dir);
        if (info.isReadable() && (QFileInfo::exists(file) || info.isWritable()))
            return file;
    }
    return {};
}

// True when the lock file names a process of this machine that has ended.
// Its first line is the process id, as QLockFile and the UUCP convention
// write it; a third line, where there is one, the machine.
bool lockOutlivedItsProgram(const QString &file)
{
    QFile lock(file);
    if (!lock.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> lines = lock.read(256).split('\n');
    bool number = false;
    const qint64 pid = lines.value(0).trimmed().toLongLong(&number);
    if (!number || pid <= 0)
        return false;
    const QByteArray host = lines.value(2).trimmed();
    if (!host.isEmpty() && host != QSysInfo::machineHostName().toLocal8Bit())
        return false;
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

// Its user's name, or the number of a user the system has no name for.
QString ownerOf(const QString &file)
{
    const QFileInfo info(file);
    return info.owner().isEmpty() && info.exists() ? QString::number(info.ownerId()) : info.owner();
}

// QSerialPort folds many causes into a few numbers; the path tells them apart.
PortTrouble troubleAtOpen(int number, const QString &path)
{
    switch (number) {
    case QSerialPort::DeviceNotFoundError:
        // A link that an adapter pulled out has left behind.
        return QFileInfo(path).isSymLink() ? PortTrouble::Gone : PortTrouble::NotPresent;
    case QSerialPort::PermissionError: {
        // Refused by the device's own permissions; otherwise by another
        // program's lock file or exclusive mode.
        const QByteArray native = QFile::encodeName(path);
        if (::faccessat(AT_FDCWD, native.constData(), R_OK | W_OK, AT_EACCESS) != 0 &&
            (errno == EACCES || errno == EPERM))
            return PortTrouble::NoPermission;
    }
        return PortTrouble::InUse;
    case QSerialPort::ResourceError:
        // The path is there, but no port answers behind it.
        return PortTrouble::NotPresent;
    default:
        return PortTrouble::Other;
    }
}

class QtSerialLine final : public SerialLine
{
public:
    explicit QtSerialLine(const QString &path) : path(path)
    {
        port.setPortName(path);
        connect(&port, &QSerialPort::readyRead, this, &SerialLine::received);
        connect(&port, &QSerialPort::errorOccurred, this, &QtSerialLine::onError);
        connect(&port, &QSerialPort::bytesWritten, this, &SerialLine::wrote);
    }
    ~QtSerialLine() override { close(); }

    bool open(PortError &why) override;
    bool isOpen() const override { return port.isOpen(); }
    qint64 write(QByteArrayView bytes) override { return port.write(bytes.data(), bytes.size()); }
    QByteArray readAll() override { return port.readAll(); }
    // Still in QSerialPort's buffer, or in the driver's output queue.
    qint64 queued() const override
    {
        return port.isOpen() ? port.bytesToWrite() + inDriver() : dropped;
    }

    // Handed to the driver is not yet on the line: a UART may still hold the
    // bytes, and closing puts back the line settings that the port had before.
    void drain(const QDeadlineTimer &deadline) override
    {
        // QSerialPort::close() discards what has not been handed to the driver yet.
        while (port.isOpen() && port.bytesToWrite() > 0 && !deadline.hasExpired()) {
            if (!port.waitForBytesWritten(int(deadline.remainingTime())))
                break;
        }
        while (port.isOpen() && !deadline.hasExpired() && inDriver() > 0)
            QThread::usleep(CharacterMicroseconds);
    }

    void close() override
    {
        if (!port.isOpen())
            return;
        dropped = queued();
        // A real port's driver would hold the close until its queue drains, up
        // to half a minute on a stalled line, and send the rest after all.
        if (dropped > 0)
            ::tcflush(port.handle(), TCOFLUSH);
        port.close();
    }

    qintptr nativeHandle() const override { return port.isOpen() ? port.handle() : -1; }

    QString lockFile() const override
    {
        const QString file = port.isOpen() ? lockFileOf(path) : QString();
        QFile lock(file);
        // QSerialPort writes this process's id on the first line.
        if (file.isEmpty() || !lock.open(QIODevice::ReadOnly) ||
            lock.readLine().trimmed() != QByteArray::number(QCoreApplication::applicationPid()))
            return {};
        return file;
    }

private:
    int inDriver() const
    {
        int bytes = 0;
        ::ioctl(port.handle(), TIOCOUTQ, &bytes);
        return bytes;
    }

    void onError(QSerialPort::SerialPortError error)
    {
        // Open failures are reported by open(); the rest (e.g. modem lines
        // that a pseudo-terminal cannot set) do not mean the line is gone.
        if ((error != QSerialPort::ReadError && error != QSerialPort::WriteError &&
             error != QSerialPort::ResourceError) ||
            !port.isOpen())
            return;
        // Whatever the system calls it ("Inappropriate ioctl for device" among
        // others), the line has gone from under the open port.
        const PortError why(error, port.errorString(), PortTrouble::Gone);
        // Until it is closed, a port whose other end is gone raises this error
        // again on every turn of the event loop.
        port.clearError();
        close();
        emit failed(why);
    }

    QString path;
    QSerialPort port;
    qint64 dropped = 0;
};

bool QtSerialLine::open(PortError &why)
{
    // A descriptor of the device of our own, held while QSerialPort opens its
    // own: another program's lock is seen before the port applies our line
    // settings to a line that program uses, and the device sees no last close
    // (which may drop its modem lines) in between. A device that cannot be
    // opened or locked here is left to the port's own open, which tells why.
    const int probe =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    const bool held = probe < 0 ? errno == EBUSY : heldElsewhere(probe);
    const auto closeProbe = qScopeGuard([probe] {
        if (probe >= 0)
            ::close(probe);
    });
    if (held) {
        why = heldByAnotherProgram();
        return false;
    }
    // QSerialPort's own defaults are the rest of the line settings: 8 data
    // bits, no parity, one stop bit, no flow control.
    port.setBaudRate(protocol::BaudRate);
    if (!port.open(QIODevice::ReadWrite)) {
        why = {port.error(), port.errorString(), troubleAtOpen(port.error(), path)};
        if (why.trouble == PortTrouble::NoPermission)
            why.group = owningGroup(path);
        // Another program's lock file, or one that outlived its program.
        const QString lock = why.trouble == PortTrouble::InUse ? lockFileOf(path) : QString();
        if (!lock.isEmpty() && lockOutlivedItsProgram(lock)) {
            why.trouble = PortTrouble::StaleLock;
            why.lockFile = QFileInfo(lock).canonicalFilePath();
            why.lockOwner = ownerOf(lock);
        }
        port.clearError();
        return false;
    }
    dropped = 0;
    // QSerialPort's lock file and exclusive mode keep out the programs that
    // look for them; a terminal program that only takes flock() on the device
    // is kept out by this. Nothing may be written to a line another program reads.
    if (::flock(port.handle(), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK)
        return true; // a device that cannot be locked is not shared for that
    why = heldByAnotherProgram();
    port.close();
    return false;
}

} // namespace

std::unique_ptr<SerialLine> systemSerialLine(const QString &path)
{
    return std::make_unique<QtSerialLine>(path);
}

PortError missingPortError(const QString &path)
{
    return {QSerialPort::DeviceNotFoundError, QString::fromLocal8Bit(std::strerror(ENOENT)),
            troubleAtOpen(QSerialPort::DeviceNotFoundError, path)};
}
