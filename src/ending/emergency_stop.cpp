// SPDX-License-Identifier: MIT
#include "ending/emergency_stop.h"

#include "protocol/protocol.h"
#include "protocol/record_format.h"

#include <QFile>

#include <atomic>
#include <cstring>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <ctime>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

constexpr int MaxFrame = 16;
constexpr std::size_t MaxPath = 4096;

// Written on the registering thread only, read by runNow(): each descriptor is
// published after the data that goes with it.
std::atomic<qintptr> lineHandle{-1};
char lockPath[MaxPath];
std::atomic<int> frameLength{0};
char frameBytes[MaxFrame];
std::atomic<int> recordFd{-1};
std::atomic<int> recordOffset{0};
std::atomic<bool> ran{false};

#ifdef Q_OS_UNIX
constexpr long long NsPerSecond = 1000000000LL;
// As long as a close may wait for a stalled line.
constexpr long long DrainNs = NsPerSecond;
// One character at the line's rate.
constexpr long CharacterNs =
    long(protocol::BitsPerCharacter * NsPerSecond / protocol::BaudRate + 1);

long long monotonicNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * NsPerSecond + now.tv_nsec;
}

// A record line built without the heap or the C library's locale and time code.
struct Line
{
    char text[512];
    std::size_t size = 0;

    void add(char c)
    {
        if (size < sizeof text)
            text[size++] = c;
    }
    void add(const char *s)
    {
        while (*s)
            add(*s++);
    }
    void number(long long value, int width)
    {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = char('0' + value % 10);
            value /= 10;
        } while (value > 0 || n < width);
        while (n > 0)
            add(digits[--n]);
    }
    // Quoted where a CSV reader would otherwise split or trim it.
    void field(const char *s)
    {
        const std::size_t n = std::strlen(s);
        const bool quote = n > 0 && (s[0] == ' ' || s[n - 1] == ' ' || std::strpbrk(s, ",\"\r\n"));
        if (!quote) {
            add(s);
            return;
        }
        add('"');
        for (; *s; ++s) {
            if (*s == '"')
                add('"');
            add(*s);
        }
        add('"');
    }
    // Now, local time as the record's other lines give it:
    // yyyy-MM-ddTHH:mm:ss.zzz+hh:mm.
    void stamp(int offsetSeconds)
    {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        const long long local = now.tv_sec + offsetSeconds;
        long long days = local / 86400;
        long long seconds = local % 86400;
        if (seconds < 0) {
            seconds += 86400;
            --days;
        }
        // Days since 1970-01-01 to the civil date (proleptic Gregorian).
        days += 719468;
        const long long era = (days >= 0 ? days : days - 146096) / 146097;
        const long long dayOfEra = days - era * 146097;
        const long long yearOfEra =
            (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
        const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
        const long long mp = (5 * dayOfYear + 2) / 153;
        const long long day = dayOfYear - (153 * mp + 2) / 5 + 1;
        const long long month = mp < 10 ? mp + 3 : mp - 9;
        const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
        number(year, 4);
        add('-');
        number(month, 2);
        add('-');
        number(day, 2);
        add('T');
        number(seconds / 3600, 2);
        add(':');
        number(seconds / 60 % 60, 2);
        add(':');
        number(seconds % 60, 2);
        add('.');
        number(now.tv_nsec / 1000000, 3);
        add(offsetSeconds < 0 ? '-' : '+');
        const int minutes = (offsetSeconds < 0 ? -offsetSeconds : offsetSeconds) / 60;
        number(minutes / 60, 2);
        add(':');
        number(minutes % 60, 2);
    }
};

// The stop frame on the line, then the kernel's queue empty; false when it did
// not leave in time.
bool sendAndDrain(int fd, const char *frame, std::size_t size)
{
    const long long deadline = monotonicNs() + DrainNs;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, frame + done, size - done);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        const long long left = deadline - monotonicNs();
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        if (left <= 0)
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

void recordLine(int fd, int offset, const char *event, const char *detail)
{
    Line line;
    line.stamp(offset);
    line.add(',');
    line.add(event);
    line.add(',');
    line.field(detail);
    // Literals, so each ends in a NUL.
    line.add(recordformat::NoReading.data());
    line.add(recordformat::LineEnd.data());
    // Whole or not at all, as every other line of the record.
    const off_t before = ::lseek(fd, 0, SEEK_CUR);
    if (::write(fd, line.text, line.size) != ssize_t(line.size) && before >= 0) {
        [[maybe_unused]] const int cut = ::ftruncate(fd, before);
    }
}
#endif

} // namespace

namespace emergency {

void setLine(qintptr handle, const QString &lockFile)
{
    lineHandle.store(-1);
    const QByteArray native = QFile::encodeName(lockFile);
    const std::size_t size = std::size_t(native.size()) < MaxPath ? std::size_t(native.size()) : 0;
    std::memcpy(lockPath, native.constData(), size);
    lockPath[size] = '\0';
    lineHandle.store(handle);
}

void clearLine(qintptr handle)
{
    qintptr expected = handle;
    lineHandle.compare_exchange_strong(expected, -1);
}

void setStopFrame(QByteArrayView frame)
{
    frameLength.store(0);
    const int size = frame.size() <= MaxFrame ? int(frame.size()) : 0;
    // An empty view may hold no pointer at all, which memcpy must not be given.
    if (size > 0)
        std::memcpy(frameBytes, frame.data(), std::size_t(size));
    frameLength.store(size);
}

void setRecord(int fd, int utcOffsetSeconds)
{
    recordFd.store(-1);
    recordOffset.store(utcOffsetSeconds);
    recordFd.store(fd);
}

void clearRecord(int fd)
{
    int expected = fd;
    recordFd.compare_exchange_strong(expected, -1);
}

void runNow(const char *reason)
{
#ifdef Q_OS_UNIX
    if (ran.exchange(true))
        return;
    const int savedErrno = errno;
    const int line = int(lineHandle.exchange(-1));
    const int record = recordFd.exchange(-1);
    const int offset = recordOffset.load();
    const int frame = frameLength.exchange(0);
    if (line >= 0 && frame > 0) {
        const bool left = sendAndDrain(line, frameBytes, std::size_t(frame));
        if (record >= 0) {
            char sent[MaxFrame + 1];
            std::memcpy(sent, frameBytes, std::size_t(frame));
            sent[frame] = '\0';
            recordLine(record, offset, (left ? recordformat::Sent : recordformat::Unsent).data(),
                       sent);
        }
    }
    if (record >= 0) {
        recordLine(record, offset, recordformat::End.data(), reason);
        ::fsync(record);
    }
    if (line >= 0 && lockPath[0] != '\0')
        ::unlink(lockPath);
    errno = savedErrno;
#else
    Q_UNUSED(reason);
#endif
}

} // namespace emergency
