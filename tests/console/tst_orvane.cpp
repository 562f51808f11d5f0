// SPDX-License-Identifier: MIT
// The main window Orvane: its frame, captions, fonts and colours, start-up
// state and menus, the entry boxes' refusals, and, over a real
// pseudo-terminal with the test playing the instrument, Start Config., Stop
// Config., status frames, the calibration actions and a failing port.
#include "console_test_support.h"

#include "app/module1.h"
#include "console/main_window_layout.h"
#include "ending/ending_signals.h"
#include "flock_holder.h"
#include "link/serial_port.h"
#include "port_routes.h"
#include "pty_instrument.h"

#include <QClipboard>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <QScopeGuard>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <unistd.h>

using namespace consoletest;
using console::ConsoleState;
Q_DECLARE_METATYPE(console::ConsoleState)

class TestOrvane : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    // The window
    void windowAndControlsAsTheTable();
    void tabOrder();
    void startUpStateAndMenus();
    void entryBoxesRefuse_data();
    void entryBoxesRefuse();
    // Over the pseudo-terminal
    void startAndStop();
    void newRunWaitsForItsOwnInstrument();
    void openFailureKeepsTheProgramUsable_data();
    void openFailureKeepsTheProgramUsable();
    void messagesShowPathsAsPlainText_data();
    void messagesShowPathsAsPlainText();
    void hangUpReturnsToIdleWithOneMessage();
    void calibrationButtons_data();
    void calibrationButtons();
    void guardedClickWithoutDevice();
    void endingWhileFeedingSendsItsStopFrameOnce_data();
    void endingWhileFeedingSendsItsStopFrameOnce();
    void stopFrameThatCannotLeaveIsUnsent_data();
    void stopFrameThatCannotLeaveIsUnsent();
    // Keys
    void focusGoesWhereTheOperatorWorksNext_data();
    void focusGoesWhereTheOperatorWorksNext();
    void returnInEntryBoxPressesItsEnter_data();
    void returnInEntryBoxPressesItsEnter();
    void heldKeyPressesOnce_data();
    void heldKeyPressesOnce();
    void actionReturnsBeforeItsMessageIsClosed();

private:
    QWidget *w(const char *name) { return control(orvane.get(), name); }
    QLineEdit *box(const char *name) { return control<QLineEdit>(orvane.get(), name); }
    void click(const char *name) { QTest::mouseClick(w(name), Qt::LeftButton); }
    void trigger(const char *name) { action(orvane.get(), name)->trigger(); }
    void startRun(bool answer); // Start Config., "#1$" read; a status frame if answer
    // Ends the program `ending` ("Exit", "close box", "quit from elsewhere",
    // "event loop ended elsewhere", "SIGTERM") from inside its event loop; the
    // loop's status, 1 when it did not end within five seconds.
    int endInEventLoop(const QByteArray &ending);
    bool portIsFree(); // nobody holds the instrument's line
    // Each "Com N" leads to the instrument through a link named comN of its own.
    void routePorts();
    // The ports that runs opened, as the records' start lines name their links.
    QList<int> openedPorts();

    std::unique_ptr<PtyInstrument> instrument;
    std::unique_ptr<QTemporaryDir> records;
    std::unique_ptr<Orvane> orvane;
    // Where the window's ports lead.
    PortMap ports;
    QTemporaryDir portLinks;
};

void TestOrvane::init()
{
    Module1::device_found = 0;
    Module1::comm_port = 5; // the load sets 1
    instrument = std::make_unique<PtyInstrument>();
    QVERIFY(instrument->isValid());
    routePorts();
    records = std::make_unique<QTemporaryDir>();
    QVERIFY(records->isValid());
    orvane = std::make_unique<Orvane>();
    orvane->setPortMap(ports);
    orvane->setRunRecordFolder(records->path());
    orvane->show();
    QVERIFY(QTest::qWaitForWindowActive(orvane.get()));
}

void TestOrvane::cleanup()
{
    closeAuxiliaryWindows(orvane.get());
    orvane.reset();
    records.reset();
    instrument.reset();
}

void TestOrvane::routePorts()
{
    PortMap::Paths paths;
    for (int n = PortMap::FirstPort; n <= PortMap::LastPort; ++n) {
        const QString link = portLinks.filePath(QStringLiteral("com%1").arg(n));
        QFile::remove(link);
        QVERIFY(QFile::link(instrument->slavePath(), link));
        paths.insert(n, link);
    }
    ports = PortMap(paths);
    if (orvane)
        orvane->setPortMap(ports);
}

