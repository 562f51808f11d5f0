// SPDX-License-Identifier: MIT
#include "dialogs/com_setting.h"

#include <QComboBox>
#include <QPushButton>

namespace {

constexpr int PortCount = 8;

using K = design::ControlKind;

constexpr design::FormWindow Window = {"ComSetting", "Communication Settings", 4560, 1560};

// No font of its own anywhere: the default dialog font throughout.
// clang-format off
constexpr design::FormControl Controls[] = {
    // name          kind              text            left  top  width height  tab
    {"OKButton",     K::CommandButton, "OK",           {3240, 120, 1215, 375},  0},
    {"CancelButton", K::CommandButton, "Cancel",       {3240, 720, 1215, 375},  1},
    {"Label1",       K::Label,         "Serial  Port", { 360, 240, 1335, 375},  2},
    {"port_combo",   K::DropDownList,  "",             {1320, 120, 1455, 315},  3},
};
// clang-format on

} // namespace

ComSetting::ComSetting(QWidget *mainWindow)
    : AuxiliaryWindow(mainWindow, Window, Controls, std::size(Controls)),
      port_combo(findChild<QComboBox *>(QStringLiteral("port_combo")))
{
    screen_offset = QPoint(design::twipsToPixels(2760), design::twipsToPixels(3750));
    connect(okButton(), &QPushButton::clicked, this, &ComSetting::okButtonClicked);
    connect(findChild<QPushButton *>(QStringLiteral("CancelButton")), &QPushButton::clicked, this,
            &QWidget::close);
}

void ComSetting::load()
{
    // The list is built afresh at every opening, so what was picked and then
    // cancelled last time is gone.
    port_combo->clear();
    for (int port = 1; port <= PortCount; ++port) {
        port_combo->addItem(QStringLiteral("Com %1").arg(port));
        if (port <= port_descriptions.size()) {
            const QString &where = port_descriptions.at(port - 1);
            port_combo->setItemData(port - 1, where, Qt::ToolTipRole);
            port_combo->setItemData(port - 1, where, Qt::AccessibleDescriptionRole);
        }
    }
    const int port = current_port;
    port_combo->setCurrentIndex(port >= 1 && port <= PortCount ? port - 1 : -1);
}

void ComSetting::okButtonClicked()
{
    const int position = port_combo->currentIndex();
    if (position >= 0)
        emit portChosen(static_cast<qint16>(position + 1));
    close();
}
