#include "dialogs/auxiliary_windows.h"

#include "dialogs/com_setting.h"
#include "dialogs/dialog.h"
#include "dialogs/frm_about.h"

AuxiliaryWindows::AuxiliaryWindows(QWidget *mainWindow) : main_window(mainWindow) {}
AuxiliaryWindows::~AuxiliaryWindows() = default;

void AuxiliaryWindows::showComSetting()
{
    if (!com_setting)
        com_setting = std::make_unique<ComSetting>(main_window);
    com_setting->showWindow();
}

void AuxiliaryWindows::showCommunicationError()
{
    if (!communication_error)
        communication_error = std::make_unique<Dialog>(main_window);
    communication_error->showWindow();
}

void AuxiliaryWindows::showAbout()
{
    if (!about_box)
        about_box = std::make_unique<FrmAbout>(main_window);
    about_box->showWindow();
}