QList<int> TestOrvane::openedPorts()
{
    QList<int> ports;
    const QRegularExpression start(QStringLiteral("\\bstart,Com \\d \\([^)]*/com(\\d)\\b"));
    for (const QFileInfo &file : QDir(records->path()).entryInfoList({"*.csv"}, QDir::Files)) {
        QFile csv(file.filePath());
        if (csv.open(QIODevice::ReadOnly))
            for (auto it = start.globalMatch(QString::fromUtf8(csv.readAll())); it.hasNext();)
                ports << it.next().captured(1).toInt();
    }
    return ports;
}

void TestOrvane::startRun(bool answer)
{
    trigger("mnuOperation_start_capture");
    QCOMPARE(instrument->receive(3), QByteArray("#1$"));
    QCOMPARE(orvane->consoleState(), ConsoleState::Ready);
    if (answer) {
        QVERIFY(instrument->send("#4.0020.0-1.0100.$"));
        QTRY_COMPARE(readingTexts(orvane.get()), QStringList({"4.00", "20.0", "-1.0", "100."}));
    }
}

bool TestOrvane::portIsFree()
{
    SerialPort probe;
    probe.setPortMap(ports);
    const bool opened = probe.open();
    probe.close();
    return opened;
}

void TestOrvane::windowAndControlsAsTheTable()
{
    QCOMPARE(orvane->windowTitle(), QStringLiteral("Zelvor Electronics Pvt. Ltd."));
    QWidget *client = orvane->centralWidget();
    QCOMPARE(client->size(), QSize(645, 390));
    QVERIFY(orvane->menuBar()->geometry().bottom() < client->geometry().top());
    QCOMPARE(orvane->minimumSize(), orvane->maximumSize()); // fixed frame
    QCOMPARE(orvane->windowFlags() & ~Qt::MSWindowsFixedSizeDialogHint,
             Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint); // no minimise, no maximise box
    const QPoint offCentre =
        orvane->frameGeometry().center() - orvane->screen()->availableGeometry().center();
    QVERIFY(offCentre.manhattanLength() <= 12); // give or take the platform's frame
    QVERIFY(orvane->windowIcon().availableSizes().contains(QSize(16, 16)));
    QVERIFY(orvane->windowIcon().availableSizes().contains(QSize(32, 32)));

    QCOMPARE(client->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly).size(), 21);
    for (const design::FormControl &row : layout::MainWindowControls) {
        QWidget *c = control(client, row.name);
        QVERIFY2(c && c->isVisible(), row.name);
        QVERIFY2(client->rect().contains(c->geometry()), row.name);
        // Label and button caption; a text box starts empty.
        QCOMPARE(c->property("text").toString(), QString::fromUtf8(row.text));
        QCOMPARE(c->font(), design::fontFor(row.font.role));
        QCOMPARE(c->accessibleName(), QString::fromUtf8(row.accessibleName));
        if (row.kind == design::ControlKind::Label)
            QCOMPARE(c->focusPolicy(), Qt::NoFocus);
    }
    // The design in its own words: captions with their blanks, edges, fonts, colours.
    QCOMPARE(w("Save_cmd")->property("text"), QVariant("Save "));
    QCOMPARE(w("Label3")->property("text"), QVariant("  Zero"));
    QCOMPARE(w("Save_cmd")->geometry().right() + 1, (7440 + 1335) / 15);
    QCOMPARE(w("Label1")->geometry().bottom() + 1, (5400 + 255) / 15);
    QCOMPARE(w("High_range_real_txt")->accessibleName(), QStringLiteral("High Range"));
    QCOMPARE(w("Low_range_text")->accessibleName(), QStringLiteral("New low range"));
    QCOMPARE(box("Low_range_text")->maxLength(), 4);
    QCOMPARE(w("Zero_real")->font().families().value(0), QStringLiteral("MS Sans Serif"));
    QVERIFY(w("Zero_real")->font().bold() && !w("High_range_text")->font().bold());
    QCOMPARE(w("Label2")->backgroundRole(), QPalette::Window); // system colour 11
    for (const char *name : ReadingBoxes) { // colour 10 (Button); disabled, yet legible
        const QPalette p = w(name)->palette();
        QCOMPARE(p.color(QPalette::Disabled, QPalette::Base),
                 orvane->palette().color(QPalette::Button));
        QVERIFY(design::contrastRatio(p.color(QPalette::Disabled, QPalette::Text),
                                      p.color(QPalette::Disabled, QPalette::Base)) >= 4.5);
    }
}

