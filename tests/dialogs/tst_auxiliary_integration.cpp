// SPDX-License-Identifier: MIT
#include "../console/console_test_support.h"
#include "auxiliary_test_support.h"

#include "app/module1.h"
#include "console/main_window_layout.h"
#include "link/port_map.h"
#include "link/serial_port.h"
#include "pty_instrument.h"

#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <memory>

using namespace consoletest;

Q_DECLARE_METATYPE(console::ConsoleState)

// The auxiliary windows with the real main window and a real line: the port
// chosen in Communication Settings is the one Start Config. opens, the
// Communication Error dialog stands in for a guarded action, and the lock
// leaves the console and its line running as they were.
class TestAuxiliaryIntegration : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void shouldOpenPortChosenInComSettingAtNextStartConfig_data();
    void shouldOpenPortChosenInComSettingAtNextStartConfig();
    void shouldKeepEarlierChoiceWhenLaterOpeningIsCancelled();
    void shouldTellWhereEachPortLeadsAndOpenThat();
    void shouldShowCommunicationErrorInsteadOfGuardedAction_data();
    void shouldShowCommunicationErrorInsteadOfGuardedAction();
    void shouldKeepFillingReadingBoxesWhileAboutIsOpen();
    void shouldKeepEveryEnabledFlagThroughTheLock_data();
    void shouldKeepEveryEnabledFlagThroughTheLock();

private:
    QWidget *auxiliary(const char *name) const;
    void routePortTo(int portNumber);
    void startConfig();
    void sendStatus(const QByteArray &body);
    void reach(console::ConsoleState state);

    std::unique_ptr<PtyInstrument> instrument;
    std::unique_ptr<MessageCloser> messages;
    QTemporaryDir records;
    std::unique_ptr<Orvane> orvane;
    // Where the window's ports lead when it is made.
    PortMap ports;
};

void TestAuxiliaryIntegration::init()
{
    Module1::device_found = 0;
    instrument = std::make_unique<PtyInstrument>();
    QVERIFY(instrument->isValid());
    routePortTo(1);
    messages = std::make_unique<MessageCloser>();
    orvane = std::make_unique<Orvane>();
    orvane->setPortMap(ports);
    orvane->setRunRecordFolder(records.path());
    orvane->show();
    QVERIFY(QTest::qWaitForWindowActive(orvane.get()));
}

void TestAuxiliaryIntegration::cleanup()
{
    closeAuxiliaryWindows(orvane.get());
    orvane.reset();
    messages.reset();
    instrument.reset();
    Module1::comm_port = 1;
    Module1::device_found = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName() + QStringLiteral(" left on screen")));
}

QWidget *TestAuxiliaryIntegration::auxiliary(const char *name) const
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String(name))
            return w;
    }
    return nullptr;
}

// Only the given port leads to the instrument; every other one is missing.
void TestAuxiliaryIntegration::routePortTo(int portNumber)
{
    const QString path = instrument->slavePath();
    PortMap::Paths paths;
    for (int n = PortMap::FirstPort; n <= PortMap::LastPort; ++n)
        paths.insert(n,
                     n == portNumber ? path : QStringLiteral("/nonexistent/zelvor-com%1").arg(n));
    if (orvane)
        orvane->setPortMap(PortMap(paths));
    else
        ports = PortMap(paths);
}

