// SPDX-License-Identifier: MIT
#include "link/port_map.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#ifdef Q_OS_WIN
#include "link/port_info_win.h"
#else
#include <QSerialPortInfo>
#endif
#include <QSettings>
#include <QStringList>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {

PortMap &installedSlot()
{
    static PortMap map;
    return map;
}

#ifndef Q_OS_WIN
bool isLink(const QString &path, bool *exists)
{
    struct stat st;
    *exists = ::lstat(QFile::encodeName(path).constData(), &st) == 0;
    return *exists && S_ISLNK(st.st_mode);
}

// The first name along a chain of links that is not there; empty when the
// chain ends at something that is. lstat, not stat: a dangling link is seen.
QString missingEnd(const QString &path)
{
    QString at = path;
    for (int hop = 0; hop < 16; ++hop) {
        bool exists = false;
        if (!isLink(at, &exists))
            return exists ? QString() : at;
        at = QFileInfo(at).symLinkTarget();
    }
    return at; // a loop of links leads nowhere either
}
#endif

// What QSerialPortInfo knows of the device at the end of `path`.
QString whatIsThere(const QString &path)
{
#ifdef Q_OS_WIN
    const WindowsPortInfo info = windowsPortInfo(path);
    if (!info.present)
        return QStringLiteral("Nothing is there: no port %1 is present.").arg(path);
    QStringList known;
    for (const QString &part : {info.friendlyName, info.manufacturer}) {
        if (!part.isEmpty())
            known += part;
    }
    const bool usb = info.usb;
#else
    const QString device = QFileInfo(path).canonicalFilePath();
    if (device.isEmpty())
        return QStringLiteral("Nothing is there: %1 is not present.").arg(path);
    const QSerialPortInfo info(device);
    if (info.isNull())
        return QStringLiteral("Present, but not a serial port this computer lists "
                              "(a pseudo-terminal, for example).");
    QStringList known;
    for (const QString &part : {info.description(), info.manufacturer()}) {
        if (!part.isEmpty())
            known += part;
    }
    if (!info.serialNumber().isEmpty())
        known += QStringLiteral("serial number %1").arg(info.serialNumber());
    const bool usb = info.hasVendorIdentifier();
#endif
    const QString what = usb ? QStringLiteral("USB adapter") : QStringLiteral("Serial port");
    if (known.isEmpty())
        return QStringLiteral("%1, with no description.").arg(what);
    return QStringLiteral("%1: %2.").arg(what, known.join(QStringLiteral(", ")));
}

} // namespace

PortMap::PortMap(Paths commandLine, const QSettings &settings)
    : command_line(std::move(commandLine)), settings_file(settings.fileName())
{
    for (int n = FirstPort; n <= LastPort; ++n) {
        const QVariant value = settings.value(QStringLiteral("ports/com%1").arg(n));
        // The settings reader splits a value at an unquoted comma.
        const QString path =
            (value.typeId() == QMetaType::QStringList ? value.toStringList().join(QLatin1Char(','))
                                                      : value.toString())
                .trimmed();
        if (!path.isEmpty())
            settings_entries.insert(n, path);
    }
#ifndef Q_OS_WIN
    // A path typed on the command line is relative to where the console starts.
    for (QString &path : command_line)
        path = QFileInfo(path).absoluteFilePath();
#endif
}

PortMap::Located PortMap::locate(int portNumber) const
{
    if (const auto it = simulated.find(portNumber); it != simulated.end())
        return {*it, Origin::Simulated};
    if (const auto it = command_line.find(portNumber); it != command_line.end())
        return {*it, Origin::CommandLine};
    if (const auto it = settings_entries.find(portNumber); it != settings_entries.end()) {
#ifdef Q_OS_WIN
        return {*it, Origin::SettingsFile};
#else
        // A bare name is a device, as for any serial port name: "ttyUSB0".
        return {QDir(device_dir).absoluteFilePath(*it), Origin::SettingsFile};
#endif
    }
#ifdef Q_OS_WIN
    return {QStringLiteral("COM%1").arg(portNumber), Origin::Standard};
#else
    const QString alias = QStringLiteral("%1/com%2").arg(device_dir).arg(portNumber);
    bool exists = false;
    isLink(alias, &exists);
    if (exists)
        return {alias, Origin::Alias};
    return {QStringLiteral("%1/ttyS%2").arg(device_dir).arg(portNumber - 1), Origin::Standard};
#endif
}

QString PortMap::problem(int portNumber, const Located &at) const
{
#ifdef Q_OS_WIN
    Q_UNUSED(portNumber);
    Q_UNUSED(at);
    return QString();
#else
    // The standard name is what the serial driver reports on as it is.
    if (at.origin == Origin::Standard)
        return QString();
    const QString end = missingEnd(at.path);
    if (end.isEmpty())
        return QString();
    QString from;
    if (at.origin == Origin::Simulated)
        from = QStringLiteral(", the simulated instrument's line,");
    else if (at.origin == Origin::CommandLine)
        from = QStringLiteral(", given for Com %1 on the command line,").arg(portNumber);
    else if (at.origin == Origin::SettingsFile)
        from = QStringLiteral(", set for Com %1 in %2,").arg(portNumber).arg(settings_file);
    if (end == at.path)
        return QStringLiteral("%1%2 is not present").arg(at.path, from);
    return QStringLiteral("%1%2 leads to %3, which is not present").arg(at.path, from, end);
#endif
}

PortTarget PortMap::resolve(int portNumber) const
{
    const Located at = locate(portNumber);
    return {at.path, problem(portNumber, at)};
}

QString PortMap::describe(int portNumber) const
{
    const Located at = locate(portNumber);
    QString origin;
    switch (at.origin) {
    case Origin::Simulated:
        origin = QStringLiteral("simulated instrument: --simulate on the command line");
        break;
    case Origin::CommandLine:
        origin = QStringLiteral("--port on the command line");
        break;
    case Origin::SettingsFile:
        origin = QStringLiteral("com%1 in %2").arg(portNumber).arg(settings_file);
        break;
    case Origin::Alias:
        origin = QStringLiteral("an alias made on this computer");
        break;
    case Origin::Standard:
        origin = QStringLiteral("the standard name; no other is set");
        break;
    }
    QStringList lines{QStringLiteral("Com %1 opens %2 (%3).").arg(portNumber).arg(at.path, origin)};
    const QString error = problem(portNumber, at);
    if (!error.isEmpty()) {
        lines += QStringLiteral("Nothing is there: %1.").arg(error);
        return lines.join(QLatin1Char('\n'));
    }
#ifndef Q_OS_WIN
    const QString device = QFileInfo(at.path).canonicalFilePath();
    if (!device.isEmpty() && device != at.path)
        lines += QStringLiteral("It leads to %1.").arg(device);
#endif
    if (at.origin == Origin::Simulated)
        lines += QStringLiteral("A pseudo-terminal; this program plays the instrument at its "
                                "other end.");
    else
        lines += whatIsThere(at.path);
    return lines.join(QLatin1Char('\n'));
}

void PortMap::install() const
{
    installedSlot() = *this;
}

const PortMap &PortMap::installed()
{
    return installedSlot();
}
