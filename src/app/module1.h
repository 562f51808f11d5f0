// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// Program-wide values, alive for the whole process. The console is their only
// writer; the link and the auxiliary windows never see them.
namespace Module1 {

// Serial port number, 1 to 8: 1 at the main window's load, then what
// Communication Settings hands back on OK. Start Config. opens it.
extern qint16 comm_port;

// Set to 1 when a status frame ends (the instrument has answered); the device
// check of the guarded actions reads it.
extern qint16 device_found;

} // namespace Module1
