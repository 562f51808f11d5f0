// SPDX-License-Identifier: MIT
#include "link/port_map.h"
#include "link/serial_port.h"
#include "pty_instrument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Which device "Com 3" opens, over a folder standing in for /dev, a settings
// file and a command line of the test's own. Each place that can name the port
// leads to a pseudo-terminal of its own, so the one that gets "#1$" shows which
// place won.
class TestPortMap : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void shouldOpenFirstPlaceThatNamesPort_data();
    void shouldOpenFirstPlaceThatNamesPort();
    void shouldDescribeWhereEntriesLead();

private:
    enum Place { Simulated, CommandLine, SettingsFile, Alias, Standard, Nowhere };

    QString expand(QString text) const;

    QTemporaryDir dev;
    QTemporaryDir tmp;
    QString conf;
    std::unique_ptr<PtyInstrument> pty[Nowhere];
};

void TestPortMap::init()
{
    QVERIFY(dev.isValid() && tmp.isValid());
    conf = tmp.filePath("zelvor-console.conf");
    for (auto &p : pty) {
        p = std::make_unique<PtyInstrument>();
        QVERIFY(p->isValid());
    }
}

void TestPortMap::cleanup()
{
    PortMap().install();
    for (QTemporaryDir *d : {&dev, &tmp}) {
        for (const QString &name :
             QDir(d->path()).entryList(QDir::System | QDir::AllEntries | QDir::NoDotAndDotDot))
            QFile::remove(d->filePath(name));
    }
}

QString TestPortMap::expand(QString text) const
{
    const char *names[Nowhere] = {"SIM", "CLI", "SET", "ALIAS", "TTYS"};
    for (int i = 0; i < Nowhere; ++i)
        text.replace(QStringLiteral("%%1%").arg(names[i]), pty[i]->slavePath());
    return text.replace("%DEV%", dev.path()).replace("%TMP%", tmp.path()).replace("%CONF%", conf);
}

void TestPortMap::shouldOpenFirstPlaceThatNamesPort_data()
{
    QTest::addColumn<bool>("simulated"); // --simulate plays the instrument on Com 3
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("alias"); // where dev/com3 leads
    QTest::addColumn<bool>("standard"); // dev/ttyS2 leads to its pseudo-terminal
    QTest::addColumn<int>("reached");
    QTest::addColumn<QString>("error");

    QTest::newRow("simulated instrument before all") << true << "%CLI%"
                                                     << "%SET%"
                                                     << "%ALIAS%" << true << int(Simulated) << "";
    QTest::newRow("command line first") << false << "%CLI%"
                                        << "%SET%"
                                        << "%ALIAS%" << true << int(CommandLine) << "";
    QTest::newRow("then settings file, a bare name being a device")
        << false << ""
        << "ttyUSB7"
        << "%ALIAS%" << true << int(SettingsFile) << "";
    QTest::newRow("then com3, a blank setting being none") << false << ""
                                                           << " "
                                                           << "%ALIAS%" << true << int(Alias) << "";
    QTest::newRow("then ttyS2") << false << ""
                                << ""
                                << "" << true << int(Standard) << "";
    QTest::newRow("dangling com3 as udev leaves it, never ttyS2")
        << false << ""
        << ""
        << "ttyUSB0" << true << int(Nowhere)
        << "%DEV%/com3 leads to %DEV%/ttyUSB0, which is not present";
    QTest::newRow("missing path on command line, never settings")
        << false << "%TMP%/unplugged"
        << "%SET%"
        << "" << true << int(Nowhere)
        << "%TMP%/unplugged, given for Com 3 on the command line, is not present";
    QTest::newRow("dangling link in settings, never com3")
        << false << ""
        << "%TMP%/gone"
        << "%ALIAS%" << true << int(Nowhere)
        << "%TMP%/gone, set for Com 3 in %CONF%, leads to %TMP%/ttyUSB9, which is not present";
}

void TestPortMap::shouldOpenFirstPlaceThatNamesPort()
{
    QFETCH(bool, simulated);
    QFETCH(QString, commandLine);
    QFETCH(QString, settings);
    QFETCH(QString, alias);
    QFETCH(bool, standard);
    QFETCH(int, reached);
    QFETCH(QString, error);

    // Entries of other ports, which must not count for Com 3.
    PortMap::Paths cli{{2, pty[Alias]->slavePath()}};
    if (!commandLine.isEmpty())
        cli.insert(3, expand(commandLine));
    {
        QSettings file(conf, QSettings::IniFormat);
        file.setValue("ports/com2", pty[Alias]->slavePath());
        file.setValue("other/com3", pty[Alias]->slavePath());
        if (!settings.isEmpty())
            file.setValue("ports/com3", expand(settings));
    }
    QFile::link(pty[SettingsFile]->slavePath(), dev.filePath("ttyUSB7"));
    QFile::link(tmp.filePath("ttyUSB9"), tmp.filePath("gone"));
    if (!alias.isEmpty())
        QFile::link(expand(alias), dev.filePath("com3"));
    if (standard)
        QFile::link(pty[Standard]->slavePath(), dev.filePath("ttyS2"));
    PortMap map(cli, QSettings(conf, QSettings::IniFormat));
    map.setDeviceDir(dev.path());
    map.simulate(2, pty[Alias]->slavePath()); // nor does this
    if (simulated)
        map.simulate(3, pty[Simulated]->slavePath());
    QCOMPARE(map.resolve(3).error, expand(error));

    map.install();
    SerialPort port;
    port.setPortNumber(3);
    QCOMPARE(port.open(), reached != Nowhere);
    if (reached == Nowhere) {
        QCOMPARE(port.lastError().number, int(QSerialPort::DeviceNotFoundError));
        QCOMPARE(port.lastError().description, expand(error));
        return;
    }
    port.write("#1$");
    QCOMPARE(pty[reached]->receive(3), QByteArray("#1$"));
}

void TestPortMap::shouldDescribeWhereEntriesLead()
{
    QFile::link(dev.filePath("ttyUSB0"), dev.filePath("com2"));
    PortMap map({{3, pty[CommandLine]->slavePath()}}, QSettings(conf, QSettings::IniFormat));
    map.setDeviceDir(dev.path());
    QCOMPARE(map.describe(1), expand("Com 1 opens %DEV%/ttyS0 (the standard name; no other is "
                                     "set).\nNothing is there: %DEV%/ttyS0 is not present."));
    QCOMPARE(map.describe(2),
             expand("Com 2 opens %DEV%/com2 (an alias made on this computer).\nNothing is there: "
                    "%DEV%/com2 leads to %DEV%/ttyUSB0, which is not present."));
    map.simulate(4, pty[Simulated]->slavePath());
    QCOMPARE(map.describe(4), "Com 4 opens " + pty[Simulated]->slavePath() +
                                  " (simulated instrument: --simulate on the command line).\nIt "
                                  "leads to " +
                                  QFileInfo(pty[Simulated]->deviceSlavePath()).canonicalFilePath() +
                                  ".\nA pseudo-terminal; this program plays the instrument at its "
                                  "other end.");
    QCOMPARE(map.describe(3),
             "Com 3 opens " + pty[CommandLine]->slavePath() +
                 " (--port on the command line).\nIt leads to " +
                 QFileInfo(pty[CommandLine]->deviceSlavePath()).canonicalFilePath() +
                 ".\nPresent, but not a serial port this computer lists (a "
                 "pseudo-terminal, for example).");
}

QTEST_GUILESS_MAIN(TestPortMap)
#include "tst_port_map.moc"
