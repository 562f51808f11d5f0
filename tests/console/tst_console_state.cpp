// Part 2.2's state table, row by row, against console::stateRow(): pure, no window.
#include "console/console_state.h"

#include <QTest>

using console::CalibrationControl;
using console::ConsoleState;

Q_DECLARE_METATYPE(console::ConsoleState)

class TestConsoleState : public QObject
{
    Q_OBJECT

private slots:
    void stateRow_data();
    void stateRow();
    void everyStateIsToldApartByItsFlags();
    void controlOrderIsTheFixedWriteOrder();
    void runMenus();
};

void TestConsoleState::stateRow_data()
{
    QTest::addColumn<ConsoleState>("state");
    // The eleven flags in the fixed order, as Part 2.2 writes them:
    // Feed_Zero Stop_Feed_zero Save_cmd Feed_span Stop_Feed_span Low_range_cmd
    // Low_range_text Enter_L High_range_cmd High_range_text Enter_H ("clear" =
    // on + clear).
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("name");

    QTest::newRow("start-up / Stop Config.")
        << ConsoleState::Idle << "off off off off off off off off off off off" << "Idle";
    QTest::newRow("Start Config. / stops / Enters")
        << ConsoleState::Ready << "on off on on off on off off on off off" << "Ready";
    QTest::newRow("Feed_Zero click")
        << ConsoleState::FeedingZero << "off on off off off off off off off off off"
        << "Feeding zero";
    QTest::newRow("Feed_span click")
        << ConsoleState::FeedingSpan << "off off off off on off off off off off off"
        << "Feeding span";
    QTest::newRow("Low_range_cmd click")
        << ConsoleState::LowRangeEntry << "off off off off off off clear on off off off"
        << "Low-range entry";
    QTest::newRow("High_range_cmd click")
        << ConsoleState::HighRangeEntry << "off off off off off off off off off clear on"
        << "High-range entry";
}

void TestConsoleState::stateRow()
{
    QFETCH(ConsoleState, state);
    QFETCH(QString, row);
    QFETCH(QString, name);

    const QStringList cells = row.split(QLatin1Char(' '));
    QCOMPARE(cells.size(), console::CalibrationControlCount);
    const console::StateRow actual = console::stateRow(state);
    int cleared = -1;
    for (int i = 0; i < console::CalibrationControlCount; ++i) {
        QVERIFY2(actual.enabled[i] == (cells[i] != QLatin1String("off")),
                 console::CalibrationControlNames[i]);
        if (cells[i] == QLatin1String("clear"))
            cleared = i;
    }
    QCOMPARE(actual.clearedEntry ? console::position(*actual.clearedEntry) : -1, cleared);
    QCOMPARE(console::stateName(state), name);
}

void TestConsoleState::everyStateIsToldApartByItsFlags()
{
    for (ConsoleState state : console::AllConsoleStates)
        QCOMPARE(console::stateOf(console::stateRow(state).enabled), state);
    console::EnabledFlags allOn;
    allOn.fill(true);
    QVERIFY(!console::stateOf(allOn));
}

void TestConsoleState::controlOrderIsTheFixedWriteOrder()
{
    const QStringList expected = {
        "Feed_Zero",     "Stop_Feed_zero", "Save_cmd",       "Feed_span",
        "Stop_Feed_span", "Low_range_cmd", "Low_range_text", "Enter_L",
        "High_range_cmd", "High_range_text", "Enter_H",
    };
    QStringList actual;
    for (const char *name : console::CalibrationControlNames)
        actual << QLatin1String(name);
    QCOMPARE(actual, expected);
    QCOMPARE(console::position(CalibrationControl::Enter_H), 10);
}

void TestConsoleState::runMenus()
{
    constexpr console::RunMenuFlags idle = console::runMenuFlags(false);
    constexpr console::RunMenuFlags run = console::runMenuFlags(true);
    QVERIFY(idle.comSetting && idle.startConfig && !idle.stopConfig);
    QVERIFY(!run.comSetting && !run.startConfig && run.stopConfig);
}

QTEST_APPLESS_MAIN(TestConsoleState)
#include "tst_console_state.moc"
