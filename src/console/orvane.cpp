// SPDX-License-Identifier: MIT
#include "console/orvane.h"

#include "app/module1.h"
#include "console/port_words.h"
#include "console/run_words.h"
#include "design/form.h"
#include "link/port_map.h"
#include "records/session_identity.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

// How long File > Exit, the close box, a signal or the session's end wait
// for a sheet still being made.
constexpr int SheetWaitMs = 5000;

} // namespace

using console::CalibrationControl;

Orvane::Orvane(QWidget *parent) : QMainWindow(parent), MSComm1(this), aux(this), run(MSComm1)
{
    static_cast<MainWindowForm &>(*this) = buildMainWindowForm(this);
    connectHandlers();
    Form_Load();
}

QPushButton *Orvane::button(CalibrationControl control) const
{
    return static_cast<QPushButton *>(calibration[console::position(control)]);
}

QLineEdit *Orvane::entryBox(CalibrationControl control) const
{
    return static_cast<QLineEdit *>(calibration[console::position(control)]);
}

void Orvane::connectHandlers()
{
    auto onClick = [this](QPushButton *button, void (Orvane::*handler)(int)) {
        connect(button, &QPushButton::clicked, this, [this, button, handler] {
            (this->*handler)(button->property(design::ControlArrayIndex).toInt());
        });
    };
    onClick(button(CalibrationControl::Feed_Zero), &Orvane::Feed_Zero_Click);
    onClick(button(CalibrationControl::Stop_Feed_zero), &Orvane::Stop_Feed_zero_Click);
    onClick(button(CalibrationControl::Feed_span), &Orvane::Feed_span_Click);
    onClick(button(CalibrationControl::Stop_Feed_span), &Orvane::Stop_Feed_span_Click);
    onClick(button(CalibrationControl::Low_range_cmd), &Orvane::Low_range_cmd_Click);
    onClick(button(CalibrationControl::High_range_cmd), &Orvane::High_range_cmd_Click);
    for (const auto &[control, handler] :
         {std::pair(CalibrationControl::Enter_L, &Orvane::Enter_L_Click),
          std::pair(CalibrationControl::Enter_H, &Orvane::Enter_H_Click),
          std::pair(CalibrationControl::Save_cmd, &Orvane::Save_cmd_Click)})
        connect(button(control), &QPushButton::clicked, this, handler);

    // Return in an entry box presses its Enter button, the step the operator
    // would take next; the buttons themselves stay non-default.
    auto enterPresses = [this](CalibrationControl box, CalibrationControl enter) {
        connect(entryBox(box), &QLineEdit::returnPressed, this, [this, enter] {
            if (button(enter)->isEnabled())
                button(enter)->click();
        });
    };
    enterPresses(CalibrationControl::Low_range_text, CalibrationControl::Enter_L);
    enterPresses(CalibrationControl::High_range_text, CalibrationControl::Enter_H);

    for (const auto &[item, handler] :
         {std::pair(mnuFile_Exit, &Orvane::mnuFile_Exit_Click),
          std::pair(mnuSetting_com_setting, &Orvane::mnuSetting_com_setting_Click),
          std::pair(mnuOperation_start_capture, &Orvane::mnuOperation_start_capture_Click),
          std::pair(mnuOperation_stop_capture, &Orvane::mnuOperation_stop_capture_Click),
          std::pair(About_Menu, &Orvane::About_Menu_Click)})
        connect(item, &QAction::triggered, this, handler);
    connect(&aux, &AuxiliaryWindows::portChosen, this,
            [](qint16 port) { Module1::comm_port = port; });

    connect(&MSComm1, &DeviceLink::statusReceived, this, &Orvane::MSComm1_OnComm);
    // Once per run at most (the record stops at its first failure), after the
    // action that met it has returned.
    connect(&run, &ConfigurationRun::recordFailed, this, [this](const QString &message) {
        showMessageLater(this, QMessageBox::Warning,
                         message + QStringLiteral("\n\nThe configuration run goes on without a "
                                                  "record."));
    });
    // Whatever else ends the event loop (a session manager, say) still ends
    // the run in order: no output left fed, the port closed.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        for (const QString &note : endingNotes(ConfigurationRun::Ending::Exit))
            printOnStandardError(note);
    });
    connect(&run, &ConfigurationRun::sheetMade, this, [this](const runsheet::Result &sheet) {
        showMessageLater(this, QMessageBox::Warning, RunWords::sheetFailure(sheet));
    });
    connect(&run, &ConfigurationRun::portLost, this, &Orvane::MSComm1_OnFailure);
}

