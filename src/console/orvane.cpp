// SPDX-License-Identifier: MIT
#include "console/orvane.h"

#include "app/module1.h"
#include "console/main_window_layout.h"
#include "console/port_words.h"
#include "console/run_words.h"
#include "link/port_map.h"
#include "records/session_identity.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QValidator>

#include <cstdio>

#include <algorithm>

namespace {

// What an entry box takes: no "#" or "$" (they would cut the frame short), no
// control characters, nothing without a single-byte (Latin-1) form. Typing,
// pasting, dropping and input methods all pass through it; a paste holding
// such a character is refused as a whole, the way a fifth character is.
class EntryValidator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &) const override
    {
        const bool sendable =
            std::all_of(input.cbegin(), input.cend(), protocol::isSendableValueChar);
        return sendable ? Acceptable : Invalid;
    }
};

// How long after the first showing the window manager may take to frame the
// window (its title bar is what moves the window off the centre).
constexpr int FramingWaitMs = 2000;

// The element index of a one-element control array.
constexpr const char *IndexProperty = design::ControlArrayIndex;

QIcon programIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/zelvor-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/zelvor-32.png"), QSize(32, 32));
    // PNG only: asking which formats Qt reads would load every image plugin,
    // about 3 MiB of memory for an icon. The desktop takes the scalable one
    // from the installed icon theme.
    return icon;
}

// Shown after the action that met the trouble has returned, so that an action
// triggered through assistive technology does not wait for the operator to
// close it. Plain text: a path may hold anything, markup included.
void showMessageLater(QWidget *window, QMessageBox::Icon icon, const QString &text)
{
    QMetaObject::invokeMethod(
        window,
        [window, icon, text = RunWords::shortenedInTheMiddle(text)] {
            // While an auxiliary window locks the main window, a message owned
            // by it would be disabled too and could not be dismissed.
            auto *box = new QMessageBox(icon, window->windowTitle(), QString(), QMessageBox::Ok,
                                        window->isEnabled() ? window : nullptr);
            box->setTextFormat(Qt::PlainText);
            box->setText(text);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->setWindowModality(Qt::ApplicationModal);
            box->show();
        },
        Qt::QueuedConnection);
}

// How long File > Exit, the close box, a signal or the session's end wait
// for a sheet still being made.
constexpr int SheetWaitMs = 5000;

// For an ending that may have no one left to read a message.

void printOnStandardError(QString text)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(text.replace(QStringLiteral("\n\n"), QStringLiteral(" "))));
}

// What the technician reads on the button, without the design's padding blank
// ("Save "), which a spreadsheet would trim anyway.
QString actionName(const QPushButton *button)
{
    QString caption = button->text();
    return caption.remove(u'&').trimmed();
}

} // namespace

using console::CalibrationControl;

Orvane::Orvane(QWidget *parent) : QMainWindow(parent), MSComm1(this), aux(this), run(MSComm1)
{
    buildWindow();
    connectHandlers();
    Form_Load();
}

Orvane::~Orvane() = default;

void Orvane::buildWindow()
{
    setObjectName(QStringLiteral("Orvane"));
    setWindowTitle(QString::fromUtf8(layout::MainWindow.title));
    // A fixed frame with the window menu and the close box, no minimise and
    // no maximise box (on X11 these become Motif hints without the minimise
    // and maximise functions, and min = max size hints). The design also has
    // no task-bar button; Qt offers that only through Qt::Tool, a window type
    // that desktops may hide when the program is not active and that does not
    // end the program when closed, so the main window keeps its button.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowIcon(programIcon());

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(design::clientSize(layout::MainWindow));
    client->setAutoFillBackground(true);
    client->setBackgroundRole(design::paletteRole(layout::MainWindow.background));
    setCentralWidget(client);

    buildControls(client);
    buildMenus();

    // The frame follows the client area plus the menu bar, and cannot be resized.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    centreOnScreen();
}

// The frame is centred where its size is known (after the window manager has
// framed the window); until then the window itself is.
void Orvane::centreOnScreen()
{
    const QScreen *screen = this->screen();
    if (!screen)
        return;
    move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, frameGeometry().size(),
                             screen->availableGeometry())
             .topLeft());
}

