#pragma once

#include "dialogs/auxiliary_window.h"

class QComboBox;

// Communication Settings: picks the serial port (1 to 8) that the next
// configuration run opens, by writing Module1::comm_port on OK.
class ComSetting : public AuxiliaryWindow
{
    Q_OBJECT
public:
    explicit ComSetting(QWidget *mainWindow);

protected:
    void load() override;
    QRect placement() const override;

private:
    void okButtonClicked();
    void cancelButtonClicked();

    QComboBox *port_combo;
};
