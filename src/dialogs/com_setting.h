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

    // Selected at the next opening; none is selected outside 1..8.
    void setCurrentPort(qint16 port) { current_port = port; }
    // Tooltip and accessible description of each entry, "Com 1" first; the
    // entries themselves stay "Com 1" to "Com 8".
    void setPortDescriptions(const QStringList &descriptions);

signals:
    // OK pressed with an entry selected; Cancel and the close box say nothing.
    void portChosen(qint16 port);

protected:
    void load() override;
    QRect placement() const override;

private:
    void okButtonClicked();
    void cancelButtonClicked();

    QComboBox *port_combo;
    qint16 current_port = 1;
    QStringList port_descriptions;
};