void Orvane::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!first_shown) {
        first_shown = true;
        centre_when_framed = true;
        // A window manager that never frames the window, or a move by the
        // operator after that, must not bring it back to the centre.
        QTimer::singleShot(FramingWaitMs, this, [this] { centre_when_framed = false; });
    }
}

void Orvane::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    if (centre_when_framed && frameGeometry().size() != size()) {
        centre_when_framed = false;
        centreOnScreen();
    }
}

void Orvane::buildControls(QWidget *client)
{
    design::buildForm(client, layout::MainWindowControls);
    for (int i = 0; i < console::CalibrationControlCount; ++i)
        calibration[i] = client->findChild<QWidget *>(
            QLatin1String(layout::CalibrationControlNames[i]), Qt::FindDirectChildrenOnly);
    for (std::size_t i = 0; i < readings.size(); ++i)
        readings[i] = client->findChild<QLineEdit *>(QLatin1String(layout::ReadingBoxNames[i]),
                                                     Qt::FindDirectChildrenOnly);
    for (CalibrationControl box :
         {CalibrationControl::Low_range_text, CalibrationControl::High_range_text})
        entryBox(box)->setValidator(new EntryValidator(entryBox(box)));
    // A held key presses once; see eventFilter().
    for (QWidget *control : calibration) {
        if (qobject_cast<QPushButton *>(control) || qobject_cast<QLineEdit *>(control))
            control->installEventFilter(this);
    }
}

QPushButton *Orvane::button(CalibrationControl control) const
{
    return static_cast<QPushButton *>(calibration[console::position(control)]);
}

QLineEdit *Orvane::entryBox(CalibrationControl control) const
{
    return static_cast<QLineEdit *>(calibration[console::position(control)]);
}

// The reading boxes: background system colour 10, Zero_real's text system
// colour 5, legible also while they are disabled (design::applyColors()).
void Orvane::applyDesignedColors()
{
    design::applyColors(centralWidget(), layout::MainWindowControls);
}

void Orvane::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && centralWidget())
        applyDesignedColors();
}

void Orvane::buildMenus()
{
    QMenu *menu = nullptr;
    for (const layout::MenuItemSpec &item : layout::MainWindowMenu) {
        if (!menu || menu->objectName() != QLatin1String(item.menuName)) {
            menu = menuBar()->addMenu(QString::fromUtf8(item.menuCaption));
            menu->setObjectName(QLatin1String(item.menuName));
        }
        QAction *action = menu->addAction(QString::fromUtf8(item.itemCaption));
        action->setObjectName(QLatin1String(item.itemName));
    }
    mnuFile = menuBar()->findChild<QMenu *>(QStringLiteral("mnuFile"));
    mnuSetting = menuBar()->findChild<QMenu *>(QStringLiteral("mnuSetting"));
    mnuOperation = menuBar()->findChild<QMenu *>(QStringLiteral("mnuOperation"));
    Help = menuBar()->findChild<QMenu *>(QStringLiteral("Help"));
    mnuFile_Exit = mnuFile->findChild<QAction *>(QStringLiteral("mnuFile_Exit"));
    mnuSetting_com_setting =
        mnuSetting->findChild<QAction *>(QStringLiteral("mnuSetting_com_setting"));
    mnuOperation_start_capture =
        mnuOperation->findChild<QAction *>(QStringLiteral("mnuOperation_start_capture"));
    mnuOperation_stop_capture =
        mnuOperation->findChild<QAction *>(QStringLiteral("mnuOperation_stop_capture"));
    About_Menu = Help->findChild<QAction *>(QStringLiteral("About_Menu"));
}

