// SPDX-License-Identifier: MIT
// The link has no widgets.
#include "dialogs/com_setting.h"
#include "link/serial_port.h"
