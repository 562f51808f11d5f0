// SPDX-License-Identifier: MIT
#include "auxiliary_test_support.h"

#include <QAccessible>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <memory>

// What the three auxiliary windows share: one instance each, shown without
// blocking and without an owner, the main window locked while one is open and
// unlocked by every way of closing it, no default or cancel button.
class TestAuxiliaryLifecycle : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void shouldCreateOnFirstShowingAndKeepOneInstance_data();
    void shouldCreateOnFirstShowingAndKeepOneInstance();
    void shouldShowWithoutOwnerAndWithoutBlocking_data();
    void shouldShowWithoutOwnerAndWithoutBlocking();
    void shouldBeAnnouncedAsDialog_data();
    void shouldBeAnnouncedAsDialog();
    void shouldLockMainWindowUntilClosedAnyWay_data();
    void shouldLockMainWindowUntilClosedAnyWay();
    void shouldKeepEveryControlFlagThroughRepeatedLocks();
    void shouldCloseNothingOnEscape_data();
    void shouldCloseNothingOnEscape();
    void shouldOpenWithFocusOnOk_data();
    void shouldOpenWithFocusOnOk();
    void shouldActOnFocusedButtonWithEnterOrSpace_data();
    void shouldActOnFocusedButtonWithEnterOrSpace();
    void shouldCloseNothingOnEnterInPortList();
    void shouldCycleTabOrderOverFocusTakingControls_data();
    void shouldCycleTabOrderOverFocusTakingControls();
    void shouldOnlyRaiseWhenShownWhileOpen();

private:
    void windowsData();

    std::unique_ptr<LockTarget> main_window;
    std::unique_ptr<AuxiliaryWindows> windows;
};

void TestAuxiliaryLifecycle::init()
{
    consolePort() = 1;
    main_window = std::make_unique<LockTarget>();
    main_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(main_window.get()));
    windows = makeWindows(main_window.get());
}

void TestAuxiliaryLifecycle::cleanup()
{
    windows.reset();
    main_window.reset();
    QVERIFY2(visibleTopLevels().isEmpty(), "a window was left on screen");
}

void TestAuxiliaryLifecycle::windowsData()
{
    QTest::addColumn<Window>("window");
    QTest::newRow("ComSetting") << Window::ComSetting;
    QTest::newRow("Dialog") << Window::CommunicationError;
    QTest::newRow("FrmAbout") << Window::About;
}

void TestAuxiliaryLifecycle::shouldCreateOnFirstShowingAndKeepOneInstance_data()
{
    windowsData();
}

void TestAuxiliaryLifecycle::shouldCreateOnFirstShowingAndKeepOneInstance()
{
    QFETCH(Window, window);
    QVERIFY(!windows->comSetting());
    QVERIFY(!windows->communicationError());
    QVERIFY(!windows->about());

    QWidget *first = show(*windows, window);
    QVERIFY(first);
    for (Window other : {Window::ComSetting, Window::CommunicationError, Window::About}) {
        if (other != window)
            QVERIFY2(!instance(*windows, other), "another window was created too");
    }
    for (int showing = 0; showing < 3; ++showing) {
        closeBy(first, Closing::OkButton);
        QVERIFY(!first->isVisible());
        QCOMPARE(show(*windows, window), first);
        QVERIFY(first->isVisible());
    }
    closeBy(first, Closing::CloseCall);
    QCOMPARE(instance(*windows, window), first);
}

void TestAuxiliaryLifecycle::shouldShowWithoutOwnerAndWithoutBlocking_data()
{
    windowsData();
}

void TestAuxiliaryLifecycle::shouldShowWithoutOwnerAndWithoutBlocking()
{
    QFETCH(Window, window);
    // Reaching the next line at all means the showing did not block.
    QWidget *w = show(*windows, window);
    QVERIFY(w->isVisible());
    QVERIFY(w->isWindow());
    QVERIFY(!w->parentWidget());
    QVERIFY(!w->isModal());
    QCOMPARE(w->windowModality(), Qt::NonModal);
    QVERIFY(w->windowHandle());
    QVERIFY(!w->windowHandle()->transientParent());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    const Qt::WindowFlags flags = w->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
    QCOMPARE(w->minimumSize(), w->maximumSize());
    QCOMPARE(w->size(), w->minimumSize());
    QVERIFY(!w->testAttribute(Qt::WA_DeleteOnClose));
    closeBy(w, Closing::CloseCall);
}

void TestAuxiliaryLifecycle::shouldBeAnnouncedAsDialog_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("title");
    QTest::newRow("ComSetting") << Window::ComSetting << "Communication Settings";
    QTest::newRow("Dialog") << Window::CommunicationError << "Communication Error";
    QTest::newRow("FrmAbout") << Window::About << "About Zelvor";
}

