// SPDX-License-Identifier: MIT
#include "link/win32_serial_line.h"

#include "link/serial_port.h"

#include <QMetaObject>
#include <QMutexLocker>
#include <QThread>

#include <utility>

#include <windows.h>

namespace {

// How long the reader waits in ReadFile when nothing arrives: a close waits
// for it at most this long.
constexpr DWORD ReadWaitMs = 20;
// A write that the driver does not take in this time (the line held by flow
// control) is given up, as a stalled line's is on close.
constexpr DWORD WriteTimeoutMs = 1000;
// Bytes the console has not taken yet; the reader waits above this.
constexpr qsizetype MaxUnread = 64 * 1024;

HANDLE native(void *handle)
{
    return static_cast<HANDLE>(handle);
}

} // namespace

Win32SerialLine::Win32SerialLine(QString path, QObject *parent)
    : SerialLine(parent), path(std::move(path))
{
}

Win32SerialLine::~Win32SerialLine()
{
    close();
}

QString Win32SerialLine::devicePath(const QString &path)
{
    if (path.startsWith(QLatin1String("\\\\")))
        return path;
    return QStringLiteral("\\\\.\\") + path;
}

QString Win32SerialLine::systemText(unsigned long code)
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

PortError Win32SerialLine::errorFor(unsigned long code, const QString &path, bool open)
{
    PortTrouble trouble = PortTrouble::Other;
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_UNIT:
        trouble = open ? PortTrouble::NotPresent : PortTrouble::Gone;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        // Windows opens a serial port for one program at a time and answers
        // any other with "Access is denied".
        trouble = open ? PortTrouble::InUse : PortTrouble::Gone;
        break;
    default:
        // An adapter pulled out during a run answers with whatever its driver
        // chooses (ERROR_BAD_COMMAND, ERROR_DEVICE_NOT_CONNECTED, ...).
        trouble = open ? PortTrouble::Other : PortTrouble::Gone;
        break;
    }
    PortError error;
    error.number = int(code);
    error.description = systemText(code);
    error.portName = path;
    error.trouble = trouble;
    return error;
}

bool Win32SerialLine::open(PortError &error)
{
    if (handle)
        return true;
    const QString device = devicePath(path);
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(device.utf16()),
                           GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = errorFor(GetLastError(), path, true);
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    COMMTIMEOUTS timeouts{};
    // Returns at once with what has arrived, or after ReadWaitMs with nothing.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = ReadWaitMs;
    timeouts.WriteTotalTimeoutConstant = WriteTimeoutMs;
    bool set = GetCommState(h, &dcb);
    if (set) {
        dcb.BaudRate = CBR_19200;
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
        error = errorFor(GetLastError(), path, true);
        CloseHandle(h);
        return false;
    }
    handle = h;
    stopping = false;
    {
        QMutexLocker lock(&incoming_mutex);
        incoming.clear();
    }
    reader = std::thread([this] { readLoop(); });
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
            const DWORD code = GetLastError();
            if (!stopping.load())
                QMetaObject::invokeMethod(
                    this, [this, code] { fail(code); }, Qt::QueuedConnection);
            return;
        }
        if (got == 0) {
            // A port that is gone (an adapter pulled out) may go on answering
            // reads with nothing: its status can no longer be had.
            DWORD errors = 0;
            COMSTAT status{};
            if (!ClearCommError(native(handle), &errors, &status)) {
                const DWORD code = GetLastError();
                if (!stopping.load())
                    QMetaObject::invokeMethod(
                        this, [this, code] { fail(code); }, Qt::QueuedConnection);
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
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (handle)
                        emit received();
                },
                Qt::QueuedConnection);
    }
}

void Win32SerialLine::write(QByteArrayView bytes)
{
    qsizetype done = 0;
    while (handle && done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(native(handle), bytes.data() + done, DWORD(bytes.size() - done), &written,
                       nullptr)) {
            fail(GetLastError());
            return;
        }
        if (written == 0)
            return; // the write timed out: the line does not take bytes
        done += written;
    }
}

QByteArray Win32SerialLine::readAll()
{
    QMutexLocker lock(&incoming_mutex);
    return std::exchange(incoming, QByteArray());
}

// WriteFile hands the bytes to the driver before it returns: what has not
// left is in the driver's output queue.
qint64 Win32SerialLine::queued() const
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!handle || !ClearCommError(native(handle), &errors, &status))
        return 0;
    return status.cbOutQue;
}

void Win32SerialLine::close()
{
    if (!handle)
        return;
    stopping = true;
    if (reader.joinable())
        reader.join();
    // What is still queued is dropped, never sent after the close.
    PurgeComm(native(handle), PURGE_TXABORT | PURGE_TXCLEAR);
    CloseHandle(native(handle));
    handle = nullptr;
}

void Win32SerialLine::fail(unsigned long code)
{
    if (!handle)
        return;
    close();
    emit failed(errorFor(code, path, false));
}
