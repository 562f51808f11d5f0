// SPDX-License-Identifier: MIT
// The program's start-up pieces sit above the console.
#include "console/orvane.h"
#include "startup/command_line.h"
