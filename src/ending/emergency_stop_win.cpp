// SPDX-License-Identifier: MIT
#include "ending/emergency_platform.h"

#include <io.h>
#include <windows.h>

namespace emergency::platform {

qintptr recordHandle(int fd)
{
    return fd < 0 ? -1 : qintptr(_get_osfhandle(fd));
}

void now(long long &seconds, int &milliseconds)
{
    // 100 ns steps since 1601-01-01.
    constexpr unsigned long long To1970 = 116444736000000000ULL;
    FILETIME time{};
    GetSystemTimeAsFileTime(&time);
    const unsigned long long ms =
        ((ULONGLONG(time.dwHighDateTime) << 32 | time.dwLowDateTime) - To1970) / 10000;
    seconds = (long long)(ms / 1000);
    milliseconds = int(ms % 1000);
}

// The line's own write timeout returns a write the line does not take.
bool sendAndDrain(qintptr line, const char *frame, std::size_t size)
{
    const HANDLE handle = HANDLE(line);
    // Nothing the line's writer queued may follow the stop frame, nor go
    // instead of it.
    PurgeComm(handle, PURGE_TXABORT | PURGE_TXCLEAR);
    const ULONGLONG deadline = GetTickCount64() + DrainMs;
    std::size_t done = 0;
    while (done < size) {
        DWORD n = 0;
        if (!WriteFile(handle, frame + done, DWORD(size - done), &n, nullptr) &&
            GetLastError() != ERROR_TIMEOUT)
            return false;
        done += n;
        if (done < size && GetTickCount64() >= deadline)
            return false;
    }
    DWORD errors = 0;
    COMSTAT status{};
    while (ClearCommError(handle, &errors, &status) && status.cbOutQue > 0) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(1);
    }
    return true;
}

void append(qintptr record, const char *text, std::size_t size)
{
    const HANDLE handle = HANDLE(record);
    LARGE_INTEGER before{};
    const bool known = SetFilePointerEx(handle, LARGE_INTEGER{}, &before, FILE_CURRENT);
    DWORD n = 0;
    if ((!WriteFile(handle, text, DWORD(size), &n, nullptr) || n != size) && known) {
        SetFilePointerEx(handle, before, nullptr, FILE_BEGIN);
        SetEndOfFile(handle);
    }
}

void sync(qintptr record)
{
    FlushFileBuffers(HANDLE(record));
}

void removeFile(const char *path)
{
    DeleteFileA(path);
}

} // namespace emergency::platform