void Orvane::connectHandlers()
{
    auto onClick = [this](QPushButton *button, void (Orvane::*handler)(int)) {
        connect(button, &QPushButton::clicked, this, [this, button, handler] {
            (this->*handler)(button->property(IndexProperty).toInt());
        });
    };
    onClick(button(CalibrationControl::Feed_Zero), &Orvane::Feed_Zero_Click);
    onClick(button(CalibrationControl::Stop_Feed_zero), &Orvane::Stop_Feed_zero_Click);
    onClick(button(CalibrationControl::Feed_span), &Orvane::Feed_span_Click);
    onClick(button(CalibrationControl::Stop_Feed_span), &Orvane::Stop_Feed_span_Click);
    onClick(button(CalibrationControl::Low_range_cmd), &Orvane::Low_range_cmd_Click);
    onClick(button(CalibrationControl::High_range_cmd), &Orvane::High_range_cmd_Click);
    connect(button(CalibrationControl::Enter_L), &QPushButton::clicked, this,
            &Orvane::Enter_L_Click);
    connect(button(CalibrationControl::Enter_H), &QPushButton::clicked, this,
            &Orvane::Enter_H_Click);
    connect(button(CalibrationControl::Save_cmd), &QPushButton::clicked, this,
            &Orvane::Save_cmd_Click);

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

    connect(mnuFile_Exit, &QAction::triggered, this, &Orvane::mnuFile_Exit_Click);
    connect(mnuSetting_com_setting, &QAction::triggered, this,
            &Orvane::mnuSetting_com_setting_Click);
    connect(mnuOperation_start_capture, &QAction::triggered, this,
            &Orvane::mnuOperation_start_capture_Click);
    connect(mnuOperation_stop_capture, &QAction::triggered, this,
            &Orvane::mnuOperation_stop_capture_Click);
    connect(About_Menu, &QAction::triggered, this, &Orvane::About_Menu_Click);
    connect(&aux, &AuxiliaryWindows::portChosen, this,
            [](qint16 port) { Module1::comm_port = port; });

    connect(&MSComm1, &DeviceLink::statusReceived, this, &Orvane::MSComm1_OnComm);
    connect(&run, &ConfigurationRun::recordFailed, this, &Orvane::showRecordFailure);
    // Whatever else ends the event loop (a session manager, say) still ends
    // the run in order: no output left fed, the port closed.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        for (const QString &note : endingNotes(ConfigurationRun::Ending::Exit))
            printOnStandardError(note);
    });
    connect(&run, &ConfigurationRun::sheetMade, this, [this](const runsheet::Result &sheet) {
        const QString failure = RunWords::sheetFailure(sheet);
        if (!failure.isEmpty())
            showMessageLater(this, QMessageBox::Warning, failure);
    });
    connect(&run, &ConfigurationRun::portLost, this, &Orvane::MSComm1_OnFailure);
}

// A held key presses once: Return or Enter held on a button would otherwise
// walk the focus through the instrument's commands, one per repeat.
bool Orvane::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        const auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
        case Qt::Key_Select:
            if (key->isAutoRepeat())
                return true;
            break;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
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

void Orvane::applyRunMenus(bool runOpen)
{
    const console::RunMenuFlags flags = console::runMenuFlags(runOpen);
    mnuSetting_com_setting->setEnabled(flags.comSetting);
    mnuOperation_start_capture->setEnabled(flags.startConfig);
    mnuOperation_stop_capture->setEnabled(flags.stopConfig);
}

bool Orvane::deviceCheck(CalibrationControl action)
{
    if (Module1::device_found != 0)
        return true;
    aux.showCommunicationError();
    run.refused(actionName(button(action)));
    return false;
}

// "Com 3 (/dev/ttyS2) cannot be opened.", the cause if it is a common one,
// then the serial facility's error number (QSerialPort::SerialPortError) and
// the system's description. The path is the one that was opened: "Com N" may
// lead elsewhere by now (an adapter's link gone with the adapter).
void Orvane::showPortError(const QString &what, const PortError &error, const QString &note)
{
    QStringList paragraphs = {
        tr("Com %1 (%2) %3").arg(Module1::comm_port).arg(error.portName, what)};
    const QString cause = PortWords::trouble(error);
    if (!cause.isEmpty())
        paragraphs << cause;
    if (!note.isEmpty())
        paragraphs << note;
    // A port the settings file may have meant is refused before any system call.
    if (error.trouble != PortTrouble::SettingsFile)
        paragraphs << tr("Error %1: %2").arg(error.number).arg(PortWords::detail(error));
    showMessageLater(this, QMessageBox::Critical, paragraphs.join(QStringLiteral("\n\n")));
}

