#include "dialogs/auxiliary_windows.h"

// Placeholder until the three windows land.
class ComSetting {};
class Dialog {};
class FrmAbout {};

AuxiliaryWindows::AuxiliaryWindows(QWidget *mainWindow) : main_window(mainWindow) {}
AuxiliaryWindows::~AuxiliaryWindows() = default;

void AuxiliaryWindows::showComSetting() {}
void AuxiliaryWindows::showCommunicationError() {}
void AuxiliaryWindows::showAbout() {}
