#pragma once

#include "dialogs/auxiliary_window.h"

// Communication Error: shown instead of a guarded action while no instrument
// has answered yet. Informs only.
class Dialog : public AuxiliaryWindow
{
    Q_OBJECT
public:
    explicit Dialog(QWidget *mainWindow);

protected:
    QRect placement() const override { return centredOnScreen(); }
};