void Orvane::showRecordFailure(const QString &message)
{
    showMessageLater(this, QMessageBox::Warning,
                     message + QStringLiteral("\n\nThe configuration run goes on without a "
                                              "record."));
}

void Orvane::setRunRecordFolder(const QString &folder)
{
    run.setRecordFolder(folder);
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
    const SheetMaker::Outcome left = run.finishSheets(QDeadlineTimer(SheetWaitMs));
    for (const runsheet::Result &sheet : left.done) {
        const QString failure = RunWords::sheetFailure(sheet);
        if (!failure.isEmpty())
            notes << failure;
    }
    for (const QString &recordPath : left.unfinished)
        notes << RunWords::sheetUnfinished(recordPath, SheetWaitMs / 1000);
    return notes;
}

void Orvane::clearReadings()
{
    for (QLineEdit *box : readings)
        box->clear();
}

void Orvane::endInOrder()
{
    endProgram(ConfigurationRun::Ending::Signal);
}

void Orvane::endSession()
{
    endProgram(ConfigurationRun::Ending::SessionEnded);
}

void Orvane::endProgram(ConfigurationRun::Ending how)
{
    const QStringList notes = endingNotes(how);
    if (notes.isEmpty()) {
        QCoreApplication::exit(0);
        return;
    }
    for (const QString &note : notes)
        printOnStandardError(note);
    // An ending the operator did not choose here leaves no time for a message.
    if (how != ConfigurationRun::Ending::Exit && how != ConfigurationRun::Ending::WindowClosed) {
        QCoreApplication::exit(0);
        return;
    }
    // The operator asked to leave and is there to read it: the port and the
    // record are done with, and the program ends when the message is closed.
    auto *box = new QMessageBox(QMessageBox::Critical, windowTitle(),
                                notes.join(QStringLiteral("\n\n")), QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    connect(box, &QMessageBox::finished, qApp, [] { QCoreApplication::exit(0); });
    box->show();
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
    // An instrument repeats the same readings most of the time; a box whose
    // text stays is not laid out and painted again for nothing.
    auto show = [](QLineEdit *box, const QString &text) {
        if (box->text() != text)
            box->setText(text);
    };
    show(readings[0], fields.zero);
    show(readings[1], fields.span);
    show(readings[2], fields.lowRange);
    show(readings[3], fields.highRange);
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
        where << PortWords::description(PortMap::installed().describe(port));
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
    clearReadings();
    applyRunMenus(true);
    applyState(console::ConsoleState::Ready);
}

// Stop Config.: a feed still running is stopped first, and the port closes
// once that frame has left; the reading boxes keep the last readings.
void Orvane::mnuOperation_stop_capture_Click()
{
    const QString unsent = stopRun(ConfigurationRun::Ending::Stop);
    if (!unsent.isEmpty())
        showMessageLater(this, QMessageBox::Critical, unsent);
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

// An empty value would blank the instrument's range: nothing is written, and
// the box stays open with the focus in it.
bool Orvane::valueTyped(CalibrationControl entry)
{
    QLineEdit *box = entryBox(entry);
    if (!box->text().isEmpty())
        return true;
    box->setFocus(Qt::OtherFocusReason);
    return false;
}

// "#6", the text as typed, "$": three writes.
void Orvane::Enter_L_Click()
{
    if (!valueTyped(CalibrationControl::Low_range_text))
        return;
    run.sendValue(protocol::ValueTarget::LowRange,
                  entryBox(CalibrationControl::Low_range_text)->text());
    applyState(console::ConsoleState::Ready);
}

void Orvane::Enter_H_Click()
{
    if (!valueTyped(CalibrationControl::High_range_text))
        return;
    run.sendValue(protocol::ValueTarget::HighRange,
                  entryBox(CalibrationControl::High_range_text)->text());
    applyState(console::ConsoleState::Ready);
}

// Writes "#8$" and changes no control.
void Orvane::Save_cmd_Click()
{
    if (!deviceCheck(CalibrationControl::Save_cmd))
        return;
    run.send(protocol::Command::Save);
}