// A screen reader says the window's title when one opens; a window without
// one would be a nameless panel to it.
void TestAuxiliaryLifecycle::shouldBeAnnouncedAsDialog()
{
    QFETCH(Window, window);
    QFETCH(QString, title);
    QWidget *w = show(*windows, window);
    QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(w);
    QVERIFY(spoken);
    QCOMPARE(spoken->text(QAccessible::Name), title);
    closeBy(w, Closing::CloseCall);
}

void TestAuxiliaryLifecycle::shouldLockMainWindowUntilClosedAnyWay_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<Closing>("closing");
    const std::pair<const char *, Closing> ways[] = {
        {"OK", Closing::OkButton},
        {"close()", Closing::CloseCall},
        {"close event", Closing::CloseEvent},
        {"close box", Closing::WindowSystem},
    };
    const std::pair<const char *, Window> kinds[] = {
        {"ComSetting", Window::ComSetting},
        {"Dialog", Window::CommunicationError},
        {"FrmAbout", Window::About},
    };
    for (const auto &[kindName, kind] : kinds) {
        for (const auto &[wayName, way] : ways)
            QTest::addRow("%s %s", kindName, wayName) << kind << way;
    }
    QTest::newRow("ComSetting Cancel") << Window::ComSetting << Closing::CancelButton;
}

void TestAuxiliaryLifecycle::shouldLockMainWindowUntilClosedAnyWay()
{
    QFETCH(Window, window);
    QFETCH(Closing, closing);
    const auto ownBefore = main_window->ownFlags();
    const auto effectiveBefore = main_window->effectiveFlags();
    QVERIFY(main_window->isEnabled());

    QWidget *w = show(*windows, window);
    QVERIFY(!main_window->isEnabled());
    for (const auto &[name, enabled] : main_window->effectiveFlags())
        QVERIFY2(!enabled, qPrintable(name + QStringLiteral(" takes input while locked")));
    QCOMPARE(main_window->ownFlags(), ownBefore);
    // The auxiliary window itself stays usable.
    QVERIFY(w->isEnabled());
    QVERIFY(w->findChild<QPushButton *>(QStringLiteral("OKButton"))->isEnabled());

    closeBy(w, closing);
    QVERIFY(!w->isVisible());
    QVERIFY(main_window->isEnabled());
    QCOMPARE(main_window->effectiveFlags(), effectiveBefore);
    QCOMPARE(main_window->ownFlags(), ownBefore);
}

void TestAuxiliaryLifecycle::shouldKeepEveryControlFlagThroughRepeatedLocks()
{
    const auto effectiveBefore = main_window->effectiveFlags();
    QCOMPARE(effectiveBefore.at(QStringLiteral("onButton")), true);
    QCOMPARE(effectiveBefore.at(QStringLiteral("offButton")), false);
    QCOMPARE(effectiveBefore.at(QStringLiteral("innerButton")), false);

    // A control's flag changed while the main window is locked shows after the unlock.
    QWidget *w = show(*windows, Window::About);
    main_window->findChild<QWidget *>(QStringLiteral("offEdit"))->setEnabled(true);
    QVERIFY(!main_window->findChild<QWidget *>(QStringLiteral("offEdit"))->isEnabled());
    closeBy(w, Closing::WindowSystem);
    QVERIFY(main_window->findChild<QWidget *>(QStringLiteral("offEdit"))->isEnabled());
    main_window->findChild<QWidget *>(QStringLiteral("offEdit"))->setEnabled(false);

    for (Window which :
         {Window::ComSetting, Window::CommunicationError, Window::About, Window::ComSetting}) {
        closeBy(show(*windows, which), Closing::OkButton);
        QCOMPARE(main_window->effectiveFlags(), effectiveBefore);
    }
}

void TestAuxiliaryLifecycle::shouldCloseNothingOnEscape_data()
{
    windowsData();
}

void TestAuxiliaryLifecycle::shouldCloseNothingOnEscape()
{
    QFETCH(Window, window);
    const qint16 port = consolePort() = 3;
    QWidget *w = show(*windows, window);
    QVERIFY(QTest::qWaitForWindowActive(w));
    QVERIFY(w->focusWidget());

    QTest::keyClick(w->focusWidget(), Qt::Key_Escape);
    QTest::keyClick(w, Qt::Key_Escape);
    QVERIFY(w->isVisible());
    QVERIFY(!main_window->isEnabled());
    QCOMPARE(consolePort(), port);
    closeBy(w, Closing::CloseCall);
}

void TestAuxiliaryLifecycle::shouldOpenWithFocusOnOk_data()
{
    windowsData();
}