// Tabbing through the enabled controls: labels never take the focus,
// disabled controls are skipped.
void TestOrvane::tabOrder()
{
    auto tabThrough = [this](int presses) {
        w("Feed_Zero")->setFocus(Qt::TabFocusReason);
        QStringList visited = {QApplication::focusWidget()->objectName()};
        for (int i = 0; i < presses; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        return visited;
    };
    for (QWidget *c : orvane->centralWidget()->findChildren<QWidget *>())
        c->setEnabled(true); // as designed
    QCOMPARE(tabThrough(15),
             QStringList({"Feed_Zero", "Stop_Feed_zero", "Feed_span", "Stop_Feed_span",
                          "High_range_text", "High_range_cmd", "Low_range_text", "Low_range_cmd",
                          "High_range_real_txt", "Low_range_real_txt", "Span_real", "Zero_real",
                          "Enter_H", "Enter_L", "Save_cmd", "Feed_Zero"}));
    for (const char *name : {"Stop_Feed_zero", "Stop_Feed_span", "Low_range_text", "Zero_real"})
        w(name)->setEnabled(false);
    QCOMPARE(tabThrough(4), QStringList({"Feed_Zero", "Feed_span", "High_range_text",
                                         "High_range_cmd", "Low_range_cmd"}));
}

void TestOrvane::startUpStateAndMenus()
{
    QCOMPARE(Module1::comm_port, qint16(1));
    QCOMPARE(orvane->consoleState(), ConsoleState::Idle);
    for (const char *name : ReadingBoxes)
        QVERIFY(!w(name)->isEnabled());
    QStringList menus;
    for (QAction *top : orvane->menuBar()->actions()) {
        menus << top->menu()->objectName() + '=' + top->text();
        for (QAction *item : top->menu()->actions()) {
            QVERIFY(!item->isSeparator() && !item->menu() && item->shortcut().isEmpty());
            menus << item->objectName() + '=' + item->text() + (item->isEnabled() ? "" : " (off)");
        }
    }
    QCOMPARE(menus,
             QStringList({"mnuFile=&File", "mnuFile_Exit=E&xit", "mnuSetting=&Setting",
                          "mnuSetting_com_setting=&Communication Settings",
                          "mnuOperation=&Operation", "mnuOperation_start_capture=&Start Config.",
                          "mnuOperation_stop_capture=S&top  Config. (off)", "Help=&Help",
                          "About_Menu=&About"}));
    // Alt+F, S, H, O open their menus; in Operation, S chooses Start Config.
    for (const char *name : {"mnuFile", "mnuSetting", "Help", "mnuOperation"}) {
        auto *menu = control<QMenu>(orvane.get(), name);
        QTest::keyClick(orvane.get(), QKeySequence::mnemonic(menu->title())[0].key(),
                        Qt::AltModifier);
        QTRY_COMPARE(QApplication::activePopupWidget(), menu);
        if (menu->objectName() != QLatin1String("mnuOperation")) {
            QTest::keyClick(menu, Qt::Key_Escape);
            QTest::keyClick(orvane.get(), Qt::Key_Escape);
        }
    }
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_S);
    QCOMPARE(instrument->receive(3), QByteArray("#1$"));
}

void TestOrvane::entryBoxesRefuse_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("expected");
    QTest::newRow("fifth character") << "12345"
                                     << ""
                                     << "1234";
    QTest::newRow("typed # $ € BEL") << QStringLiteral("1#2$ €\aé") << ""
                                     << "12 é";
    QTest::newRow("paste of five") << ""
                                   << "98765"
                                   << "9876";
    QTest::newRow("paste with $") << "1"
                                  << "2$"
                                  << "1";
    QTest::newRow("paste with # tab €") << "" << QStringLiteral("#\t€") << "";
    QTest::newRow("paste of an emoji") << "" << QStringLiteral("\U0001F600") << "";
    QTest::newRow("plain paste") << "a"
                                 << "b c"
                                 << "ab c";
}

void TestOrvane::entryBoxesRefuse()
{
    QFETCH(QString, typed);
    QFETCH(QString, pasted);
    QFETCH(QString, expected);
    for (const char *name : {"Low_range_text", "High_range_text"}) {
        box(name)->setEnabled(true);
        for (QChar c : typed) // key by key, with the key's text
            QTest::sendKeyEvent(QTest::Click, box(name), Qt::Key_unknown, QString(c),
                                Qt::NoModifier);
        QGuiApplication::clipboard()->setText(pasted);
        QTest::keySequence(box(name), QKeySequence::Paste);
        QCOMPARE(box(name)->text(), expected);
    }
}

