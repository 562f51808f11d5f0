// The link has no widgets.
#include "link/serial_port.h"
#include "dialogs/com_setting.h"
