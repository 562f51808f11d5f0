// SPDX-License-Identifier: MIT
#include "auxiliary_test_support.h"

#include "design/design.h"

#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include <memory>

// The three windows as the operator sees them: titles, client sizes, every
// control's place, text and font, and where each window appears.
class TestAuxiliaryLayout : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void shouldHaveTitleAndFixedClientSize_data();
    void shouldHaveTitleAndFixedClientSize();
    void shouldLayOutEveryControlAsDesigned_data();
    void shouldLayOutEveryControlAsDesigned();
    void shouldFitEveryTextInItsBox_data();
    void shouldFitEveryTextInItsBox();
    void shouldOpenCentredEveryTime_data();
    void shouldOpenCentredEveryTime();
    void shouldDrawAboutButtonAboveOverlappingLabels();
    void shouldStartWebAddressAtTopOfItsBoxBelowClientArea();

private:
    std::unique_ptr<LockTarget> main_window;
    std::unique_ptr<AuxiliaryWindows> windows;
};

namespace {

// Faces with Times New Roman's widths and line heights, which the boxes were sized for.
const QStringList SerifFaces{"Times New Roman", "Liberation Serif", "Tinos"};

} // namespace

void TestAuxiliaryLayout::init()
{
    main_window = std::make_unique<LockTarget>();
    windows = makeWindows(main_window.get());
}

void TestAuxiliaryLayout::cleanup()
{
    for (Window which : {Window::ComSetting, Window::CommunicationError, Window::About}) {
        if (QWidget *w = instance(*windows, which))
            w->close();
    }
    windows.reset();
    main_window.reset();
    QVERIFY2(visibleTopLevels().isEmpty(), "a window was left on screen");
}

void TestAuxiliaryLayout::shouldHaveTitleAndFixedClientSize_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("clientSize");
    QTest::newRow("ComSetting") << Window::ComSetting << "Communication Settings"
                                << QSize(304, 104);
    QTest::newRow("Dialog") << Window::CommunicationError << "Communication Error"
                            << QSize(243, 96);
    QTest::newRow("FrmAbout") << Window::About << "About Zelvor" << QSize(295, 93);
}

void TestAuxiliaryLayout::shouldHaveTitleAndFixedClientSize()
{
    QFETCH(Window, window);
    QFETCH(QString, title);
    QFETCH(QSize, clientSize);
    QWidget *w = show(*windows, window);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->windowTitle(), title);
    QCOMPARE(w->size(), clientSize);
    QCOMPARE(w->minimumSize(), clientSize);
    QCOMPARE(w->maximumSize(), clientSize);
    w->resize(clientSize + QSize(50, 50));
    QCOMPARE(w->size(), clientSize);
}

void TestAuxiliaryLayout::shouldLayOutEveryControlAsDesigned_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("family"); // empty: the default dialog font
    QTest::addColumn<qreal>("pointSize");

    const QString button = QStringLiteral("QPushButton");
    const QString label = QStringLiteral("QLabel");
    const QString tnr = QStringLiteral("Times New Roman");
    const Window com = Window::ComSetting;
    const Window err = Window::CommunicationError;
    const Window about = Window::About;

    QTest::newRow("ComSetting OKButton") << com << "OKButton" << button << "OK"
                                         << "" << 0.0;
    QTest::newRow("ComSetting CancelButton") << com << "CancelButton" << button << "Cancel"
                                             << "" << 0.0;
    QTest::newRow("ComSetting Label1") << com << "Label1" << label << "Serial  Port"
                                       << "" << 0.0;
    QTest::newRow("ComSetting port_combo") << com << "port_combo"
                                           << "QComboBox"
                                           << ""
                                           << "" << 0.0;

    QTest::newRow("Dialog OKButton") << err << "OKButton" << button << "OK"
                                     << "" << 0.0;
    QTest::newRow("Dialog Label1")
        << err << "Label1" << label << "Unable to find device." << tnr << 12.0;

    QTest::newRow("FrmAbout OKButton") << about << "OKButton" << button << "OK"
                                       << "" << 0.0;
    QTest::newRow("FrmAbout Label1")
        << about << "Label1" << label << "Zelvor Electronics Pvt. Ltd." << tnr << 12.0;
    QTest::newRow("FrmAbout Label2")
        << about << "Label2" << label << "www.zelvor.example" << tnr << 11.25;
    QTest::newRow("FrmAbout Label3")
        << about << "Label3" << label << "Block B-14, Orin House" << tnr << 11.25;
    QTest::newRow("FrmAbout Label4")
        << about << "Label4" << label << "Tarn, Veridan 411 207" << tnr << 11.25;
}

