// SPDX-License-Identifier: MIT
// The simulated instrument stands where a real one would: below the console,
// beside the link, with no windows of its own.
#include "console/orvane.h"
#include "sim/instrument.h"
