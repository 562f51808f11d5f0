// SPDX-License-Identifier: MIT
#pragma once

#include <QMap>
#include <QString>

#include <optional>

// What the command line asks of the console.
struct CommandLine
{
    // Set: the program ends now with this status and shows no window (--help,
    // --version, a bad option or value, or no desktop to show a window on).
    std::optional<int> exitStatus;
    // --port N=PATH: "Com N" opens PATH.
    QMap<int, QString> ports;
    // --simulate: the port that leads to an instrument the program plays itself
    // (0: none).
    int simulatedPort = 0;
    // --sheet RECORD: make the calibration sheet of that record, without a
    // display, and end (empty: none).
    QString sheetRecord;
};

// Reads the console's own options before any window exists, so that --help,
// --version and a bad option need no display. Qt's own options (-platform,
// -style, -reverse and the rest) are accepted and left to QApplication. Sets the
// organisation, name and version that QSettings and --version go by.
CommandLine readCommandLine(int argc, char *argv[]);
