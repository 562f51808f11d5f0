// SPDX-License-Identifier: MIT
#include "app/module1.h"

namespace Module1 {

qint16 comm_port = 1;
qint16 device_found = 0;

} // namespace Module1
