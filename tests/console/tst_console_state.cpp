// SPDX-License-Identifier: MIT
// The console state table against the design's own, event by event, read from
// golden/control_states.txt (written apart from the code): no window.
#include "console/console_state.h"
#include "console/main_window_layout.h"

#include <QFile>
#include <QTest>

using console::ConsoleState;
Q_DECLARE_METATYPE(console::ConsoleState)

namespace {

// The table's cells, header first, without the rule under it.
QList<QStringList> designedTable()
{
    QList<QStringList> rows;
    QFile file(QStringLiteral(ZELVOR_GOLDEN_DIR "/control_states.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return rows;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1Char('|')) || line.startsWith(QLatin1String("|---")))
            continue;
        QStringList cells = line.mid(1, line.size() - 2).split(QLatin1Char('|'));
        for (QString &cell : cells)
            cell = cell.trimmed().remove(QLatin1Char('`'));
        rows << cells;
    }
    return rows;
}

constexpr int Columns = 17; // event, eleven controls, reading boxes, three menu items, state
constexpr int FirstMenu = 1 + console::CalibrationControlCount + 1;
const QString Untouched = QStringLiteral("·");

std::optional<ConsoleState> stateNamed(const QString &name)
{
    for (ConsoleState state : console::AllConsoleStates) {
        if (console::stateName(state) == name)
            return state;
    }
    return std::nullopt;
}

} // namespace

class TestConsoleState : public QObject
{
    Q_OBJECT
private slots:
    void calibrationControlsInTheDesignedOrder();
    void stateRow_data();
    void stateRow();
};

void TestConsoleState::calibrationControlsInTheDesignedOrder()
{
    const QList<QStringList> table = designedTable();
    QVERIFY(!table.isEmpty());
    QCOMPARE(table.first().size(), Columns);
    for (int i = 0; i < console::CalibrationControlCount; ++i)
        QCOMPARE(table.first().at(1 + i), QLatin1String(layout::CalibrationControlNames[i]));
}

void TestConsoleState::stateRow_data()
{
    QTest::addColumn<QStringList>("cells");
    const QList<QStringList> table = designedTable();
    QCOMPARE(table.size(), 13);
    QList<ConsoleState> reached;
    for (qsizetype r = 1; r < table.size(); ++r) {
        QTest::newRow(qPrintable(table.at(r).first())) << table.at(r);
        if (const auto state = stateNamed(table.at(r).last()))
            reached << *state;
    }
    for (ConsoleState state : console::AllConsoleStates)
        QVERIFY2(reached.contains(state), qPrintable(console::stateName(state)));
}

void TestConsoleState::stateRow()
{
    QFETCH(QStringList, cells);
    QCOMPARE(cells.size(), Columns);
    const QStringList controls = cells.mid(1, console::CalibrationControlCount);
    if (controls == QStringList(console::CalibrationControlCount, Untouched)) {
        // Touches nothing, so it stays in the state it was clicked in.
        QCOMPARE(cells.mid(FirstMenu, 3), QStringList(3, Untouched));
        QVERIFY(cells.last().startsWith(QLatin1String("unchanged (")));
        QVERIFY(stateNamed(cells.last().section(QLatin1Char('('), 1).chopped(1)));
        return;
    }
    const std::optional<ConsoleState> state = stateNamed(cells.last());
    QVERIFY2(state, qPrintable(cells.last()));
    const console::StateRow actual = console::stateRow(*state);
    for (int i = 0; i < console::CalibrationControlCount; ++i) {
        QVERIFY2(actual.enabled[i] == (controls[i] != QLatin1String("off")),
                 qPrintable(QString::number(i)));
        const bool cleared = actual.clearedEntry && console::position(*actual.clearedEntry) == i;
        QCOMPARE(cleared, controls[i] == QLatin1String("on + clear"));
    }
    QCOMPARE(console::stateOf(actual.enabled), state); // the flags tell the state apart
}

QTEST_APPLESS_MAIN(TestConsoleState)
#include "tst_console_state.moc"