// The operator points at an entry and reads where it leads; what it says is
// what Start Config. then opens.
void TestAuxiliaryIntegration::shouldTellWhereEachPortLeadsAndOpenThat()
{
    QTemporaryDir home;
    const QSettings settings(home.filePath(QStringLiteral("zelvor-console.conf")),
                             QSettings::IniFormat);
    orvane->setPortMap(PortMap({{3, instrument->slavePath()}}, settings.fileName()));

    action(orvane.get(), "mnuSetting_com_setting")->trigger();
    auto *combo = auxiliary("ComSetting")->findChild<QComboBox *>(QStringLiteral("port_combo"));
    const QString where = combo->itemData(2, Qt::ToolTipRole).toString();
    QVERIFY2(where.contains(instrument->slavePath()), qPrintable(where));
    // The device as the system names it at the end of every link.
    const QString device = QFileInfo(instrument->deviceSlavePath()).canonicalFilePath();
    QVERIFY2(where.contains(device), qPrintable(where));
    QCOMPARE(combo->itemData(2, Qt::AccessibleDescriptionRole).toString(), where);
    QCOMPARE(combo->itemText(2), QStringLiteral("Com 3"));
    combo->setCurrentIndex(2);
    QTest::mouseClick(auxiliary("ComSetting")->findChild<QPushButton *>(QStringLiteral("OKButton")),
                      Qt::LeftButton);
    startConfig();
}

void TestAuxiliaryIntegration::startConfig()
{
    action(orvane.get(), "mnuOperation_start_capture")->trigger();
    QCOMPARE(instrument->receive(3), QByteArray("#1$"));
    QCOMPARE(orvane->consoleState(), console::ConsoleState::Ready);
}

void TestAuxiliaryIntegration::sendStatus(const QByteArray &body)
{
    QVERIFY(instrument->send("#" + body + "$"));
    QTRY_COMPARE(control<QLineEdit>(orvane.get(), "High_range_real_txt")->text(),
                 QString::fromLatin1(body.right(4)));
}

void TestAuxiliaryIntegration::reach(console::ConsoleState state)
{
    using S = console::ConsoleState;
    if (state == S::Idle)
        return;
    startConfig();
    sendStatus("0004002000000100");
    const char *button = state == S::FeedingZero      ? "Feed_Zero"
                         : state == S::FeedingSpan    ? "Feed_span"
                         : state == S::LowRangeEntry  ? "Low_range_cmd"
                         : state == S::HighRangeEntry ? "High_range_cmd"
                                                      : nullptr;
    if (button)
        QTest::mouseClick(control(orvane.get(), button), Qt::LeftButton);
    if (state == S::LowRangeEntry)
        QTest::keyClicks(control(orvane.get(), "Low_range_text"), QStringLiteral("12"));
    if (state == S::HighRangeEntry)
        QTest::keyClicks(control(orvane.get(), "High_range_text"), QStringLiteral(" 9 "));
    QCOMPARE(orvane->consoleState(), state);
    instrument->receiveFor(50);
}

void TestAuxiliaryIntegration::shouldOpenPortChosenInComSettingAtNextStartConfig_data()
{
    QTest::addColumn<int>("picked");
    QTest::addColumn<Closing>("closing");
    QTest::addColumn<int>("opened");
    QTest::newRow("OK Com 5") << 4 << Closing::OkButton << 5;
    QTest::newRow("OK Com 8") << 7 << Closing::OkButton << 8;
    QTest::newRow("OK Com 1 as it was") << 0 << Closing::OkButton << 1;
    QTest::newRow("Cancel Com 5") << 4 << Closing::CancelButton << 1;
    QTest::newRow("close box Com 5") << 4 << Closing::WindowSystem << 1;
    QTest::newRow("close event Com 5") << 4 << Closing::CloseEvent << 1;
}

void TestAuxiliaryIntegration::shouldOpenPortChosenInComSettingAtNextStartConfig()
{
    QFETCH(int, picked);
    QFETCH(Closing, closing);
    QFETCH(int, opened);
    routePortTo(opened);

    action(orvane.get(), "mnuSetting_com_setting")->trigger();
    QWidget *settings = auxiliary("ComSetting");
    QVERIFY(settings && settings->isVisible());
    QVERIFY(!orvane->isEnabled());
    settings->findChild<QComboBox *>(QStringLiteral("port_combo"))->setCurrentIndex(picked);
    closeBy(settings, closing);
    QVERIFY(orvane->isEnabled());
    QCOMPARE(Module1::comm_port, qint16(opened));

    action(orvane.get(), "mnuOperation_start_capture")->trigger();
    QCOMPARE(instrument->receive(3), QByteArray("#1$"));
    QVERIFY2(messages->texts.isEmpty(), qPrintable(messages->texts.join(QLatin1Char('\n'))));
    QCOMPARE(orvane->consoleState(), console::ConsoleState::Ready);
    action(orvane.get(), "mnuOperation_stop_capture")->trigger();
}

