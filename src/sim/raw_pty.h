// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The instrument's end of a pseudo-terminal, for the simulated instrument, the
// tests and the benchmarks alike.
struct RawPty
{
    int master = -1; // -1 when opening failed
    int slave = -1;  // open, for a caller that keeps the line up between runs
    QString slavePath;
    QString error;
};

// Opens a pseudo-terminal whose slave side is raw at 19200 baud from the start,
// so nothing sent before the console sets the line up is echoed back or
// altered. The caller owns both descriptors.
RawPty openRawPty();
