#pragma once

#include "dialogs/auxiliary_window.h"

// About box: the maker's name, web address and postal address.
class FrmAbout : public AuxiliaryWindow
{
    Q_OBJECT
public:
    explicit FrmAbout(QWidget *mainWindow);

protected:
    QRect placement() const override { return centredOnScreen(); }
};
