// SPDX-License-Identifier: MIT
#include "auxiliary_test_support.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include <memory>

// Communication Settings: the port list rebuilt at every opening, the
// preselection from comm_port, and comm_port written by OK alone.
class TestComSetting : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void shouldListExactlyEightPortsAtEveryOpening();
    void shouldPreselectPortFromCommPort_data();
    void shouldPreselectPortFromCommPort();
    void shouldWritePortOnOkOnly_data();
    void shouldWritePortOnOkOnly();
    void shouldOfferSelectOnlyList();
    void shouldDescribeWhereEachEntryLeads();
    void shouldPlaceClientAreaAtItsPositionEveryOpening();

private:
    QComboBox *openAndGetCombo();

    std::unique_ptr<LockTarget> main_window;
    std::unique_ptr<AuxiliaryWindows> windows;
};

void TestComSetting::init()
{
    consolePort() = 1;
    main_window = std::make_unique<LockTarget>();
    main_window->show();
    windows = makeWindows(main_window.get());
}

void TestComSetting::cleanup()
{
    windows.reset();
    main_window.reset();
    consolePort() = 1;
    QVERIFY2(visibleTopLevels().isEmpty(), "a window was left on screen");
}

QComboBox *TestComSetting::openAndGetCombo()
{
    windows->showComSetting(consolePort());
    return windows->comSetting()->findChild<QComboBox *>(QStringLiteral("port_combo"));
}

void TestComSetting::shouldListExactlyEightPortsAtEveryOpening()
{
    const QStringList ports{"Com 1", "Com 2", "Com 3", "Com 4", "Com 5", "Com 6", "Com 7", "Com 8"};
    for (Closing closing : {Closing::OkButton, Closing::CancelButton, Closing::WindowSystem,
                            Closing::CloseEvent, Closing::OkButton}) {
        QComboBox *combo = openAndGetCombo();
        QStringList shown;
        for (int i = 0; i < combo->count(); ++i)
            shown << combo->itemText(i);
        QCOMPARE(shown, ports);
        closeBy(windows->comSetting(), closing);
    }
}

void TestComSetting::shouldPreselectPortFromCommPort_data()
{
    QTest::addColumn<qint16>("commPort");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("shown");
    QTest::newRow("1") << qint16(1) << 0 << "Com 1";
    QTest::newRow("2") << qint16(2) << 1 << "Com 2";
    QTest::newRow("5") << qint16(5) << 4 << "Com 5";
    QTest::newRow("8") << qint16(8) << 7 << "Com 8";
    QTest::newRow("0") << qint16(0) << -1 << "";
    QTest::newRow("9") << qint16(9) << -1 << "";
    QTest::newRow("-1") << qint16(-1) << -1 << "";
    QTest::newRow("max") << qint16(32767) << -1 << "";
    QTest::newRow("min") << qint16(-32768) << -1 << "";
}

void TestComSetting::shouldPreselectPortFromCommPort()
{
    QFETCH(qint16, commPort);
    QFETCH(int, position);
    QFETCH(QString, shown);
    // A different port selected at the opening before must not linger.
    consolePort() = 3;
    openAndGetCombo();
    closeBy(windows->comSetting(), Closing::CancelButton);

    consolePort() = commPort;
    QComboBox *combo = openAndGetCombo();
    QCOMPARE(combo->count(), 8);
    QCOMPARE(combo->currentIndex(), position);
    QCOMPARE(combo->currentText(), shown);
    QCOMPARE(consolePort(), commPort);
    closeBy(windows->comSetting(), Closing::CancelButton);
}

void TestComSetting::shouldWritePortOnOkOnly_data()
{
    QTest::addColumn<qint16>("before");
    QTest::addColumn<int>("picked");
    QTest::addColumn<Closing>("closing");
    QTest::addColumn<qint16>("after");
    QTest::newRow("OK Com 5") << qint16(1) << 4 << Closing::OkButton << qint16(5);
    QTest::newRow("OK Com 8") << qint16(3) << 7 << Closing::OkButton << qint16(8);
    QTest::newRow("OK Com 1") << qint16(6) << 0 << Closing::OkButton << qint16(1);
    QTest::newRow("OK unchanged") << qint16(2) << 1 << Closing::OkButton << qint16(2);
    QTest::newRow("OK no selection 9") << qint16(9) << -1 << Closing::OkButton << qint16(9);
    QTest::newRow("OK no selection 0") << qint16(0) << -1 << Closing::OkButton << qint16(0);
    QTest::newRow("Cancel") << qint16(1) << 4 << Closing::CancelButton << qint16(1);
    QTest::newRow("close()") << qint16(2) << 6 << Closing::CloseCall << qint16(2);
    QTest::newRow("close event") << qint16(2) << 6 << Closing::CloseEvent << qint16(2);
    QTest::newRow("close box") << qint16(7) << 0 << Closing::WindowSystem << qint16(7);
}