void TestOrvane::startAndStop()
{
    Module1::comm_port = 3;
    startRun(false);
    QCOMPARE(openedPorts(), QList<int>({3}));
    auto menus = [this] {
        QString flags;
        for (const char *name :
             {"mnuSetting_com_setting", "mnuOperation_start_capture", "mnuOperation_stop_capture"})
            flags += action(orvane.get(), name)->isEnabled() ? '1' : '0';
        return flags;
    };
    QCOMPARE(menus(), QStringLiteral("001"));
    QVERIFY(instrument->send("noise#ABCDEFGHIJKLMNOP$#12#45678$"));
    QTRY_COMPARE(readingTexts(orvane.get()), QStringList({"12#4", "5678", "", ""}));
    QVERIFY(!w("Zero_real")->isEnabled());

    trigger("mnuOperation_stop_capture");
    QCOMPARE(instrument->receiveFor(200), QByteArray());
    QCOMPARE(orvane->consoleState(), ConsoleState::Idle);
    QCOMPARE(menus(), QStringLiteral("110"));
    QCOMPARE(readingTexts(orvane.get()),
             QStringList({"12#4", "5678", "", ""})); // they survive Stop Config.
    startRun(false); // the next run shows only its own instrument's readings
    QCOMPARE(readingTexts(orvane.get()), QStringList({"", "", "", ""}));
}

// A run on which no instrument has answered yet: the readings and the device
// check of an earlier run count for nothing, as at start-up.
void TestOrvane::newRunWaitsForItsOwnInstrument()
{
    startRun(true);
    trigger("mnuOperation_stop_capture");
    for (bool loneEnd : {true, false}) {
        startRun(false);
        QCOMPARE(readingTexts(orvane.get()), QStringList({"", "", "", ""}));
        click("Feed_Zero");
        QTRY_VERIFY(shownWindow("Dialog")); // refused: nothing has answered on this run
        QCOMPARE(instrument->receiveFor(100), QByteArray());
        closeAuxiliaryWindows(orvane.get());
        QCOMPARE(orvane->consoleState(), ConsoleState::Ready);
        if (loneEnd) {
            // Before the run's first frame a lone "$" shows empty fields, not
            // the last run's.
            QVERIFY(instrument->send("$"));
            QTRY_COMPARE(Module1::device_found, qint16(1));
            QCOMPARE(readingTexts(orvane.get()), QStringList({"", "", "", ""}));
        } else {
            QVERIFY(instrument->send("#NEW1NEW2NEW3NEW4$"));
            QTRY_COMPARE(readingTexts(orvane.get()), QStringList({"NEW1", "NEW2", "NEW3", "NEW4"}));
            click("Feed_Zero");
            QCOMPARE(instrument->receive(3), QByteArray("#2$"));
            QCOMPARE(orvane->consoleState(), ConsoleState::FeedingZero);
        }
        trigger("mnuOperation_stop_capture");
        instrument->receiveFor(50);
    }
}

// A port that cannot be had is reported once, by the path tried and the
// cause, nothing is written, and the console stays usable.
void TestOrvane::openFailureKeepsTheProgramUsable_data()
{
    QTest::addColumn<bool>("held");
    QTest::addColumn<QString>("cause");
    QTest::addColumn<int>("number");
    QTest::newRow("no such device") << false << "There is no such device: " << 1;
    QTest::newRow("held by another program")
        << true << "The port is in use by another program: " << 2;
}

void TestOrvane::openFailureKeepsTheProgramUsable()
{
    QFETCH(bool, held);
    QFETCH(QString, cause);
    QFETCH(int, number);
    // A missing device's name of this process's own: QSerialPort locks even a
    // missing device's name, and a parallel run of this test must not hold that lock.
    const QString path =
        held ? instrument->slavePath()
             : QStringLiteral("/nonexistent/zelvor-tty-%1").arg(QCoreApplication::applicationPid());
    orvane->setPortMap(everyPortTo(path));
    std::unique_ptr<FlockHolder> holder;
    if (held) {
        holder = std::make_unique<FlockHolder>(path);
        QVERIFY(holder->waitUntilHeld());
    }
    MessageCloser operatorCloses;
    const auto before = snapshot(orvane.get());
    trigger("mnuOperation_start_capture");
    QTRY_COMPARE(operatorCloses.texts.size(), 1);
    const QString text = operatorCloses.texts[0];
    QVERIFY2(text.startsWith("Com 1 (" + path + ") cannot be opened.\n\n" + cause),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral(".\n\nError %1: ").arg(number)), qPrintable(text));
    QCOMPARE(snapshot(orvane.get()), before); // Idle, Settings and Start Config. on
    QCOMPARE(instrument->receiveFor(100), QByteArray());
    QCOMPARE(operatorCloses.texts.size(), 1);
    holder.reset();
    routePorts();
    startRun(false); // the program goes on
}

void TestOrvane::messagesShowPathsAsPlainText_data()
{
    QTest::addColumn<QString>("path");
    const QString missing =
        QStringLiteral("/nonexistent/zelvor-%1-").arg(QCoreApplication::applicationPid());
    QTest::newRow("markup") << missing + "<h1>BIG</h1>";
    QTest::newRow("130000 characters") << missing + QString(130000, u'd') + "/tty-end";
}

