// SPDX-License-Identifier: MIT
#include "startup/process_guards_platform.h"

#include "ending/emergency_stop.h"

#include <csignal>
#include <cstdlib>
#include <iterator>

namespace {

// The signals whose default ends the process; SIGTERM, SIGINT and SIGHUP end
// it in order through the event loop instead.
struct FatalSignal
{
    int number;
    const char *reason;
};
constexpr FatalSignal FatalSignals[] = {
    {SIGABRT, "signal SIGABRT"}, {SIGSEGV, "signal SIGSEGV"}, {SIGBUS, "signal SIGBUS"},
    {SIGFPE, "signal SIGFPE"},   {SIGILL, "signal SIGILL"},   {SIGTRAP, "signal SIGTRAP"},
    {SIGSYS, "signal SIGSYS"},   {SIGQUIT, "signal SIGQUIT"}, {SIGPIPE, "signal SIGPIPE"},
    {SIGALRM, "signal SIGALRM"}, {SIGUSR1, "signal SIGUSR1"}, {SIGUSR2, "signal SIGUSR2"},
    {SIGXCPU, "signal SIGXCPU"}, {SIGXFSZ, "signal SIGXFSZ"}, {SIGVTALRM, "signal SIGVTALRM"},
    {SIGPROF, "signal SIGPROF"},
};
struct sigaction previousActions[std::size(FatalSignals)];

void onFatalSignal(int number, siginfo_t *info, void *)
{
    for (std::size_t i = 0; i < std::size(FatalSignals); ++i) {
        if (FatalSignals[i].number != number)
            continue;
        emergency::runNow(FatalSignals[i].reason);
        sigaction(number, &previousActions[i], nullptr);
    }
    // Sent by someone: sent again, to whatever was there before. A fault
    // happens again as this returns.
    if (info->si_code <= 0)
        ::raise(number);
}

} // namespace

void installPlatformGuards(void (*onQuickExit)())
{
    std::at_quick_exit(onQuickExit);
    struct sigaction action = {};
    action.sa_sigaction = onFatalSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO;
    for (std::size_t i = 0; i < std::size(FatalSignals); ++i) {
        struct sigaction current = {};
        sigaction(FatalSignals[i].number, nullptr, &current);
        // One the program was started with ignoring stays ignored.
        if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN)
            continue;
        sigaction(FatalSignals[i].number, &action, &previousActions[i]);
    }
}

// Qt aborts next, which the SIGABRT handler sees through.
void endAfterFatalMessage() {}
