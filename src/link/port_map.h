// SPDX-License-Identifier: MIT
#pragma once

#include "ending/regular_file.h"

#include <QMap>
#include <QString>
#include <QStringList>

// A line of the settings file that is not understood, and what was expected
// there. The first one found is kept, with the number of the others. Or the
// file as a whole: not a regular file, too large, or a file beside it that the
// console does not read.
struct SettingsFileProblem
{
    enum class Expected {
        None,           // the file is right (or absent)
        Readable,       // the file exists but cannot be read; `text` is the system's reason
        RegularFile,    // a folder, a FIFO, a device or a socket; `text`: where a link leads
        SmallerFile,    // larger than MaxFileSize
        NoStrayFile,    // `file` lies beside the settings file, `text`, and is not read
        PortsGroup,     // a group other than [ports]
        UnderPorts,     // a key before any group
        PortKey,        // in [ports], a key other than com1 to com8, or no "="
        ClosingQuote,   // a quote that the line does not close
        NoContinuation, // a backslash at the end of the line, which would join the next
        Escape,         // a backslash before anything but \, ", ' or xHH
        EndAfterQuote,  // text after the closing quote
        WholeQuote,     // a quote inside a value that does not start with one
        Once,           // a port set twice
        ShorterLine,    // a line longer than any path
    };

    Expected expected = Expected::None;
    QString file;
    int line = 0;   // 1 for the first line; 0 for the file as a whole
    QString text;   // the line as found, or the reason the file cannot be read
    int others = 0; // further lines not understood
    // RegularFile: what stands at the file's name instead.
    regularfile::Kind kind = regularfile::Kind::Other;

    static constexpr qint64 MaxFileSize = 64 * 1024;

    bool isEmpty() const { return expected == Expected::None; }
};

// Where the path of "Com N" comes from.
enum class PortOrigin { Simulated, CommandLine, SettingsFile, Alias, Standard };

// Where "Com N" leads: the device to open, or why it leads nowhere.
struct PortTarget
{
    int portNumber = 0;
    QString path;
    PortOrigin origin = PortOrigin::Standard;
    QString settingsFile; // origin SettingsFile: the file that names the path ...
    int settingsLine = 0; // ... on this line
    // Not empty: the first name along the path's links that is not there; the
    // port is not opened.
    QString missing;
    // Not empty: the path is a fallback that a settings file with lines it does
    // not understand may not have meant; the port is not opened.
    SettingsFileProblem settings;

    bool opens() const { return missing.isEmpty() && settings.isEmpty(); }
};

// What is at the end of a port's path, for Communication Settings' tooltips.
struct PortDescription
{
    enum class Kind {
        Missing,    // target.missing or target.settings says why
        Absent,     // nothing at the path (a standard name with no device)
        Simulated,  // the line of an instrument this program plays
        NotListed,  // present, but not a serial port the system lists
        UsbAdapter, // with `details`
        SerialPort, // with `details`
    };

    PortTarget target;
    Kind kind = Kind::Absent;
    QString device;      // the device the path leads to, when it is another name
    QStringList details; // description, manufacturer; then serialNumber
    QString serialNumber;
};

// Which device "Com 1" to "Com 8" open, first match wins (after the line of an
// instrument this program simulates, which comes before all):
//   1. --port N=PATH on the command line;
//   2. com1 to com8 in the [ports] group of the user's settings file;
//   3. /dev/comN when that name exists (a link there that leads nowhere is an
//      error, never a fall-through);
//   4. /dev/ttyS(N-1); on Windows COMN.
// Paths from the command line or the settings file that do not exist are errors
// too, naming where they came from. A settings file with a line it does not
// understand stops every port it does not set from falling back to 3 or 4, and
// so does a file that cannot be read or a zelvor-console.ini beside a .conf.
class PortMap
{
public:
    using Paths = QMap<int, QString>; // port number -> device path

    // "Com 1" to "Com 8".
    static constexpr int FirstPort = 1;
    static constexpr int LastPort = 8;

    // The machine's own device names only.
    PortMap() = default;
    // `settingsFile` is read now, strictly; a file that is not there sets nothing.
    explicit PortMap(Paths commandLine, const QString &settingsFile = QString());

    // The user's settings file, the one the console reads:
    // $XDG_CONFIG_HOME/Zelvor/zelvor-console.conf (~/.config when that is not
    // an absolute path); %APPDATA%\Zelvor\zelvor-console.ini on Windows.
    static QString userSettingsFile();

    // Where /dev/comN and /dev/ttySn are looked for; "/dev" unless a test
    // brings a folder of its own.
    void setDeviceDir(const QString &dir) { device_dir = dir; }

    // "Com N" leads to `path`, the line of an instrument this program plays
    // itself (--simulate), whatever else names the port.
    void simulate(int portNumber, const QString &path) { simulated.insert(portNumber, path); }

    PortTarget resolve(int portNumber) const;

    // The path "Com N" opens now, where that comes from, and what is there (a
    // USB adapter's description, manufacturer and serial number), or that
    // nothing is.
    PortDescription describe(int portNumber) const;

    // What keeps the ports the file does not set from falling back: the file's
    // own first problem, else a file beside it that is not read; empty when none.
    const SettingsFileProblem &settingsProblem() const
    {
        return settings_problem.isEmpty() ? stray_problem : settings_problem;
    }
    // Both, each told on its own line at start.
    QList<SettingsFileProblem> settingsProblems() const;

private:
    void readSettingsFile(const QString &file);

    Paths simulated;
    Paths command_line;
    Paths settings_entries;
    QMap<int, int> settings_lines; // port number -> line of its entry
    QString settings_file;
    SettingsFileProblem settings_problem;
    SettingsFileProblem stray_problem;
    QString device_dir = QStringLiteral("/dev");
};
