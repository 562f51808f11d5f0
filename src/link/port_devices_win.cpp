// SPDX-License-Identifier: MIT
// What the port map asks of Windows: the ports' names, and for the tooltips
// of Communication Settings the name Device Manager shows, the maker, and
// whether the port is a USB adapter.
#include "link/port_devices.h"

#include <windows.h>

#include <initguid.h>

#include <devguid.h>
#include <setupapi.h>

namespace {

QString registryText(HDEVINFO set, SP_DEVINFO_DATA &device, DWORD property)
{
    wchar_t buffer[512] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type,
                                           reinterpret_cast<BYTE *>(buffer),
                                           sizeof buffer - sizeof(wchar_t), nullptr))
        return {};
    return QString::fromWCharArray(buffer);
}

QString portNameOf(HDEVINFO set, SP_DEVINFO_DATA &device)
{
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    wchar_t buffer[64] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    const bool read = RegQueryValueExW(key, L"PortName", nullptr, &type,
                                       reinterpret_cast<BYTE *>(buffer), &size) == ERROR_SUCCESS &&
                      type == REG_SZ;
    RegCloseKey(key);
    return read ? QString::fromWCharArray(buffer) : QString();
}

} // namespace

namespace portdevices {

const SettingsPlace settingsPlace{"APPDATA", "/AppData/Roaming", ".ini"};

QString fromCommandLine(const QString &path)
{
    return path;
}

QString fromSettings(const QString &, const QString &value)
{
    return value;
}

void standardName(const QString &, PortTarget &at)
{
    at.path = QStringLiteral("COM%1").arg(at.portNumber);
}

// Windows' port names are no links.
QString missingEnd(const QString &)
{
    return {};
}

// Present when Windows has a device of that name, whether or not it lists a
// description.
void describe(const QString &name, PortDescription &description)
{
    wchar_t target[1024];
    bool present = QueryDosDeviceW(reinterpret_cast<const wchar_t *>(name.utf16()), target,
                                   sizeof target / sizeof target[0]) != 0;
    bool usb = false;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; set != INVALID_HANDLE_VALUE && SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        if (portNameOf(set, device).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        present = true;
        for (const DWORD property : {DWORD(SPDRP_FRIENDLYNAME), DWORD(SPDRP_MFG)}) {
            const QString part = registryText(set, device, property);
            if (!part.isEmpty())
                description.details += part;
        }
        usb = registryText(set, device, SPDRP_HARDWAREID)
                  .startsWith(QLatin1String("USB\\"), Qt::CaseInsensitive);
        break;
    }
    if (set != INVALID_HANDLE_VALUE)
        SetupDiDestroyDeviceInfoList(set);
    description.kind = !present ? PortDescription::Kind::Absent
                       : usb    ? PortDescription::Kind::UsbAdapter
                                : PortDescription::Kind::SerialPort;
}

} // namespace portdevices
