// SPDX-License-Identifier: MIT
#pragma once

#include "link/port_map.h"

// What the port map asks of the system it runs on; each platform has its own.
namespace portdevices {

// The settings file's folder variable, where it usually is below the home
// folder, and the file's suffix.
struct SettingsPlace
{
    const char *variable;
    const char *usual;
    const char *suffix;
};
extern const SettingsPlace settingsPlace;

// A path as typed on the command line, made what the port opens.
QString fromCommandLine(const QString &path);
// A settings file's value, made what the port opens.
QString fromSettings(const QString &deviceDir, const QString &value);
// Sets the path and origin of "Com N" that nothing names.
void standardName(const QString &deviceDir, PortTarget &at);
// The first name along the path's links that is not there; empty when none.
QString missingEnd(const QString &path);
// What the system knows of the serial port at the end of `path`, and the
// device the path leads to when that is another name.
void describe(const QString &path, PortDescription &description);

} // namespace portdevices
