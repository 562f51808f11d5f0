// SPDX-License-Identifier: MIT
#include "console/main_window_layout.h"

namespace layout {

const char *objectName(console::CalibrationControl control)
{
    for (const ControlSpec &row : MainWindowControls) {
        if (row.role.kind == ControlRole::Calibration &&
            row.role.position == console::position(control))
            return row.name;
    }
    return nullptr;
}

} // namespace layout
