#pragma once

#include <QtGlobal>

// Program-wide values, alive for the whole process.
namespace Module1 {

// Serial port number, 1 to 8. The main window's load sets 1; only the
// Communication Settings dialog changes it (on OK); Start Config. reads it.
extern qint16 comm_port;

// Set to 1 by the receive framer at every "$" and never cleared, so once the
// instrument has answered the device check passes for the rest of the process.
extern qint16 device_found;

} // namespace Module1
