// SPDX-License-Identifier: MIT
#include "startup/process_guards_platform.h"

#include "ending/emergency_stop.h"

#include <csignal>

#include <windows.h>

namespace {

// What abort() ends the process with when SIGABRT is not caught.
constexpr UINT AbortCode = 3;
// What Qt ends with after a fatal message where it cannot fail fast.
constexpr UINT FatalMessageCode = 0x40000015;
// The code of a C++ throw: one that no frame catches comes back here, and the
// runtime goes on to std::terminate when it is continued.
constexpr DWORD GccThrowMask = 0x20ffffff;
constexpr DWORD GccThrow = (DWORD('G') << 16) | (DWORD('C') << 8) | DWORD('C') | (1U << 29);

struct NamedException
{
    DWORD code;
    const char *reason;
};
constexpr NamedException NamedExceptions[] = {
    {EXCEPTION_ACCESS_VIOLATION, "access violation"},
    {EXCEPTION_STACK_OVERFLOW, "stack overflow"},
    {EXCEPTION_IN_PAGE_ERROR, "in-page error"},
    {EXCEPTION_ILLEGAL_INSTRUCTION, "illegal instruction"},
    {EXCEPTION_PRIV_INSTRUCTION, "privileged instruction"},
    {EXCEPTION_INT_DIVIDE_BY_ZERO, "integer division by zero"},
    {EXCEPTION_DATATYPE_MISALIGNMENT, "misaligned data"},
    {EXCEPTION_BREAKPOINT, "breakpoint"},
};
char unnamedReason[] = "exception 0x00000000";

const char *reasonFor(DWORD code)
{
    for (const NamedException &named : NamedExceptions) {
        if (named.code == code)
            return named.reason;
    }
    char *digit = unnamedReason + sizeof unnamedReason - 1;
    for (int i = 0; i < 8; ++i, code >>= 4)
        *--digit = "0123456789ABCDEF"[code & 0xF];
    return unnamedReason;
}

// Any thread's; ending the process here keeps the debugger or the error
// report from holding it.
LONG WINAPI onUnhandledException(EXCEPTION_POINTERS *info)
{
    const EXCEPTION_RECORD &exception = *info->ExceptionRecord;
    if ((exception.ExceptionCode & GccThrowMask) == GccThrow &&
        !(exception.ExceptionFlags & EXCEPTION_NONCONTINUABLE))
        return EXCEPTION_CONTINUE_EXECUTION;
    emergency::runNow(reasonFor(exception.ExceptionCode));
    TerminateProcess(GetCurrentProcess(), exception.ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

void onAbort(int)
{
    emergency::runNow("abort");
    TerminateProcess(GetCurrentProcess(), AbortCode);
}

} // namespace

void installPlatformGuards(void (*)())
{
    SetUnhandledExceptionFilter(onUnhandledException);
    std::signal(SIGABRT, onAbort);
}

// Qt fails fast next, which no handler sees.
void endAfterFatalMessage()
{
    TerminateProcess(GetCurrentProcess(), FatalMessageCode);
}
