// SPDX-License-Identifier: MIT
// A record takes the protocol's fields; it never touches a serial port.
#include "records/run_record.h"
#include <QtSerialPort/QSerialPort>