// A path may hold markup or be of any length: the message shows it as it is,
// a very long one with its two ends kept, in a box that fits on a screen.
void TestOrvane::messagesShowPathsAsPlainText()
{
    QFETCH(QString, path);
    orvane->setPortMap(everyPortTo(path));
    MessageCloser operatorCloses;
    trigger("mnuOperation_start_capture");
    QTRY_COMPARE(operatorCloses.texts.size(), 1);
    QCOMPARE(operatorCloses.formats, QList<Qt::TextFormat>({Qt::PlainText}));
    const QString text = operatorCloses.texts[0];
    if (path.size() < 100) {
        QVERIFY2(text.startsWith("Com 1 (" + path + ") cannot be opened."), qPrintable(text));
        return;
    }
    QVERIFY2(text.size() < 1000, qPrintable(text.left(1000)));
    QVERIFY2(text.startsWith("Com 1 (" + path.left(30)), qPrintable(text));
    QVERIFY2(text.contains(path.right(30) + ") cannot be opened."), qPrintable(text));
}

// The line goes during a run, here while an auxiliary window locks the main
// window: one message that takes the operator's click, then Idle.
void TestOrvane::hangUpReturnsToIdleWithOneMessage()
{
    startRun(true);
    click("Feed_Zero");
    QCOMPARE(instrument->receive(3), QByteArray("#2$"));
    orvane->setEnabled(false);
    MessageCloser operatorCloses;
    const QString opened = portLinks.filePath(QStringLiteral("com1"));
    // The adapter's link went with it: "Com 1" leads elsewhere by now.
    orvane->setPortMap(everyPortTo(QStringLiteral("/dev/ttyS0")));
    instrument->hangUp();
    QTRY_COMPARE(orvane->consoleState(), ConsoleState::Idle);
    QTest::qWait(300); // no storm
    QCOMPARE(operatorCloses.usable, QList<bool>({true}));
    const QString text = operatorCloses.texts[0];
    QVERIFY2(text.startsWith("Com 1 (" + opened + ") stopped working"), qPrintable(text));
    QVERIFY2(text.contains("\n\nThe device is gone or was unplugged: "), qPrintable(text));
    QVERIFY2(text.contains("\n\nThe instrument may still be feeding its zero output"),
             qPrintable(text));
    QVERIFY(text.contains("\n\nError "));
    QVERIFY(!action(orvane.get(), "mnuOperation_stop_capture")->isEnabled());
    orvane->setEnabled(true);
    instrument = std::make_unique<PtyInstrument>(); // a new instrument, a new run
    routePorts();
    startRun(false);
}

void TestOrvane::calibrationButtons_data()
{
    QTest::addColumn<QByteArray>("before"); // clicked first
    QTest::addColumn<QString>("typed");     // then typed into the enabled entry box
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<ConsoleState>("state");
    auto row = [](const char *before, const char *typed, const char *button, const char *written,
                  ConsoleState state) {
        QTest::addRow("%s %s '%s'", before, button, typed)
            << QByteArray(before) << QString(typed) << QByteArray(button) << QByteArray(written)
            << state;
    };
    row("", "", "Feed_Zero", "#2$", ConsoleState::FeedingZero);
    row("Feed_Zero", "", "Stop_Feed_zero", "#3$", ConsoleState::Ready);
    row("", "", "Feed_span", "#4$", ConsoleState::FeedingSpan);
    row("Feed_span", "", "Stop_Feed_span", "#5$", ConsoleState::Ready);
    row("", "", "Low_range_cmd", "", ConsoleState::LowRangeEntry);
    row("", "", "High_range_cmd", "", ConsoleState::HighRangeEntry);
    row("Low_range_cmd", "12.5", "Enter_L", "#612.5$", ConsoleState::Ready);
    // An empty value is not sent: the box stays open.
    row("Low_range_cmd", "", "Enter_L", "", ConsoleState::LowRangeEntry);
    row("High_range_cmd", " 9 ", "Enter_H", "#7 9 $", ConsoleState::Ready);
    row("", "", "Save_cmd", "#8$", ConsoleState::Ready);
}

