// SPDX-License-Identifier: MIT
#include "ending/ending_signals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> EndingSignalNumbers = {SIGTERM, SIGINT, SIGHUP};

// [0] is read in the event loop, [1] written by the handler.
int wake[2] = {-1, -1};
// What each signal did before; one that was ignored stays so, untouched.
std::array<struct sigaction, EndingSignalNumbers.size()> previous{};

void onEndingSignal(int signalNumber)
{
    const int savedErrno = errno;
    const char byte = static_cast<char>(signalNumber);
    // Non-blocking: a full socket already holds a wake-up.
    [[maybe_unused]] const ssize_t n = ::write(wake[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

EndingSignals::EndingSignals(QObject *parent) : QObject(parent)
{
    Q_ASSERT(wake[0] < 0);
    if (wake[0] >= 0 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, wake) != 0)
        return;
    notifier = new QSocketNotifier(wake[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &EndingSignals::onWake);

    struct sigaction action = {};
    action.sa_handler = onEndingSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < EndingSignalNumbers.size(); ++i) {
        sigaction(EndingSignalNumbers[i], nullptr, &previous[i]);
        if (previous[i].sa_handler != SIG_IGN)
            sigaction(EndingSignalNumbers[i], &action, nullptr);
    }
}

EndingSignals::~EndingSignals()
{
    if (!notifier)
        return;
    for (std::size_t i = 0; i < EndingSignalNumbers.size(); ++i) {
        if (previous[i].sa_handler != SIG_IGN)
            sigaction(EndingSignalNumbers[i], &previous[i], nullptr);
    }
    delete notifier;
    for (int &fd : wake) {
        ::close(fd);
        fd = -1;
    }
}

void EndingSignals::onWake()
{
    char bytes[16];
    ssize_t n = 0;
    while ((n = ::read(wake[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            emit received(static_cast<unsigned char>(bytes[i]));
    }
}
