// SPDX-License-Identifier: MIT
#include "link/port_devices.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace portdevices {

const SettingsPlace settingsPlace{"XDG_CONFIG_HOME", "/.config", ".conf"};

// Relative to where the console starts.
QString fromCommandLine(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

// A bare name is a device, as for any serial port name: "ttyUSB0".
QString fromSettings(const QString &deviceDir, const QString &value)
{
    return QDir(deviceDir).absoluteFilePath(value);
}

void standardName(const QString &deviceDir, PortTarget &at)
{
    const QString alias = QStringLiteral("%1/com%2").arg(deviceDir).arg(at.portNumber);
    // A link there that leads nowhere counts.
    const bool exists = QFileInfo(alias).isSymLink() || QFileInfo::exists(alias);
    at.origin = exists ? PortOrigin::Alias : PortOrigin::Standard;
    at.path = exists ? alias : QStringLiteral("%1/ttyS%2").arg(deviceDir).arg(at.portNumber - 1);
}

// Link by link, so that a dangling one is seen.
QString missingEnd(const QString &path)
{
    QString at = path;
    for (int hop = 0; hop < 16; ++hop) {
        const QFileInfo info(at);
        if (!info.isSymLink())
            return info.exists() ? QString() : at;
        at = info.symLinkTarget();
    }
    return at; // a loop of links leads nowhere either
}

void describe(const QString &path, PortDescription &description)
{
    const QString device = QFileInfo(path).canonicalFilePath();
    if (device != path)
        description.device = device;
    if (device.isEmpty()) {
        description.kind = PortDescription::Kind::Absent;
        return;
    }
    const QSerialPortInfo info(device);
    if (info.isNull()) {
        description.kind = PortDescription::Kind::NotListed;
        return;
    }
    for (const QString &part : {info.description(), info.manufacturer()}) {
        if (!part.isEmpty())
            description.details += part;
    }
    description.serialNumber = info.serialNumber();
    description.kind = info.hasVendorIdentifier() ? PortDescription::Kind::UsbAdapter
                                                  : PortDescription::Kind::SerialPort;
}

} // namespace portdevices