void TestOrvane::calibrationButtons()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, typed);
    QFETCH(QByteArray, button);
    QFETCH(QByteArray, written);
    QFETCH(ConsoleState, state);
    startRun(true);
    box("Low_range_text")->setText("old");
    box("High_range_text")->setText("old");
    if (!before.isEmpty())
        click(before.constData());
    instrument->receiveFor(50);
    for (QLineEdit *entry : orvane->findChildren<QLineEdit *>()) {
        if (entry->isEnabled()) {
            QCOMPARE(entry->text(), QString()); // cleared as it was enabled
            QTest::keyClicks(entry, typed);
        }
    }
    const auto unchanged = snapshot(orvane.get());
    click(button.constData());
    QCOMPARE(instrument->receive(written.size(), 2000), written);
    QCOMPARE(instrument->receiveFor(50), QByteArray());
    QCOMPARE(orvane->consoleState(), state);
    if (button == "Save_cmd")
        QCOMPARE(snapshot(orvane.get()), unchanged);
    if (button.startsWith("Enter_")) // the value stays in its box, disabled
        QCOMPARE(box(button == "Enter_L" ? "Low_range_text" : "High_range_text")->text(), typed);
    if (state == ConsoleState::LowRangeEntry) // an empty value: the box stays open for it
        QTRY_COMPARE(QApplication::focusWidget(), w("Low_range_text"));
}

void TestOrvane::guardedClickWithoutDevice()
{
    startRun(false);
    box("Low_range_text")->setText("kept");
    for (const char *button :
         {"Feed_Zero", "Feed_span", "Low_range_cmd", "High_range_cmd", "Save_cmd"}) {
        const auto before = snapshot(orvane.get());
        click(button);
        QTRY_VERIFY(shownWindow("Dialog")); // Communication Error, locking the window
        QCOMPARE(instrument->receiveFor(100), QByteArray());
        closeAuxiliaryWindows(orvane.get());
        QVERIFY(orvane->isEnabled());
        QCOMPARE(snapshot(orvane.get()), before);
    }
}

// Every way of ending a run or the program first stops a feed, once, and
// closes the port after that frame has left; the program itself ends with
// status 0. The record ends with that frame, then the way the run ended.
void TestOrvane::endingWhileFeedingSendsItsStopFrameOnce_data()
{
    QTest::addColumn<QByteArray>("ending");
    QTest::addColumn<QByteArray>("feed"); // none: Ready
    QTest::addColumn<QByteArray>("stopFrame");
    QTest::addColumn<QString>("endDetail");
    const std::pair<const char *, const char *> endings[] = {
        {"Stop Config.", "stop"},
        {"Exit", "exit"},
        {"close box", "window closed"},
        {"SIGTERM", "signal"},
        {"quit from elsewhere", "window closed"}, // it closes the windows first
        {"event loop ended elsewhere", "exit"},
    };
    for (const auto &[ending, detail] : endings) {
        QTest::addRow("%s in Feeding zero", ending) << QByteArray(ending) << QByteArray("Feed_Zero")
                                                    << QByteArray("#3$") << QString(detail);
        QTest::addRow("%s in Feeding span", ending) << QByteArray(ending) << QByteArray("Feed_span")
                                                    << QByteArray("#5$") << QString(detail);
    }
    QTest::newRow("Exit in Ready")
        << QByteArray("Exit") << QByteArray() << QByteArray() << QStringLiteral("exit");
}

void TestOrvane::endingWhileFeedingSendsItsStopFrameOnce()
{
    QFETCH(QByteArray, ending);
    QFETCH(QByteArray, feed);
    QFETCH(QByteArray, stopFrame);
    QFETCH(QString, endDetail);
    EndingSignals endingSignals;
    connect(&endingSignals, &EndingSignals::received, orvane.get(), &Orvane::endInOrder);
    startRun(true);
    if (!feed.isEmpty()) {
        click(feed.constData());
        QCOMPARE(instrument->receive(3).size(), 3);
    }
    if (ending == "Stop Config.") {
        trigger("mnuOperation_stop_capture");
    } else {
        QCOMPARE(endInEventLoop(ending), 0);
    }
    QCOMPARE(instrument->receive(stopFrame.size()), stopFrame);
    QCOMPARE(instrument->receiveFor(100), QByteArray()); // once
    QCOMPARE(orvane->consoleState(), ConsoleState::Idle);
    QVERIFY(portIsFree()); // closed, its lock released

    CsvRows tail = {{"end", endDetail, "", "", "", ""}};
    if (!stopFrame.isEmpty())
        tail.prepend({"sent", QString::fromLatin1(stopFrame), "", "", "", ""});
    const CsvRows run = lastRecordedRun(records->path());
    QCOMPARE(run.mid(run.size() - tail.size()), tail);
    // Nothing else was sent after the feed.
    QCOMPARE(run.at(run.size() - tail.size() - 1).at(0), feed.isEmpty() ? "reading" : "sent");
}

int TestOrvane::endInEventLoop(const QByteArray &ending)
{
    QTimer::singleShot(0, orvane.get(), [this, ending] {
        if (ending == "Exit")
            trigger("mnuFile_Exit");
        else if (ending == "close box")
            orvane->close();
        else if (ending == "quit from elsewhere")
            QCoreApplication::quit();
        else if (ending == "event loop ended elsewhere")
            QCoreApplication::exit(0);
        else
            std::raise(SIGTERM);
    });
    QTimer watchdog;
    connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    watchdog.start(5000);
    return QCoreApplication::exec();
}

