// SPDX-License-Identifier: MIT
// What Windows knows of a serial port, for the tooltips of Communication
// Settings: the name Device Manager shows, its maker, and whether it is a USB
// adapter.
#include "link/port_info_win.h"

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

WindowsPortInfo windowsPortInfo(const QString &name)
{
    WindowsPortInfo info;
    wchar_t target[1024];
    info.present = QueryDosDeviceW(reinterpret_cast<const wchar_t *>(name.utf16()), target,
                                   sizeof target / sizeof target[0]) != 0;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return info;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        if (portNameOf(set, device).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        info.present = true;
        info.friendlyName = registryText(set, device, SPDRP_FRIENDLYNAME);
        info.manufacturer = registryText(set, device, SPDRP_MFG);
        info.usb = registryText(set, device, SPDRP_HARDWAREID)
                       .startsWith(QLatin1String("USB\\"), Qt::CaseInsensitive);
        break;
    }
    SetupDiDestroyDeviceInfoList(set);
    return info;
}
