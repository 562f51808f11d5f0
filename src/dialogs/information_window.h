// SPDX-License-Identifier: MIT
#pragma once

#include "dialogs/auxiliary_window.h"

// A window that only informs: a few labels and an OK button that closes it,
// centred on the screen. The Communication Error window and the About box are
// two of them, told apart only by their design.
class InformationWindow : public AuxiliaryWindow
{
    Q_OBJECT
public:
    enum class Kind {
        CommunicationError, // object name "Dialog": no instrument has answered yet
        About,              // object name "FrmAbout": the maker's name and addresses
    };

    InformationWindow(Kind kind, QWidget *mainWindow);
};