void TestOrvane::stopFrameThatCannotLeaveIsUnsent_data()
{
    QTest::addColumn<QByteArray>("ending");
    QTest::addColumn<QString>("endDetail");
    QTest::addColumn<int>("messages"); // a signal ending has no one to show it to
    QTest::newRow("Stop Config.") << QByteArray("Stop Config.") << "stop" << 1;
    QTest::newRow("Exit") << QByteArray("Exit") << "exit" << 1;
    QTest::newRow("SIGTERM") << QByteArray("SIGTERM") << "signal" << 0;
}

// The line takes nothing more (output stopped, as XOFF or a stuck UART
// would): "#3$" never reaches the instrument, and nothing says it did.
void TestOrvane::stopFrameThatCannotLeaveIsUnsent()
{
    QFETCH(QByteArray, ending);
    QFETCH(QString, endDetail);
    QFETCH(int, messages);
    EndingSignals endingSignals;
    connect(&endingSignals, &EndingSignals::received, orvane.get(), &Orvane::endInOrder);
    const int line = ::open(QFile::encodeName(instrument->deviceSlavePath()).constData(),
                            O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(line >= 0);
    auto closeLine = qScopeGuard([line] { ::close(line); });
    startRun(true);
    click("Feed_Zero");
    QCOMPARE(instrument->receive(3), QByteArray("#2$"));
    QCOMPARE(::tcflow(line, TCOOFF), 0);

    MessageCloser operatorCloses;
    if (ending == "Stop Config.") {
        trigger("mnuOperation_stop_capture");
        QTRY_COMPARE(operatorCloses.texts.size(), 1);
    } else {
        QCOMPARE(endInEventLoop(ending), 0);
    }
    QCOMPARE(::tcflow(line, TCOON), 0);
    QCOMPARE(instrument->receiveFor(200), QByteArray()); // dropped, never sent late
    QCOMPARE(orvane->consoleState(), ConsoleState::Idle);
    QVERIFY(portIsFree());
    QCOMPARE(operatorCloses.texts.size(), messages);
    if (messages > 0) {
        const QString text = operatorCloses.texts[0];
        QVERIFY2(text.contains("the port closed without sending it"), qPrintable(text));
        QVERIFY2(text.contains("The instrument did not get the stop command \"#3$\" and may "
                               "still be feeding its zero output"),
                 qPrintable(text));
    }
    const CsvRows run = lastRecordedRun(records->path());
    const CsvRows tail = {{"sent", "#2$", "", "", "", ""},
                          {"unsent", "#3$", "", "", "", ""},
                          {"end", endDetail, "", "", "", ""}};
    QCOMPARE(run.mid(run.size() - tail.size()), tail);
}

void TestOrvane::focusGoesWhereTheOperatorWorksNext_data()
{
    QTest::addColumn<QByteArray>("before");  // clicked first, with the mouse
    QTest::addColumn<QByteArray>("pressed"); // then pressed with Space, focused
    QTest::addColumn<QByteArray>("focused");
    QTest::newRow("Feed Low Range")
        << QByteArray() << QByteArray("Low_range_cmd") << QByteArray("Low_range_text");
    QTest::newRow("Feed High Range")
        << QByteArray() << QByteArray("High_range_cmd") << QByteArray("High_range_text");
    QTest::newRow("Feed Zero") << QByteArray() << QByteArray("Feed_Zero")
                               << QByteArray("Stop_Feed_zero");
    QTest::newRow("Stop Feed Zero")
        << QByteArray("Feed_Zero") << QByteArray("Stop_Feed_zero") << QByteArray("Feed_span");
    QTest::newRow("Enter") << QByteArray("High_range_cmd") << QByteArray("Enter_H")
                           << QByteArray("Save_cmd");
}

// The pressed control is disabled by its own action: the focus must land where
// typing or the next key press goes on with the work, never on nothing.
void TestOrvane::focusGoesWhereTheOperatorWorksNext()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, pressed);
    QFETCH(QByteArray, focused);
    startRun(true);
    if (!before.isEmpty())
        click(before.constData());
    for (QLineEdit *entry : orvane->findChildren<QLineEdit *>()) {
        if (entry->isEnabled()) // an Enter needs a value
            QTest::keyClicks(entry, "9");
    }
    w(pressed.constData())->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), w(pressed.constData()));
    QTest::keyClick(w(pressed.constData()), Qt::Key_Space);
    QVERIFY(!w(pressed.constData())->isEnabled());
    QTRY_COMPARE(QApplication::focusWidget(), w(focused.constData()));
    if (auto *entry = qobject_cast<QLineEdit *>(w(focused.constData()))) {
        QTest::keyClicks(QApplication::focusWidget(), "12.5");
        QCOMPARE(entry->text(), QStringLiteral("12.5"));
    }
}

