// SPDX-License-Identifier: MIT
#include "ending/emergency_platform.h"

#include <cerrno>
#include <ctime>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr long long NsPerSecond = 1000000000LL;
// One character at the line's rate.
constexpr long CharacterNs =
    long(protocol::BitsPerCharacter * NsPerSecond / protocol::BaudRate + 1);

long long monotonicNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * NsPerSecond + now.tv_nsec;
}

} // namespace

namespace emergency::platform {

qintptr recordHandle(int fd)
{
    return fd;
}

void now(long long &seconds, int &milliseconds)
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    seconds = now.tv_sec;
    milliseconds = int(now.tv_nsec / 1000000);
}

bool sendAndDrain(qintptr line, const char *frame, std::size_t size)
{
    const int fd = int(line);
    const long long deadline = monotonicNs() + DrainMs * 1000000LL;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, frame + done, size - done);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if ((n < 0 && errno != EINTR && errno != EAGAIN) || monotonicNs() >= deadline)
            return false;
        pollfd ready{fd, POLLOUT, 0};
        ::poll(&ready, 1, 10);
    }
    int queued = 0;
    while (::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0) {
        if (monotonicNs() >= deadline)
            return false;
        const timespec character{0, CharacterNs};
        ::nanosleep(&character, nullptr);
    }
    return true;
}

void append(qintptr record, const char *text, std::size_t size)
{
    const int fd = int(record);
    const off_t before = ::lseek(fd, 0, SEEK_CUR);
    if (::write(fd, text, size) != ssize_t(size) && before >= 0) {
        [[maybe_unused]] const int cut = ::ftruncate(fd, before);
    }
}

void sync(qintptr record)
{
    ::fsync(int(record));
}

void removeFile(const char *path)
{
    ::unlink(path);
}

} // namespace emergency::platform