std::optional<console::ConsoleState> Orvane::consoleState() const
{
    console::EnabledFlags enabled{};
    for (int i = 0; i < console::CalibrationControlCount; ++i)
        enabled[i] = calibration[i]->isEnabledTo(this);
    return console::stateOf(enabled);
}

void Orvane::applyState(console::ConsoleState state)
{
    const console::StateRow row = console::stateRow(state);
    QWidget *focused = focusWidget();
    for (int i = 0; i < console::CalibrationControlCount; ++i) {
        calibration[i]->setEnabled(row.enabled[i]);
        if (row.clearedEntry && console::position(*row.clearedEntry) == i)
            static_cast<QLineEdit *>(calibration[i])->setText(QString());
    }
    if (focused && !focused->isEnabledTo(this))
        moveFocusFrom(focused, row);
}

// The toolkit moves the focus as each flag is written, before the controls
// that the new state enables are on: after Feed High Range it would land on
// a control the operator does not want. The entry box that the state opens
// comes first, then the next control in tab order, then the window itself.
void Orvane::moveFocusFrom(QWidget *disabled, const console::StateRow &row)
{
    if (row.clearedEntry) {
        entryBox(*row.clearedEntry)->setFocus(Qt::OtherFocusReason);
        return;
    }
    for (QWidget *w = disabled->nextInFocusChain(); w != disabled; w = w->nextInFocusChain()) {
        if (w->window() == this && w->isEnabledTo(this) && w->isVisibleTo(this) &&
            (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    setFocus(Qt::OtherFocusReason);
}

// Communication Settings and Start Config. while no run is open, Stop Config.
// during a run.
void Orvane::applyRunMenus(bool runOpen)
{
    mnuSetting_com_setting->setEnabled(!runOpen);
    mnuOperation_start_capture->setEnabled(!runOpen);
    mnuOperation_stop_capture->setEnabled(runOpen);
}

bool Orvane::deviceCheck(CalibrationControl action)
{
    if (Module1::device_found != 0)
        return true;
    aux.showCommunicationError();
    // What the technician reads on the button, without the design's padding
    // blank ("Save "), which a spreadsheet would trim anyway.
    run.refused(button(action)->text().remove(u'&').trimmed());
    return false;
}

void Orvane::showPortError(const QString &what, const PortError &error, const QString &note)
{
    showMessageLater(this, QMessageBox::Critical,
                     PortWords::message(Module1::comm_port, what, error, note));
}

void Orvane::recordWhoRuns()
{
    run.setIdentity(sessionIdentity());
}

QStringList Orvane::endingNotes(ConfigurationRun::Ending how)
{
    QStringList notes;
    if (run.isOpen()) {
        const QString unsent = stopRun(how);
        if (!unsent.isEmpty())
            notes << unsent;
    }
    return notes +
           RunWords::sheetsLeft(run.finishSheets(QDeadlineTimer(SheetWaitMs)), SheetWaitMs / 1000);
}

void Orvane::endProgram(ConfigurationRun::Ending how)
{
    const QStringList notes = endingNotes(how);
    for (const QString &note : notes)
        printOnStandardError(note);
    // An ending the operator did not choose here leaves no time for a message.
    if (notes.isEmpty() ||
        (how != ConfigurationRun::Ending::Exit && how != ConfigurationRun::Ending::WindowClosed)) {
        QCoreApplication::exit(0);
        return;
    }
    // The operator asked to leave and is there to read it: the port and the
    // record are done with, and the program ends when the message is closed.
    QMessageBox *box =
        showMessage(this, QMessageBox::Critical, notes.join(QStringLiteral("\n\n")), nullptr);
    connect(box, &QMessageBox::finished, qApp, [] { QCoreApplication::exit(0); });
}

void Orvane::closeEvent(QCloseEvent *event)
{
    // While an auxiliary window locks it the window takes no input, its close
    // box included. Otherwise closing it ends the program, whatever else is
    // open, as File > Exit does.
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    event->accept();
    endProgram(ConfigurationRun::Ending::WindowClosed);
}

// Load: the start-up state, port 1.
void Orvane::Form_Load()
{
    mnuOperation_stop_capture->setEnabled(false);
    Module1::comm_port = 1;
    for (QLineEdit *box : readings)
        box->setEnabled(false);
    applyState(console::ConsoleState::Idle);
}

// A status frame ended: the instrument has answered; the four fields, each as
// received.
void Orvane::MSComm1_OnComm(const protocol::StatusFields &fields)
{
    Module1::device_found = 1;
    const QString texts[protocol::FieldCount] = {fields.zero, fields.span, fields.lowRange,
                                                 fields.highRange};
    // An instrument repeats the same readings most of the time; a box whose
    // text stays is not laid out and painted again for nothing.
    for (int i = 0; i < protocol::FieldCount; ++i) {
        if (readings[i]->text() != texts[i])
            readings[i]->setText(texts[i]);
    }
}

// The port failed during a run (adapter pulled, line gone); the run has ended
// and the port is closed, so a feed could not be stopped. One message, then
// the controls as Stop Config. leaves them.
void Orvane::MSComm1_OnFailure(const PortError &error, const ConfigurationRun::Ended &ended)
{
    showPortError(tr("stopped working during the configuration run; the port is closed."), error,
                  RunWords::feedNote(ended));
    applyRunMenus(false);
    applyState(console::ConsoleState::Idle);
}

// Ends the program in any state, nothing asked; a run still open is stopped
// first as Stop Config. stops it.
void Orvane::mnuFile_Exit_Click()
{
    endProgram(ConfigurationRun::Ending::Exit);
}

void Orvane::mnuSetting_com_setting_Click()
{
    // Where each entry leads now: the map may name an adapter that has been
    // plugged in or pulled since the last opening.
    QStringList where;
    for (int port = PortMap::FirstPort; port <= PortMap::LastPort; ++port)
        where << PortWords::description(MSComm1.port().portMap().describe(port));
    aux.showComSetting(Module1::comm_port, where);
}

void Orvane::About_Menu_Click()
{
    aux.showAbout();
}

// Start Config. A port that cannot be opened is reported and
// the console stays in Idle: the design ends the program here.
void Orvane::mnuOperation_start_capture_Click()
{
    if (!run.start(Module1::comm_port)) {
        showPortError(tr("cannot be opened."), MSComm1.lastError());
        return;
    }
    // Nothing from an earlier run stands for the instrument on this one: the
    // device check waits for its first frame, the boxes for its readings.
    Module1::device_found = 0;
    for (QLineEdit *box : readings)
        box->clear();
    applyRunMenus(true);
    applyState(console::ConsoleState::Ready);
}

// Stop Config.: a feed still running is stopped first, and the port closes
// once that frame has left; the reading boxes keep the last readings.
void Orvane::mnuOperation_stop_capture_Click()
{
    showMessageLater(this, QMessageBox::Critical, stopRun(ConfigurationRun::Ending::Stop));
}

QString Orvane::stopRun(ConfigurationRun::Ending how)
{
    const ConfigurationRun::Ended ended = run.end(how);
    applyRunMenus(false);
    applyState(console::ConsoleState::Idle);
    return RunWords::unsent(ended, Module1::comm_port, MSComm1.port().openedPath());
}

void Orvane::Feed_Zero_Click(int)
{
    if (!deviceCheck(CalibrationControl::Feed_Zero))
        return;
    run.send(protocol::Command::FeedZero);
    applyState(console::ConsoleState::FeedingZero);
}

void Orvane::Stop_Feed_zero_Click(int)
{
    run.send(protocol::Command::StopFeedZero);
    applyState(console::ConsoleState::Ready);
}

void Orvane::Feed_span_Click(int)
{
    if (!deviceCheck(CalibrationControl::Feed_span))
        return;
    run.send(protocol::Command::FeedSpan);
    applyState(console::ConsoleState::FeedingSpan);
}

void Orvane::Stop_Feed_span_Click(int)
{
    run.send(protocol::Command::StopFeedSpan);
    applyState(console::ConsoleState::Ready);
}

void Orvane::Low_range_cmd_Click(int)
{
    if (!deviceCheck(CalibrationControl::Low_range_cmd))
        return;
    applyState(console::ConsoleState::LowRangeEntry);
}

void Orvane::High_range_cmd_Click(int)
{
    if (!deviceCheck(CalibrationControl::High_range_cmd))
        return;
    applyState(console::ConsoleState::HighRangeEntry);
}

// "#6", the text as typed, "$": three writes. An empty value would blank the
// instrument's range: nothing is written, and the box stays open with the focus
// in it.
void Orvane::enterValue(CalibrationControl entry, protocol::ValueTarget target)
{
    QLineEdit *box = entryBox(entry);
    if (box->text().isEmpty()) {
        box->setFocus(Qt::OtherFocusReason);
        return;
    }
    run.sendValue(target, box->text());
    applyState(console::ConsoleState::Ready);
}

void Orvane::Enter_L_Click()
{
    enterValue(CalibrationControl::Low_range_text, protocol::ValueTarget::LowRange);
}

void Orvane::Enter_H_Click()
{
    enterValue(CalibrationControl::High_range_text, protocol::ValueTarget::HighRange);
}

// Writes "#8$" and changes no control.
void Orvane::Save_cmd_Click()
{
    if (!deviceCheck(CalibrationControl::Save_cmd))
        return;
    run.send(protocol::Command::Save);
}
