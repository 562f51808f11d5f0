// SPDX-License-Identifier: MIT
#include "sim/line.h"

#include "link/port_map.h"

PortLine::PortLine(const QString &path, QObject *parent) : Line(parent), path(path)
{
    // The project's port opens "Com N": here Com 1, the port's own first number.
    port.setPortMap(PortMap({{1, path}}));
    connect(&port, &SerialPort::received, this, [this] { emit received(port.read()); });
    connect(&port, &SerialPort::failed, this, [this](const PortError &e) {
        emit trouble(QStringLiteral("port failed: %1").arg(e.description));
    });
    port.open();
}