void TestAuxiliaryIntegration::shouldKeepEarlierChoiceWhenLaterOpeningIsCancelled()
{
    routePortTo(5);
    action(orvane.get(), "mnuSetting_com_setting")->trigger();
    QWidget *settings = auxiliary("ComSetting");
    settings->findChild<QComboBox *>(QStringLiteral("port_combo"))->setCurrentIndex(4);
    closeBy(settings, Closing::OkButton);

    for (Closing closing : {Closing::CancelButton, Closing::WindowSystem}) {
        action(orvane.get(), "mnuSetting_com_setting")->trigger();
        QCOMPARE(auxiliary("ComSetting"), settings);
        auto *combo = settings->findChild<QComboBox *>(QStringLiteral("port_combo"));
        QCOMPARE(combo->count(), 8);
        QCOMPARE(combo->currentIndex(), 4);
        combo->setCurrentIndex(1);
        closeBy(settings, closing);
    }
    startConfig();
    QVERIFY(messages->texts.isEmpty());

    // A port that cannot be opened is reported, and nothing reaches the instrument.
    action(orvane.get(), "mnuOperation_stop_capture")->trigger();
    action(orvane.get(), "mnuSetting_com_setting")->trigger();
    settings->findChild<QComboBox *>(QStringLiteral("port_combo"))->setCurrentIndex(1);
    closeBy(settings, Closing::OkButton);
    action(orvane.get(), "mnuOperation_start_capture")->trigger();
    QTRY_COMPARE(messages->texts.size(), 1);
    QVERIFY(messages->texts.first().contains(QStringLiteral("zelvor-com2")));
    QCOMPARE(instrument->receiveFor(100), QByteArray());
}

void TestAuxiliaryIntegration::shouldShowCommunicationErrorInsteadOfGuardedAction_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<console::ConsoleState>("after");
    using S = console::ConsoleState;
    QTest::newRow("Feed_Zero") << "Feed_Zero" << QByteArray("#2$") << S::FeedingZero;
    QTest::newRow("Feed_span") << "Feed_span" << QByteArray("#4$") << S::FeedingSpan;
    QTest::newRow("Low_range_cmd") << "Low_range_cmd" << QByteArray() << S::LowRangeEntry;
    QTest::newRow("High_range_cmd") << "High_range_cmd" << QByteArray() << S::HighRangeEntry;
    QTest::newRow("Save_cmd") << "Save_cmd" << QByteArray("#8$") << S::Ready;
}

void TestAuxiliaryIntegration::shouldShowCommunicationErrorInsteadOfGuardedAction()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, written);
    QFETCH(console::ConsoleState, after);
    QWidget *guarded = orvane->findChild<QPushButton *>(button);
    startConfig();
    const auto before = snapshot(orvane.get());

    for (Closing closing : {Closing::OkButton, Closing::WindowSystem}) {
        QTest::mouseClick(guarded, Qt::LeftButton);
        QWidget *error = auxiliary("Dialog");
        QVERIFY(error && error->isVisible());
        QVERIFY(!orvane->isEnabled());
        QCOMPARE(snapshot(orvane.get()), before);
        // Locked: a second click reaches nothing.
        QTest::mouseClick(guarded, Qt::LeftButton);
        QCOMPARE(instrument->receiveFor(150), QByteArray());

        closeBy(error, closing);
        QVERIFY(orvane->isEnabled());
        QCOMPARE(snapshot(orvane.get()), before);
        QCOMPARE(orvane->consoleState(), console::ConsoleState::Ready);
    }
    QVERIFY(messages->texts.isEmpty());

    // Once the instrument has answered the same click does its work.
    sendStatus("1111222233334444");
    QCOMPARE(Module1::device_found, qint16(1));
    QTest::mouseClick(guarded, Qt::LeftButton);
    QVERIFY(!auxiliary("Dialog")->isVisible());
    QVERIFY(orvane->isEnabled());
    QCOMPARE(instrument->receiveFor(150), written);
    QCOMPARE(orvane->consoleState(), after);
}