void TestAuxiliaryLifecycle::shouldOpenWithFocusOnOk()
{
    QFETCH(Window, window);
    QWidget *w = show(*windows, window);
    QVERIFY(QTest::qWaitForWindowActive(w));
    QCOMPARE(QApplication::focusWidget(), w->findChild<QWidget *>(QStringLiteral("OKButton")));

    // Wherever the focus was when it closed, the next opening starts on OK again.
    w->focusWidget()->clearFocus();
    if (auto *cancel = w->findChild<QWidget *>(QStringLiteral("CancelButton")))
        cancel->setFocus();
    closeBy(w, Closing::CloseCall);
    QCOMPARE(show(*windows, window), w);
    QVERIFY(QTest::qWaitForWindowActive(w));
    QCOMPARE(QApplication::focusWidget(), w->findChild<QWidget *>(QStringLiteral("OKButton")));
    closeBy(w, Closing::CloseCall);
}

void TestAuxiliaryLifecycle::shouldActOnFocusedButtonWithEnterOrSpace_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");
    QTest::addColumn<qint16>("expectedPort");
    const std::pair<const char *, int> keys[] = {
        {"Return", Qt::Key_Return}, {"Enter", Qt::Key_Enter}, {"Space", Qt::Key_Space}};
    for (const auto &[keyName, key] : keys) {
        QTest::addRow("ComSetting OK %s", keyName)
            << Window::ComSetting << QStringLiteral("OKButton") << key << qint16(5);
        QTest::addRow("ComSetting Cancel %s", keyName)
            << Window::ComSetting << QStringLiteral("CancelButton") << key << qint16(2);
        QTest::addRow("Dialog OK %s", keyName)
            << Window::CommunicationError << QStringLiteral("OKButton") << key << qint16(2);
        QTest::addRow("FrmAbout OK %s", keyName)
            << Window::About << QStringLiteral("OKButton") << key << qint16(2);
    }
}

void TestAuxiliaryLifecycle::shouldActOnFocusedButtonWithEnterOrSpace()
{
    QFETCH(Window, window);
    QFETCH(QString, button);
    QFETCH(int, key);
    QFETCH(qint16, expectedPort);
    consolePort() = 2;
    QWidget *w = show(*windows, window);
    QVERIFY(QTest::qWaitForWindowActive(w));
    if (auto *combo = w->findChild<QComboBox *>(QStringLiteral("port_combo")))
        combo->setCurrentIndex(4);
    auto *target = w->findChild<QPushButton *>(button);
    QVERIFY(target);
    while (QApplication::focusWidget() != target)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    // No button stands in for Enter while another control has the focus.
    for (QPushButton *other : w->findChildren<QPushButton *>()) {
        if (other != target)
            QVERIFY(!other->isDefault());
    }

    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QVERIFY(!w->isVisible());
    QVERIFY(main_window->isEnabled());
    QCOMPARE(consolePort(), expectedPort);
}

void TestAuxiliaryLifecycle::shouldCloseNothingOnEnterInPortList()
{
    QWidget *w = show(*windows, Window::ComSetting);
    QVERIFY(QTest::qWaitForWindowActive(w));
    auto *combo = w->findChild<QComboBox *>(QStringLiteral("port_combo"));
    combo->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), combo);
    QTest::keyClick(combo, Qt::Key_Return);
    QTest::keyClick(combo, Qt::Key_Enter);
    QVERIFY(w->isVisible());
    QCOMPARE(consolePort(), qint16(1));
    closeBy(w, Closing::CancelButton);
}

void TestAuxiliaryLifecycle::shouldCycleTabOrderOverFocusTakingControls_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QStringList>("cycle");
    QTest::newRow("ComSetting") << Window::ComSetting
                                << QStringList{"OKButton", "CancelButton", "port_combo",
                                               "OKButton"};
    QTest::newRow("Dialog") << Window::CommunicationError << QStringList{"OKButton", "OKButton"};
    QTest::newRow("FrmAbout") << Window::About << QStringList{"OKButton", "OKButton"};
}

void TestAuxiliaryLifecycle::shouldCycleTabOrderOverFocusTakingControls()
{
    QFETCH(Window, window);
    QFETCH(QStringList, cycle);
    QWidget *w = show(*windows, window);
    QVERIFY(QTest::qWaitForWindowActive(w));
    QStringList seen{QApplication::focusWidget()->objectName()};
    for (int i = 1; i < cycle.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(seen, cycle);
    closeBy(w, Closing::CloseCall);
}

void TestAuxiliaryLifecycle::shouldOnlyRaiseWhenShownWhileOpen()
{
    consolePort() = 4;
    QWidget *w = show(*windows, Window::ComSetting);
    auto *combo = w->findChild<QComboBox *>(QStringLiteral("port_combo"));
    combo->setCurrentIndex(6);
    QCOMPARE(show(*windows, Window::ComSetting), w);
    QCOMPARE(combo->count(), 8);
    QCOMPARE(combo->currentIndex(), 6);
    closeBy(w, Closing::OkButton);
    QCOMPARE(consolePort(), qint16(7));
    QVERIFY(main_window->isEnabled());
}

QTEST_MAIN(TestAuxiliaryLifecycle)
#include "tst_auxiliary_lifecycle.moc"
