// SPDX-License-Identifier: MIT
#include "link/win32_serial_line.h"

#include "ending/emergency_stop.h"
#include "protocol/protocol.h"

#include <QDeadlineTimer>
#include <QMetaObject>
#include <QMutexLocker>
#include <QThread>

#include <windows.h>

namespace {

// How long the reader waits in ReadFile when nothing arrives: a close waits
// for it at most this long.
constexpr DWORD ReadWaitMs = 20;
// How long a write waits for a line that does not take bytes before it tries
// again: a close waits for the writer at most this long.
constexpr DWORD WriteWaitMs = 20;
// Bytes the console has not taken yet; the reader waits above this.
constexpr qsizetype MaxUnread = 64 * 1024;

HANDLE native(void *handle)
{
    return static_cast<HANDLE>(handle);
}

// The system's words for a Win32 error number, without the line end.
QString systemText(unsigned long code)
{
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    QString text = length ? QString::fromWCharArray(buffer, int(length)).trimmed() : QString();
    LocalFree(buffer);
    if (text.isEmpty())
        text = QStringLiteral("Error %1").arg(code);
    return text;
}

// What a technician should know first about an error number at open.
PortTrouble troubleAtOpen(unsigned long code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
        return PortTrouble::NotPresent;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        // Windows opens a serial port for one program at a time and answers
        // any other with "Access is denied".
        return PortTrouble::InUse;
    default:
        return PortTrouble::Other;
    }
}

PortError openError(unsigned long code)
{
    return {int(code), systemText(code), troubleAtOpen(code)};
}

} // namespace

bool Win32SerialLine::open(PortError &why)
{
    // "\\.\COM1" for "COM1": the name under which Windows opens every port,
    // COM10 and above included.
    const QString device =
        path.startsWith(QLatin1String("\\\\")) ? path : QStringLiteral("\\\\.\\") + path;
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(device.utf16()),
                           GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        why = openError(GetLastError());
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    COMMTIMEOUTS timeouts{};
    // Returns at once with what has arrived, or after ReadWaitMs with nothing.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = ReadWaitMs;
    timeouts.WriteTotalTimeoutConstant = WriteWaitMs;
    bool set = GetCommState(h, &dcb);
    if (set) {
        dcb.BaudRate = protocol::BaudRate;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fTXContinueOnXoff = TRUE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        // No parity replacement: every byte arrives as it was received.
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.fAbortOnError = FALSE;
        set = SetCommState(h, &dcb) && SetCommTimeouts(h, &timeouts);
    }
    if (!set) {
        why = openError(GetLastError());
        CloseHandle(h);
        return false;
    }
    handle = h;
    stopping = false;
    incoming.clear();
    outgoing.clear();
    in_driver = dropped = 0;
    reader = std::thread([this] { readLoop(); });
    writer = std::thread([this] { writeLoop(); });
    return true;
}

void Win32SerialLine::readLoop()
{
    char buffer[512];
    while (!stopping.load()) {
        {
            QMutexLocker lock(&incoming_mutex);
            if (incoming.size() >= MaxUnread) {
                lock.unlock();
                QThread::msleep(ReadWaitMs);
                continue;
            }
        }
        DWORD got = 0;
        if (!ReadFile(native(handle), buffer, sizeof buffer, &got, nullptr)) {
            reportFailure(GetLastError());
            return;
        }
        if (got == 0) {
            // A port that is gone (an adapter pulled out) may go on answering
            // reads with nothing: its status can no longer be had.
            DWORD errors = 0;
            COMSTAT status{};
            if (!ClearCommError(native(handle), &errors, &status)) {
                reportFailure(GetLastError());
                return;
            }
            continue;
        }
        bool notify = false;
        {
            QMutexLocker lock(&incoming_mutex);
            notify = incoming.isEmpty();
            incoming.append(buffer, got);
        }
        if (notify)
            QMetaObject::invokeMethod(this, &Win32SerialLine::deliver, Qt::QueuedConnection);
    }
}

// The owner's thread asks the driver nothing: on a handle without overlapped
// I/O each request waits for the one under way. This thread asks for it.
void Win32SerialLine::writeLoop()
{
    QMutexLocker lock(&outgoing_mutex);
    for (;;) {
        // While the driver holds bytes, what it holds is asked again.
        if (outgoing.isEmpty() && !stopping.load())
            outgoing_added.wait(&outgoing_mutex, in_driver > 0
                                                     ? QDeadlineTimer(WriteWaitMs)
                                                     : QDeadlineTimer(QDeadlineTimer::Forever));
        if (stopping.load())
            return;
        const QByteArray bytes = outgoing;
        lock.unlock();
        // A line that takes nothing times the write out with nothing taken.
        DWORD taken = 0;
        DWORD code = ERROR_SUCCESS;
        if (emergency::underWay())
            return; // the last-moment stop has the line now
        if (!bytes.isEmpty() &&
            !WriteFile(native(handle), bytes.constData(), DWORD(bytes.size()), &taken, nullptr))
            code = GetLastError();
        // Only this thread adds to the driver's queue: what it holds now is
        // never less than what it holds when the count is seen.
        const qint64 holds = driverQueued();
        lock.relock();
        outgoing.remove(0, taken);
        in_driver = holds;
        if (code != ERROR_SUCCESS && code != ERROR_TIMEOUT) {
            reportFailure(code);
            return;
        }
    }
}

void Win32SerialLine::reportFailure(unsigned long code)
{
    if (stopping.load())
        return;
    QMetaObject::invokeMethod(
        this,
        [this, code] {
            if (!handle)
                return;
            close();
            // An adapter pulled out during a run answers with whatever its
            // driver chooses (ERROR_BAD_COMMAND, ERROR_DEVICE_NOT_CONNECTED, ...).
            emit failed({int(code), systemText(code), PortTrouble::Gone});
        },
        Qt::QueuedConnection);
}

qint64 Win32SerialLine::write(QByteArrayView bytes)
{
    if (!handle)
        return 0;
    QMutexLocker lock(&outgoing_mutex);
    outgoing.append(bytes);
    outgoing_added.wakeOne();
    return bytes.size();
}

QByteArray Win32SerialLine::readAll()
{
    QMutexLocker lock(&incoming_mutex);
    return std::exchange(incoming, QByteArray());
}

qint64 Win32SerialLine::queued() const
{
    if (!handle)
        return dropped;
    // No request of this thread's: the driver's queue as the writer last saw
    // it, which only shrinks until its next write. Told late, never early.
    QMutexLocker lock(&outgoing_mutex);
    return outgoing.size() + in_driver;
}

qint64 Win32SerialLine::driverQueued() const
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(native(handle), &errors, &status))
        return 0;
    return status.cbOutQue;
}

void Win32SerialLine::close()
{
    if (!handle)
        return;
    {
        QMutexLocker lock(&outgoing_mutex);
        stopping = true;
        outgoing_added.wakeAll();
    }
    reader.join();
    writer.join();
    // What has not left is dropped, never sent after the close.
    dropped = outgoing.size() + driverQueued();
    outgoing.clear();
    PurgeComm(native(handle), PURGE_TXABORT | PURGE_TXCLEAR);
    CloseHandle(native(handle));
    handle = nullptr;
}

std::unique_ptr<SerialLine> systemSerialLine(const QString &path)
{
    return std::make_unique<Win32SerialLine>(path);
}

PortError missingPortError(const QString &)
{
    return openError(ERROR_FILE_NOT_FOUND);
}
