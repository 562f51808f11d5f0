// SPDX-License-Identifier: MIT
// The link reports frames; it never writes the program's values itself.
#include "app/module1.h"
#include "protocol/protocol.h"
