// SPDX-License-Identifier: MIT
// Every window's client area and every control's place and size against the
// golden file, written from the design's twips apart from the code's tables.
#include "golden_geometry.h"

#include "console/orvane.h"
#include "dialogs/auxiliary_windows.h"
#include "dialogs/com_setting.h"
#include "dialogs/information_window.h"

#include <QApplication>
#include <QMap>
#include <QSet>
#include <QTest>

class TestGeometry : public QObject
{
    Q_OBJECT
private slots:
    void everyWindowAsDesigned();
};

void TestGeometry::everyWindowAsDesigned()
{
    const QVector<GoldenControl> golden = goldenGeometry();
    QVERIFY(golden.size() > 30);

    Orvane orvane;
    AuxiliaryWindows windows(&orvane);
    windows.showComSetting(1);
    windows.comSetting()->close();
    windows.showCommunicationError();
    windows.communicationError()->close();
    windows.showAbout();
    windows.about()->close();
    // Where each window's controls live: the main window's below its menu bar.
    const QMap<QString, QWidget *> clients = {
        {QStringLiteral("Orvane"), orvane.centralWidget()},
        {QStringLiteral("ComSetting"), windows.comSetting()},
        {QStringLiteral("Dialog"), windows.communicationError()},
        {QStringLiteral("FrmAbout"), windows.about()},
    };

    QMap<QString, QSet<QString>> designed;
    for (const GoldenControl &c : golden) {
        QWidget *client = clients.value(c.window);
        QVERIFY2(client, qPrintable(c.window));
        QCOMPARE(client->window()->objectName(), c.window);
        const QString where = c.window + QLatin1Char(' ') + c.name;
        if (c.name == QLatin1String("client")) {
            QVERIFY2(client->size() == c.rect.size(), qPrintable(where));
            continue;
        }
        designed[c.window].insert(c.name);
        auto *control = client->findChild<QWidget *>(c.name, Qt::FindDirectChildrenOnly);
        QVERIFY2(control, qPrintable(where));
        QVERIFY2(control->geometry() == c.rect, qPrintable(QStringLiteral("%1 at %2,%3 %4x%5")
                                                               .arg(where)
                                                               .arg(control->x())
                                                               .arg(control->y())
                                                               .arg(control->width())
                                                               .arg(control->height())));
    }
    // No window has a control that the design does not place.
    for (auto it = clients.cbegin(); it != clients.cend(); ++it) {
        QSet<QString> built;
        for (QWidget *w :
             it.value()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
            built.insert(w->objectName());
        QCOMPARE(built, designed.value(it.key()));
    }
}

QTEST_MAIN(TestGeometry)
#include "tst_geometry.moc"
