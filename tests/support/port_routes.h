// SPDX-License-Identifier: MIT
#pragma once

#include "link/port_map.h"

// Every "Com N" opens `path`, as "--port N=PATH" given for each port would
// make it; hand it to the port (or the window) that should follow it.
inline PortMap everyPortTo(const QString &path)
{
    PortMap::Paths paths;
    for (int n = PortMap::FirstPort; n <= PortMap::LastPort; ++n)
        paths.insert(n, path);
    return PortMap(paths);
}
