// SPDX-License-Identifier: MIT
// The link has no widgets, not even through Qt's own include root.
#include "link/serial_port.h"
#include <QtWidgets/QWidget>
