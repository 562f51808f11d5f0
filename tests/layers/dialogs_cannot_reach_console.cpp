// The auxiliary windows are handed what they show; they never reach the console.
#include "dialogs/com_setting.h"
#include "console/orvane.h"
