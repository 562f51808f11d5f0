// SPDX-License-Identifier: MIT
#pragma once

#include "protocol/protocol.h"

#include <QtGlobal>

#include <cstddef>

// What the last-moment stop asks of the system, one file per system. Each of
// these may run in a signal handler or an exception filter: system calls on
// handles opened beforehand, nothing else.
namespace emergency::platform {

using protocol::DrainMs;

// The record's handle for the C runtime's descriptor `fd`; -1 for none.
qintptr recordHandle(int fd);
// Now, since 1970-01-01 UTC.
void now(long long &seconds, int &milliseconds);
// The frame on the line, then the driver's queue empty, within DrainMs; false
// when it did not leave in time.
bool sendAndDrain(qintptr line, const char *frame, std::size_t size);
// Whole or not at all, as every other line of the record.
void append(qintptr record, const char *text, std::size_t size);
void sync(qintptr record);
void removeFile(const char *path);

} // namespace emergency::platform
