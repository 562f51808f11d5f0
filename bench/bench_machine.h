// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// What every benchmark prints about where it ran, and the process figures
// that several of them measure.
namespace bench {

// "cpu: <model>, <n> cores; Qt <version>; <compiler>, <build type>".
QString machineLine();

// User plus system CPU time of this process, in seconds.
double processCpuSeconds();

// Resident set size of a process (this one by default), in KiB; -1 if unknown.
qint64 residentKiB(qint64 pid = 0);

// CPU time (user plus system) of another process, in seconds; -1 if unknown.
double processCpuSecondsOf(qint64 pid);

// The line's rate: 19200 baud, 10 bits per character on the wire.
inline constexpr double LineBytesPerSecond = 1920.0;
// Status frames a second at that rate, one frame being 18 bytes.
inline constexpr double LineFramesPerSecond = LineBytesPerSecond / 18.0;

} // namespace bench
