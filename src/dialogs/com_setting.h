// SPDX-License-Identifier: MIT
#pragma once

#include "dialogs/auxiliary_window.h"

#include <QStringList>

class QComboBox;

// Communication Settings: picks the serial port (1 to 8) that the next
// configuration run opens. It keeps nothing between openings: the opener
// hands in the current port, OK hands back the one picked.
class ComSetting : public AuxiliaryWindow
{
    Q_OBJECT
public:
    explicit ComSetting(QWidget *mainWindow);

    // Shows the window with `port` selected (none outside 1..8); `descriptions`
    // are the tooltip and accessible description of each entry, "Com 1" first;
    // the entries themselves stay "Com 1" to "Com 8".
    void showFor(qint16 port, const QStringList &descriptions)
    {
        current_port = port;
        port_descriptions = descriptions;
        showWindow();
    }

signals:
    // OK pressed with an entry selected; Cancel and the close box say nothing.
    void portChosen(qint16 port);

protected:
    void load() override;

private:
    void okButtonClicked();

    QComboBox *port_combo;
    qint16 current_port = 1;
    QStringList port_descriptions;
};
