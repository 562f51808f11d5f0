// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

struct WindowsPortInfo
{
    bool present = false;
    bool usb = false;
    QString friendlyName; // as Device Manager shows it: "USB Serial Port (COM3)"
    QString manufacturer;
};

// What Windows knows of the port `name` ("COM3"); present when Windows has a
// device of that name, whether or not it lists a description.
WindowsPortInfo windowsPortInfo(const QString &name);
