// SPDX-License-Identifier: MIT
#pragma once

#include "console/console_state.h"
#include "console/main_window_form.h"
#include "dialogs/auxiliary_windows.h"
#include "link/device_link.h"
#include "run/configuration_run.h"

#include <QMainWindow>

#include <optional>

class QLineEdit;
class QPushButton;

// The console's main window: the reading boxes, the
// calibration controls and the menus, built from the layout table of
// main_window_layout.h; the console states of console_state.h; the serial
// control MSComm1 and the handlers behind every button and menu item.
//
// As in the design, the console keeps no state variable of its own: the state
// is the Enabled flags of the eleven calibration controls, and every action
// writes all eleven (applyState()). A handler that writes to the port writes
// first and changes controls afterwards.
//
// Every configuration run is recorded (RunRecord): what the instrument read,
// each frame written, each refusal and how the run ended. The record only
// watches; a record that cannot be written is reported once and the run goes on.
// When the run has ended and the port is closed, a whole record gets its
// calibration sheet beside it (runsheet::make).
class Orvane : public QMainWindow, private MainWindowForm
{
    Q_OBJECT
public:
    explicit Orvane(QWidget *parent = nullptr);

    // The state that the calibration controls' Enabled flags make up.
    std::optional<console::ConsoleState> consoleState() const;

    // Ends the program in order, as File > Exit does: a feed still running is
    // stopped, the port closed and its lock released, the event loop left
    // with status 0. For the ending signals (logout, kill, service managers):
    // the run's record ends with "signal".
    void endInOrder() { endProgram(ConfigurationRun::Ending::Signal); }
    // The desktop session ends (Windows: log off, shut down): as endInOrder().
    void endSession() { endProgram(ConfigurationRun::Ending::SessionEnded); }

    // Where "Com 1" to "Com 8" lead from the next Start Config. on.
    void setPortMap(const PortMap &ports) { MSComm1.port().setPortMap(ports); }

    // Where the records of the runs started from now on go, instead of the
    // application's data folder as it is at each Start Config.; an empty
    // folder keeps no records.
    void setRunRecordFolder(const QString &folder) { run.setRecordFolder(folder); }

    // Each record from the next run on names this program and its version,
    // the computer and the account, for the calibration sheet.
    void recordWhoRuns();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void connectHandlers();

    // Writes the eleven Enabled flags in the fixed order; an entry box that
    // the state enables for typing is cleared right after it is enabled.
    void applyState(console::ConsoleState state);
    // Where the focus goes when the state disabled the control that had it.
    void moveFocusFrom(QWidget *disabled, const console::StateRow &row);
    QPushButton *button(console::CalibrationControl control) const;
    QLineEdit *entryBox(console::CalibrationControl control) const;
    void applyRunMenus(bool runOpen);

    // The device check of the five guarded actions: false (after showing the
    // Communication Error dialog and recording the refusal of `action`) while
    // no instrument has answered.
    bool deviceCheck(console::CalibrationControl action);
    // "Com N (path) <what>", the cause in words a technician can act on, the
    // note if any, then the error's number and the system's own text; shown
    // after the action has returned, so that an action triggered through
    // assistive technology does not wait for the operator to close it.
    void showPortError(const QString &what, const PortError &error,
                       const QString &note = QString());
    // Enter L and Enter H: the value in `entry` sent, unless it is empty.
    void enterValue(console::CalibrationControl entry, protocol::ValueTarget target);
    // What Stop Config. does, the run ending as `how`; what the technician
    // must be told of frames that never left.
    QString stopRun(ConfigurationRun::Ending how);
    // The run stopped if one is open, then the event loop left with status 0.
    void endProgram(ConfigurationRun::Ending how);
    // The run stopped if one is open, and the sheets being made given a few
    // seconds: what the technician must still be told before the program ends.
    QStringList endingNotes(ConfigurationRun::Ending how);

    // Handlers, one per handled event, named after the control and the event.
    // The six control-array buttons get their element index and ignore it.
    void Form_Load();
    void MSComm1_OnComm(const protocol::StatusFields &fields);
    void MSComm1_OnFailure(const PortError &error, const ConfigurationRun::Ended &ended);
    void mnuFile_Exit_Click();
    void mnuSetting_com_setting_Click();
    void mnuOperation_start_capture_Click();
    void mnuOperation_stop_capture_Click();
    void About_Menu_Click();
    void Feed_Zero_Click(int index);
    void Stop_Feed_zero_Click(int index);
    void Feed_span_Click(int index);
    void Stop_Feed_span_Click(int index);
    void Low_range_cmd_Click(int index);
    void High_range_cmd_Click(int index);
    void Enter_L_Click();
    void Enter_H_Click();
    void Save_cmd_Click();

    // The serial communications control: port, command frames, receive framer.
    DeviceLink MSComm1;
    AuxiliaryWindows aux;
    // The run on MSComm1: its record, its stop frames and its sheet.
    ConfigurationRun run;
};