void TestAuxiliaryLayout::shouldLayOutEveryControlAsDesigned()
{
    QFETCH(Window, window);
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, text);
    QFETCH(QString, family);
    QFETCH(qreal, pointSize);

    QWidget *w = show(*windows, window);
    auto *control = w->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget(), w);
    QCOMPARE(control->metaObject()->className(), className.toLatin1());
    QVERIFY(control->isVisible());
    if (auto *b = qobject_cast<QPushButton *>(control))
        QCOMPARE(b->text(), text);
    if (auto *l = qobject_cast<QLabel *>(control)) {
        QCOMPARE(l->text(), text);
        QCOMPARE(l->textFormat(), Qt::PlainText);
        QCOMPARE(l->alignment(), Qt::AlignLeft | Qt::AlignTop);
        QCOMPARE(l->focusPolicy(), Qt::NoFocus);
        QVERIFY(!l->autoFillBackground());
        QVERIFY(!l->buddy());
    }

    const QFont font = control->font();
    if (family.isEmpty()) {
        // The same default dialog font as the main window's buttons and labels.
        QVERIFY(!control->testAttribute(Qt::WA_SetFont));
        QCOMPARE(font.families(), design::msSansSerifFamilies());
        QCOMPARE(font.pointSize(), design::DialogFontPointSize);
        QCOMPARE(font.weight(), QFont::Normal);
        return;
    }
    QCOMPARE(font.families().value(0), family);
    QCOMPARE(font.pointSizeF(), pointSize);
    QCOMPARE(font.weight(), QFont::Normal);
    QVERIFY(!font.italic());
    QVERIFY(!font.underline());
    QCOMPARE(font.styleHint(), QFont::Serif);
    const QFontInfo shown(font);
    QCOMPARE(shown.pointSizeF(), pointSize);
    QVERIFY(!shown.italic());
    QCOMPARE(shown.weight(), int(QFont::Normal));
}

void TestAuxiliaryLayout::shouldFitEveryTextInItsBox_data()
{
    QTest::addColumn<Window>("window");
    QTest::newRow("ComSetting") << Window::ComSetting;
    QTest::newRow("Dialog") << Window::CommunicationError;
    QTest::newRow("FrmAbout") << Window::About;
}

