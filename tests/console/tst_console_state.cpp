// SPDX-License-Identifier: MIT
// The console state table, row by row, against console::stateRow(): no window.
#include "console/console_state.h"

#include <QTest>

using console::ConsoleState;
Q_DECLARE_METATYPE(console::ConsoleState)

class TestConsoleState : public QObject
{
    Q_OBJECT
private slots:
    void stateRow_data();
    void stateRow();
};

void TestConsoleState::stateRow_data()
{
    QTest::addColumn<ConsoleState>("state");
    QTest::addColumn<QString>("name");
    // Feed_Zero Stop_Feed_zero Save_cmd Feed_span Stop_Feed_span Low_range_cmd
    // Low_range_text Enter_L High_range_cmd High_range_text Enter_H, in the order
    // every action writes them ("clear": on, then Text set to "").
    QTest::addColumn<QString>("row");
    QTest::newRow("start-up, Stop Config.") << ConsoleState::Idle << "Idle"
                                            << "off off off off off off off off off off off";
    QTest::newRow("Start Config., stops, Enters") << ConsoleState::Ready << "Ready"
                                                  << "on off on on off on off off on off off";
    QTest::newRow("Feed_Zero") << ConsoleState::FeedingZero << "Feeding zero"
                               << "off on off off off off off off off off off";
    QTest::newRow("Feed_span") << ConsoleState::FeedingSpan << "Feeding span"
                               << "off off off off on off off off off off off";
    QTest::newRow("Low_range_cmd") << ConsoleState::LowRangeEntry << "Low-range entry"
                                   << "off off off off off off clear on off off off";
    QTest::newRow("High_range_cmd") << ConsoleState::HighRangeEntry << "High-range entry"
                                    << "off off off off off off off off off clear on";
}

void TestConsoleState::stateRow()
{
    QFETCH(ConsoleState, state);
    QFETCH(QString, name);
    QFETCH(QString, row);
    const QStringList cells = row.split(QLatin1Char(' '));
    const console::StateRow actual = console::stateRow(state);
    QCOMPARE(cells.size(), console::CalibrationControlCount);
    for (int i = 0; i < console::CalibrationControlCount; ++i) {
        QVERIFY2(actual.enabled[i] == (cells[i] != QLatin1String("off")),
                 qPrintable(QString::number(i)));
        const bool cleared = actual.clearedEntry && console::position(*actual.clearedEntry) == i;
        QCOMPARE(cleared, cells[i] == QLatin1String("clear"));
    }
    QCOMPARE(console::stateName(state), name);
    QCOMPARE(console::stateOf(actual.enabled), state); // the flags tell the state apart
}

QTEST_APPLESS_MAIN(TestConsoleState)
#include "tst_console_state.moc"
