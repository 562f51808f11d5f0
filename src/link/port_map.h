// SPDX-License-Identifier: MIT
#pragma once

#include <QMap>
#include <QString>

#include <utility>

class QSettings;

// Where "Com N" leads: the device to open, or why it leads nowhere.
struct PortTarget
{
    PortTarget(QString path = {}, QString error = {})
        : path(std::move(path)), error(std::move(error))
    {
    }

    QString path;
    // Not empty: the port is not opened, and this is the description the
    // operator sees, e.g. "/dev/com1 leads to /dev/ttyUSB0, which is not present".
    QString error;
};

// Which device "Com 1" to "Com 8" open, first match wins (after the line of an
// instrument this program simulates, which comes before all):
//   1. --port N=PATH on the command line;
//   2. com1 to com8 in the [ports] group of the user's settings file;
//   3. /dev/comN when that name exists (a link there that leads nowhere is an
//      error, never a fall-through);
//   4. /dev/ttyS(N-1); on Windows COMN.
// Paths from the command line or the settings file that do not exist are errors
// too, naming where they came from.
class PortMap
{
public:
    using Paths = QMap<int, QString>; // port number -> device path

    // "Com 1" to "Com 8".
    static constexpr int FirstPort = 1;
    static constexpr int LastPort = 8;

    // The machine's own device names only.
    PortMap() = default;
    // `settings` is read now; only its [ports] group counts.
    PortMap(Paths commandLine, const QSettings &settings);

    // Where /dev/comN and /dev/ttySn are looked for; "/dev" unless a test
    // brings a folder of its own.
    void setDeviceDir(const QString &dir) { device_dir = dir; }

    // "Com N" leads to `path`, the line of an instrument this program plays
    // itself (--simulate), whatever else names the port.
    void simulate(int portNumber, const QString &path) { simulated.insert(portNumber, path); }

    PortTarget resolve(int portNumber) const;

    // For Communication Settings' tooltips: the path "Com N" opens now, where
    // that comes from, and what is there (a USB adapter's description,
    // manufacturer and serial number), or that nothing is.
    QString describe(int portNumber) const;

    // Serial ports open what this map resolves from now on; describe() is
    // then reached through installed().
    void install() const;
    // The map installed last; until then a map of the machine's own names.
    static const PortMap &installed();

private:
    enum class Origin { Simulated, CommandLine, SettingsFile, Alias, Standard };
    struct Located
    {
        QString path;
        Origin origin;
    };

    Located locate(int portNumber) const;
    QString problem(int portNumber, const Located &at) const;

    Paths simulated;
    Paths command_line;
    Paths settings_entries;
    QString settings_file;
    QString device_dir = QStringLiteral("/dev");
};
