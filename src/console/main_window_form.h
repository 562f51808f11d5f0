// SPDX-License-Identifier: MIT
#pragma once

#include "console/console_state.h"
#include "protocol/protocol.h"

#include <QMessageBox>
#include <QString>

#include <array>

class QAction;
class QLineEdit;
class QMainWindow;
class QWidget;

// The main window's controls and menus as built from the layout table.
struct MainWindowForm
{
    // The eleven calibration controls in their fixed order, the four reading
    // boxes in the order of the fields.
    std::array<QWidget *, console::CalibrationControlCount> calibration{};
    std::array<QLineEdit *, protocol::FieldCount> readings{};
    QAction *mnuFile_Exit = nullptr;
    QAction *mnuSetting_com_setting = nullptr;
    QAction *mnuOperation_start_capture = nullptr;
    QAction *mnuOperation_stop_capture = nullptr;
    QAction *About_Menu = nullptr;
};

// Builds the window as designed: fixed frame, icon, client area, controls
// (entry boxes taking only what a frame can carry, held keys pressing once),
// menus, the designed colours kept through palette changes, and the frame
// centred on the screen once the window manager has framed it.
MainWindowForm buildMainWindowForm(QMainWindow *window);

// Shown at once, with the window's title, as plain text, modal for the whole
// program and deleted once closed; `owner` may be none.
QMessageBox *showMessage(QWidget *window, QMessageBox::Icon icon, const QString &text,
                         QWidget *owner);
// Shown after the action that met the trouble has returned, as plain text,
// a very long path or paragraph shortened in the middle; no text, no message.
void showMessageLater(QWidget *window, QMessageBox::Icon icon, const QString &text);
// For an ending that may have no one left to read a message.
void printOnStandardError(const QString &text);