void TestAuxiliaryIntegration::shouldKeepFillingReadingBoxesWhileAboutIsOpen()
{
    startConfig();
    action(orvane.get(), "About_Menu")->trigger();
    QWidget *about = auxiliary("FrmAbout");
    QVERIFY(about && about->isVisible());
    QVERIFY(!orvane->isEnabled());

    const char *const boxes[] = {"Zero_real", "Span_real", "Low_range_real_txt",
                                 "High_range_real_txt"};
    for (const QByteArray &body :
         {QByteArray("0004002000000100"), QByteArray("0005001901000099")}) {
        // In pieces, as a line delivers it.
        QVERIFY(instrument->send("#" + body.left(7)));
        QVERIFY(instrument->send(body.mid(7) + "$"));
        for (int i = 0; i < 4; ++i)
            QTRY_COMPARE(control<QLineEdit>(orvane.get(), boxes[i])->text(),
                         QString::fromLatin1(body.mid(4 * i, 4)));
        QVERIFY(about->isVisible());
    }
    QCOMPARE(Module1::device_found, qint16(1));

    closeBy(about, Closing::OkButton);
    QVERIFY(orvane->isEnabled());
    QCOMPARE(orvane->consoleState(), console::ConsoleState::Ready);
    // The run went on all along.
    QTest::mouseClick(control(orvane.get(), "Feed_Zero"), Qt::LeftButton);
    QCOMPARE(instrument->receive(3), QByteArray("#2$"));
    QVERIFY(messages->texts.isEmpty());
}

void TestAuxiliaryIntegration::shouldKeepEveryEnabledFlagThroughTheLock_data()
{
    QTest::addColumn<console::ConsoleState>("state");
    QTest::addColumn<QString>("menuItem");
    using S = console::ConsoleState;
    QTest::newRow("Idle, Communication Settings") << S::Idle << "mnuSetting_com_setting";
    for (S state : console::AllConsoleStates) {
        QTest::addRow("%s, About", qPrintable(console::stateName(state)))
            << state << QStringLiteral("About_Menu");
    }
}

void TestAuxiliaryIntegration::shouldKeepEveryEnabledFlagThroughTheLock()
{
    QFETCH(console::ConsoleState, state);
    QFETCH(QString, menuItem);
    reach(state);
    const auto before = snapshot(orvane.get());
    QMap<QString, bool> takingInput;
    for (QWidget *w : orvane->findChildren<QWidget *>())
        takingInput[w->objectName()] = w->isEnabled();

    for (Closing closing : {Closing::OkButton, Closing::WindowSystem, Closing::CloseEvent}) {
        action(orvane.get(), menuItem.toLatin1().constData())->trigger();
        QVERIFY(!orvane->isEnabled());
        for (int i = 0; i < console::CalibrationControlCount; ++i) {
            const char *name = layout::CalibrationControlNames[i];
            QVERIFY2(!control(orvane.get(), name)->isEnabled(), name);
        }
        QCOMPARE(snapshot(orvane.get()), before);

        QWidget *open = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w != orvane.get() && w->isVisible())
                open = w;
        }
        QVERIFY(open);
        closeBy(open, closing);
        QVERIFY(orvane->isEnabled());
        QCOMPARE(snapshot(orvane.get()), before);
        for (QWidget *w : orvane->findChildren<QWidget *>())
            QCOMPARE(w->isEnabled(), takingInput.value(w->objectName()));
        QCOMPARE(orvane->consoleState(), state);
    }
    QCOMPARE(instrument->receiveFor(50), QByteArray());
}

QTEST_MAIN(TestAuxiliaryIntegration)
#include "tst_auxiliary_integration.moc"