void TestAuxiliaryLayout::shouldFitEveryTextInItsBox()
{
    QFETCH(Window, window);
    QWidget *w = show(*windows, window);
    const QRect client = w->rect();
    for (QLabel *label : w->findChildren<QLabel *>()) {
        // Fontconfig names a face with its foundry: "Nimbus Roman [urw]".
        const QString face = QFontInfo(label->font()).family().section(QStringLiteral(" ["), 0, 0);
        if (label->testAttribute(Qt::WA_SetFont) && !SerifFaces.contains(face))
            QSKIP(qPrintable(QStringLiteral("no face of Times New Roman's widths installed, %1 "
                                            "drawn instead")
                                 .arg(face)));
        const QFontMetrics metrics(label->font());
        const QRect box = label->geometry().intersected(client);
        const QRect needed(label->pos(),
                           QSize(metrics.horizontalAdvance(label->text()), metrics.height()));
        QVERIFY2(box.contains(needed),
                 qPrintable(QStringLiteral("%1 needs %2x%3 at %4,%5, has %6x%7 visible")
                                .arg(label->objectName())
                                .arg(needed.width())
                                .arg(needed.height())
                                .arg(needed.x())
                                .arg(needed.y())
                                .arg(box.width())
                                .arg(box.height())));
        // No text runs under another control.
        for (QWidget *other : w->findChildren<QWidget *>()) {
            if (other != label && !qobject_cast<QLabel *>(other))
                QVERIFY2(!other->geometry().intersects(needed),
                         qPrintable(label->objectName() + QStringLiteral(" runs under ") +
                                    other->objectName()));
        }
    }
    for (QPushButton *button : w->findChildren<QPushButton *>()) {
        const QFontMetrics metrics(button->font());
        QVERIFY(metrics.horizontalAdvance(button->text()) < button->width() - 8);
        QVERIFY(metrics.height() < button->height() - 4);
    }
}

void TestAuxiliaryLayout::shouldOpenCentredEveryTime_data()
{
    QTest::addColumn<Window>("window");
    QTest::newRow("Dialog") << Window::CommunicationError;
    QTest::newRow("FrmAbout") << Window::About;
}

void TestAuxiliaryLayout::shouldOpenCentredEveryTime()
{
    QFETCH(Window, window);
    const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
    auto offCentre = [&](QWidget *w) {
        return (w->frameGeometry().center() - centre).manhattanLength();
    };
    QWidget *w = show(*windows, window);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QVERIFY2(offCentre(w) <= 1, qPrintable(QString::number(offCentre(w))));

    for (const QPoint elsewhere : {QPoint(3, 5), QPoint(400, 300)}) {
        w->move(elsewhere);
        QTRY_VERIFY(offCentre(w) > 50);
        w->close();
        QCOMPARE(show(*windows, window), w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY2(offCentre(w) <= 1, qPrintable(QString::number(offCentre(w))));
    }
}

void TestAuxiliaryLayout::shouldDrawAboutButtonAboveOverlappingLabels()
{
    QWidget *w = show(*windows, Window::About);
    auto *ok = w->findChild<QWidget *>(QStringLiteral("OKButton"));
    auto *name = w->findChild<QWidget *>(QStringLiteral("Label1"));
    const QRect overlap = ok->geometry().intersected(name->geometry());
    QVERIFY(!overlap.isEmpty());
    QCOMPARE(w->childAt(overlap.center()), ok);
    // Every label's box that the button crosses lies beneath it.
    for (QLabel *label : w->findChildren<QLabel *>()) {
        const QRect shared = ok->geometry().intersected(label->geometry());
        if (!shared.isEmpty())
            QCOMPARE(w->childAt(shared.center()), ok);
    }
}

void TestAuxiliaryLayout::shouldStartWebAddressAtTopOfItsBoxBelowClientArea()
{
    QWidget *w = show(*windows, Window::About);
    auto *web = w->findChild<QLabel *>(QStringLiteral("Label2"));
    QVERIFY(web->geometry().bottom() > w->rect().bottom());
    QVERIFY(web->geometry().top() < w->rect().bottom());
    QCOMPARE(web->alignment() & Qt::AlignVertical_Mask, Qt::AlignTop);
    // Read top to bottom: the name, the two address lines, the web address.
    QStringList order;
    QList<QLabel *> labels = w->findChildren<QLabel *>();
    std::sort(labels.begin(), labels.end(), [](QLabel *a, QLabel *b) { return a->y() < b->y(); });
    for (QLabel *label : labels)
        order << label->objectName();
    QCOMPARE(order, (QStringList{"Label1", "Label3", "Label4", "Label2"}));
}

QTEST_MAIN(TestAuxiliaryLayout)
#include "tst_auxiliary_layout.moc"