void TestOrvane::returnInEntryBoxPressesItsEnter_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<int>("key");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("low, Return") << QByteArray("Low_range_cmd") << QByteArray("Low_range_text")
                                 << int(Qt::Key_Return) << QByteArray("#612.5$");
    QTest::newRow("low, keypad Enter")
        << QByteArray("Low_range_cmd") << QByteArray("Low_range_text") << int(Qt::Key_Enter)
        << QByteArray("#612.5$");
    QTest::newRow("high, Return") << QByteArray("High_range_cmd") << QByteArray("High_range_text")
                                  << int(Qt::Key_Return) << QByteArray("#712.5$");
    QTest::newRow("high, keypad Enter")
        << QByteArray("High_range_cmd") << QByteArray("High_range_text") << int(Qt::Key_Enter)
        << QByteArray("#712.5$");
}

void TestOrvane::returnInEntryBoxPressesItsEnter()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, entry);
    QFETCH(int, key);
    QFETCH(QByteArray, written);
    startRun(true);
    click(command.constData());
    QTest::keyClicks(w(entry.constData()), "12.5");
    const Qt::KeyboardModifiers modifiers =
        key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
    QTest::keyClick(w(entry.constData()), Qt::Key(key), modifiers);
    QCOMPARE(instrument->receive(written.size(), 2000), written);
    QCOMPARE(orvane->consoleState(), ConsoleState::Ready);
    // Return again in the now disabled box sends nothing more.
    QTest::keyClick(w(entry.constData()), Qt::Key(key), modifiers);
    QCOMPARE(instrument->receiveFor(100), QByteArray());
}

void TestOrvane::heldKeyPressesOnce_data()
{
    QTest::addColumn<QByteArray>("command"); // clicked first, if any
    QTest::addColumn<QByteArray>("focused");
    QTest::addColumn<int>("key");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("Return on Feed Zero")
        << QByteArray() << QByteArray("Feed_Zero") << int(Qt::Key_Return) << QByteArray("#2$");
    QTest::newRow("keypad Enter on Feed span")
        << QByteArray() << QByteArray("Feed_span") << int(Qt::Key_Enter) << QByteArray("#4$");
    QTest::newRow("Return in the low-range box")
        << QByteArray("Low_range_cmd") << QByteArray("Low_range_text") << int(Qt::Key_Return)
        << QByteArray("#612.5$");
}

// A key held down repeats: only its first press acts, wherever the focus
// moves meanwhile; the repeats reach the next control and press nothing.
void TestOrvane::heldKeyPressesOnce()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, focused);
    QFETCH(int, key);
    QFETCH(QByteArray, written);
    startRun(true);
    if (!command.isEmpty())
        click(command.constData());
    if (auto *entry = qobject_cast<QLineEdit *>(w(focused.constData())))
        QTest::keyClicks(entry, "12.5");
    w(focused.constData())->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), w(focused.constData()));
    for (int i = 0; i < 6; ++i) {
        const bool repeat = i > 0;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, "\r", repeat);
        QApplication::sendEvent(QApplication::focusWidget(), &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, "\r", repeat);
        QApplication::sendEvent(QApplication::focusWidget(), &release);
    }
    QCOMPARE(instrument->receive(written.size(), 2000), written);
    QCOMPARE(instrument->receiveFor(100), QByteArray());
}

// Assistive technology presses a menu item and waits for the call to return;
// the message must not hold it until the operator has read it.
void TestOrvane::actionReturnsBeforeItsMessageIsClosed()
{
    const QString missing =
        QStringLiteral("/nonexistent/zelvor-tty-%1").arg(QCoreApplication::applicationPid());
    orvane->setPortMap(everyPortTo(missing));
    bool closedByWatchdog = false;
    QTimer watchdog; // stands in for an operator who finally closes it
    connect(&watchdog, &QTimer::timeout, this, [&closedByWatchdog] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            closedByWatchdog = true;
            box->done(QMessageBox::Ok);
        }
    });
    watchdog.start(3000);
    trigger("mnuOperation_start_capture");
    QVERIFY2(!closedByWatchdog, "the action waited for its message to be closed");
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())));
    QVERIFY(box->text().contains(missing));
    box->done(QMessageBox::Ok);
    QTRY_COMPARE(QApplication::activeModalWidget(), nullptr);
}

QTEST_MAIN(TestOrvane)
#include "tst_orvane.moc"
