// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QString>

// What must still happen when the process ends without its own closing steps
// (the display lost, exit() from a library, a fatal error, an uncaught
// exception, a crash): a feed still running gets its stop frame on the open
// line, the run's record gets its end line, and the port's lock file goes.
// Whoever owns the line, the feed and the record keeps its part registered
// here; runNow() then needs nothing but system calls, so that a signal handler
// or an exception filter may call it. Registering happens on one thread.
namespace emergency {

// The open line (Windows: its HANDLE), and the lock file made for it (empty: none).
void setLine(qintptr handle, const QString &lockFile);
// Only when `handle` is the line registered.
void clearLine(qintptr handle);

// The frame that stops what the instrument does now; empty: nothing to stop.
void setStopFrame(QByteArrayView frame);

// The record's descriptor, appended to; its lines are stamped with this offset.
void setRecord(int fd, int utcOffsetSeconds);
// Only when `fd` is the record registered.
void clearRecord(int fd);

// Stops the feed (the frame written and drained for about a second at most),
// records "sent" or "unsent" for it and "end" with `reason`, removes the lock
// file. Once per process; later calls do nothing. Async-signal-safe.
void runNow(const char *reason);
// runNow() has begun: a line's own writer must not put anything after its
// stop frame.
bool underWay();

} // namespace emergency
