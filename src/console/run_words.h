// SPDX-License-Identifier: MIT
#pragma once

#include "run/configuration_run.h"

#include <QCoreApplication>
#include <QString>

// What a configuration run reports, in the words the operator reads.
class RunWords
{
    Q_DECLARE_TR_FUNCTIONS(RunWords)
public:
    // The frames that never left and, for a stop frame among them, which
    // output may still be fed; empty when every frame left.
    static QString unsent(const ConfigurationRun::Ended &ended, int comPort,
                          const QString &openedPath);
    // For a port lost during the run: which output may still be fed.
    static QString feedNote(const ConfigurationRun::Ended &ended);
    // A sheet that could not be made; empty when it was (or was given up).
    static QString sheetFailure(const runsheet::Result &sheet);
    // What the program's end must still tell of the sheets being made: each
    // that could not be made, each given up with the command that makes it.
    static QStringList sheetsLeft(const SheetMaker::Outcome &left, int waitedSeconds);
    // Paths and system texts may be of any length: a very long word keeps
    // its two ends, and so does a paragraph that would not fit on a screen.
    static QString shortenedInTheMiddle(const QString &text);
};
