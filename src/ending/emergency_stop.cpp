// SPDX-License-Identifier: MIT
#include "ending/emergency_stop.h"

#include "ending/emergency_platform.h"
#include "protocol/record_format.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

namespace platform = emergency::platform;

constexpr int MaxFrame = 16;
constexpr std::size_t MaxPath = 4096;

// Written on the registering thread only, read by runNow(): each descriptor is
// published after the data that goes with it.
std::atomic<qintptr> lineHandle{-1};
char lockPath[MaxPath];
std::atomic<int> frameLength{0};
char frameBytes[MaxFrame];
std::atomic<qintptr> recordFile{-1};
std::atomic<int> recordOffset{0};
std::atomic<bool> ran{false};

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
    // At least `width` digits, then `after` unless that is NUL.
    void number(long long value, int width, char after = '\0')
    {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = char('0' + value % 10);
            value /= 10;
        } while (value > 0 || n < width);
        while (n > 0)
            add(digits[--n]);
        if (after)
            add(after);
    }
    // Quoted where a CSV reader would otherwise split or trim it.
    void field(const char *s)
    {
        const std::size_t n = std::strlen(s);
        const bool quote = n > 0 && (s[0] == ' ' || s[n - 1] == ' ' || std::strpbrk(s, ",\"\r\n"));
        if (quote)
            add('"');
        for (; *s; ++s) {
            if (quote && *s == '"')
                add('"');
            add(*s);
        }
        if (quote)
            add('"');
    }
    // Now, local time as the record's other lines give it:
    // yyyy-MM-ddTHH:mm:ss.zzz+hh:mm.
    void stamp(int offsetSeconds)
    {
        long long utc = 0;
        int milliseconds = 0;
        platform::now(utc, milliseconds);
        const long long local = utc + offsetSeconds;
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
        number(year, 4, '-');
        number(month, 2, '-');
        number(day, 2, 'T');
        number(seconds / 3600, 2, ':');
        number(seconds / 60 % 60, 2, ':');
        number(seconds % 60, 2, '.');
        number(milliseconds, 3, offsetSeconds < 0 ? '-' : '+');
        const int minutes = (offsetSeconds < 0 ? -offsetSeconds : offsetSeconds) / 60;
        number(minutes / 60, 2, ':');
        number(minutes % 60, 2);
    }
};

void recordLine(qintptr record, int offset, const char *event, const char *detail)
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
    platform::append(record, line.text, line.size);
}

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
    recordFile.store(-1);
    recordOffset.store(utcOffsetSeconds);
    recordFile.store(platform::recordHandle(fd));
}

void clearRecord(int fd)
{
    qintptr expected = platform::recordHandle(fd);
    recordFile.compare_exchange_strong(expected, -1);
}

bool underWay()
{
    return ran.load();
}

void runNow(const char *reason)
{
    if (ran.exchange(true))
        return;
    const int savedErrno = errno;
    const qintptr line = lineHandle.exchange(-1);
    const qintptr record = recordFile.exchange(-1);
    const int offset = recordOffset.load();
    const int frame = frameLength.exchange(0);
    if (line != -1 && frame > 0) {
        // Sent and recorded from one copy: the run may set another frame, or
        // none, from its own thread while this one drains.
        char sent[MaxFrame + 1];
        std::memcpy(sent, frameBytes, std::size_t(frame));
        sent[frame] = '\0';
        const bool left = platform::sendAndDrain(line, sent, std::size_t(frame));
        if (record != -1)
            recordLine(record, offset, (left ? recordformat::Sent : recordformat::Unsent).data(),
                       sent);
    }
    if (record != -1) {
        recordLine(record, offset, recordformat::End.data(), reason);
        platform::sync(record);
    }
    if (line != -1 && lockPath[0] != '\0')
        platform::removeFile(lockPath);
    errno = savedErrno;
}

} // namespace emergency
