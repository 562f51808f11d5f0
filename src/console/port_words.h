// SPDX-License-Identifier: MIT
#pragma once

#include "link/port_map.h"
#include "link/serial_port.h"

#include <QCoreApplication>
#include <QString>

// What the link reports about ports, in the words the operator reads: the
// console's menus and the program's options are named here, not in the link.
class PortWords
{
    Q_DECLARE_TR_FUNCTIONS(PortWords)
public:
    // "Com 3 (/dev/ttyS2) cannot be opened.", the cause if it is a common one,
    // the note if any, then the error's number and the system's description.
    // The path is the one that was opened: "Com N" may lead elsewhere by now
    // (an adapter's link gone with the adapter).
    static QString message(int comPort, const QString &what, const PortError &error,
                           const QString &note = QString());
    // The cause and what to do about it, which leads the message. Empty for a
    // cause the system does not tell apart.
    static QString trouble(const PortError &error);
    // What follows "Error N:": the system's own text, or why the path leads
    // nowhere.
    static QString detail(const PortError &error);
    // Why "Com N" leads nowhere, e.g. "/dev/com1 leads to /dev/ttyUSB0, which
    // is not present"; empty when it leads somewhere.
    static QString missing(const PortTarget &target);
    // For Communication Settings' tooltips.
    static QString description(const PortDescription &description);
    // The settings file, the line and what was expected there.
    static QString settingsProblem(const SettingsFileProblem &problem);
    // The line on standard error at start.
    static QString settingsWarning(const SettingsFileProblem &problem);
};
