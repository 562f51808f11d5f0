// SPDX-License-Identifier: MIT
// The auxiliary windows are handed what they show; they never reach the console.
#include "console/orvane.h"
#include "dialogs/com_setting.h"
