// SPDX-License-Identifier: MIT
#include "dialogs/auxiliary_windows.h"

#include "dialogs/com_setting.h"
#include "dialogs/information_window.h"

AuxiliaryWindows::AuxiliaryWindows(QWidget *mainWindow) : main_window(mainWindow) {}
AuxiliaryWindows::~AuxiliaryWindows() = default;

void AuxiliaryWindows::showComSetting(qint16 currentPort, const QStringList &descriptions)
{
    if (!com_setting) {
        com_setting = std::make_unique<ComSetting>(main_window);
        connect(com_setting.get(), &ComSetting::portChosen, this, &AuxiliaryWindows::portChosen);
    }
    com_setting->showFor(currentPort, descriptions);
}

void AuxiliaryWindows::showCommunicationError()
{
    if (!communication_error)
        communication_error = std::make_unique<InformationWindow>(
            InformationWindow::Kind::CommunicationError, main_window);
    communication_error->showWindow();
}

void AuxiliaryWindows::showAbout()
{
    if (!about_box)
        about_box =
            std::make_unique<InformationWindow>(InformationWindow::Kind::About, main_window);
    about_box->showWindow();
}