void TestComSetting::shouldWritePortOnOkOnly()
{
    QFETCH(qint16, before);
    QFETCH(int, picked);
    QFETCH(Closing, closing);
    QFETCH(qint16, after);
    consolePort() = before;
    QComboBox *combo = openAndGetCombo();
    if (picked >= 0) {
        // As the operator picks it: the list opens, the entry is chosen.
        combo->setFocus();
        combo->showPopup();
        QTRY_VERIFY(combo->view()->isVisible());
        const QModelIndex entry = combo->model()->index(picked, 0);
        combo->view()->setCurrentIndex(entry);
        QTest::keyClick(combo->view(), Qt::Key_Return);
        QTRY_VERIFY(!combo->view()->isVisible());
        QCOMPARE(combo->currentIndex(), picked);
    }
    QCOMPARE(consolePort(), before);

    closeBy(windows->comSetting(), closing);
    QCOMPARE(consolePort(), after);
    QVERIFY(!windows->comSetting()->isVisible());
    QVERIFY(main_window->isEnabled());

    // The next opening shows what comm_port holds now, never the dropped pick.
    combo = openAndGetCombo();
    QCOMPARE(combo->count(), 8);
    QCOMPARE(combo->currentIndex(), after >= 1 && after <= 8 ? after - 1 : -1);
    closeBy(windows->comSetting(), Closing::CancelButton);
}

// The entries stay "Com 1".."Com 8"; where each leads is said beside them, to
// the mouse and to a screen reader, as it was when the window opened.
void TestComSetting::shouldDescribeWhereEachEntryLeads()
{
    QStringList where;
    for (int port = 1; port <= 8; ++port)
        where << QStringLiteral("/dev/ttyS%1: nothing is there").arg(port - 1);
    where[1] = QStringLiteral("/tmp/sim-line, from the command line");
    windows->showComSetting(2, where);
    auto *combo = windows->comSetting()->findChild<QComboBox *>(QStringLiteral("port_combo"));
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(combo->itemText(i), QStringLiteral("Com %1").arg(i + 1));
        QCOMPARE(combo->itemData(i, Qt::ToolTipRole).toString(), where[i]);
        QCOMPARE(combo->itemData(i, Qt::AccessibleDescriptionRole).toString(), where[i]);
    }
    closeBy(windows->comSetting(), Closing::CancelButton);

    where[1] = QStringLiteral("/dev/com2");
    windows->showComSetting(2, where);
    QCOMPARE(combo->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("/dev/com2"));
    closeBy(windows->comSetting(), Closing::CancelButton);
}

void TestComSetting::shouldOfferSelectOnlyList()
{
    QComboBox *combo = openAndGetCombo();
    QVERIFY(!combo->isEditable());
    QVERIFY(!combo->lineEdit());
    QVERIFY(QTest::qWaitForWindowActive(windows->comSetting()));
    combo->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), combo);
    QTest::keyClicks(combo, QStringLiteral("x7"));
    QCOMPARE(combo->count(), 8);
    QCOMPARE(combo->currentIndex(), 0);
    closeBy(windows->comSetting(), Closing::CancelButton);
}

void TestComSetting::shouldPlaceClientAreaAtItsPositionEveryOpening()
{
    const QPoint screenTopLeft = QGuiApplication::primaryScreen()->geometry().topLeft();
    const QRect designed(screenTopLeft + QPoint(2760 / 15, 3750 / 15), QSize(4560 / 15, 1560 / 15));
    windows->showComSetting(consolePort());
    QWidget *w = windows->comSetting();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->geometry(), designed);

    w->move(screenTopLeft + QPoint(17, 23));
    QTRY_VERIFY(w->geometry().topLeft() != designed.topLeft());
    closeBy(w, Closing::OkButton);
    windows->showComSetting(consolePort());
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->geometry(), designed);
    closeBy(w, Closing::OkButton);
}

QTEST_MAIN(TestComSetting)
#include "tst_com_setting.moc"
