#include "link/port_map.h"
#include "link/serial_port.h"
#include "pty_instrument.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <memory>

// Which device "Com 3" opens, over a folder standing in for /dev, a settings
// file and a command line of the test's own. Every place that can name the
// port leads to a pseudo-terminal of its own, so what reaches which one shows
// which place won.
class TestPortMap : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void shouldOpenFirstPlaceThatNamesPort_data();
    void shouldOpenFirstPlaceThatNamesPort();
    void shouldDescribeWhereEntryLeads_data();
    void shouldDescribeWhereEntryLeads();

private:
    enum Place { CommandLine, SettingsFile, Alias, Standard, Places };

    void addColumns();
    // Builds the places a row names ("" leaves one out) and the map over them.
    PortMap mapFor(const QString &commandLine, const QString &settings, const QString &alias,
                   bool standard);
    QString expand(QString text) const;

    QTemporaryDir dev;
    QTemporaryDir tmp;
    QString conf;
    std::array<std::unique_ptr<PtyInstrument>, Places> pty;
};

void TestPortMap::init()
{
    QVERIFY(dev.isValid());
    QVERIFY(tmp.isValid());
    conf = tmp.filePath("zelvor-console.conf");
    for (auto &p : pty) {
        p = std::make_unique<PtyInstrument>();
        QVERIFY(p->isValid());
    }
}

void TestPortMap::cleanup()
{
    PortMap().install();
    for (const QString &name :
         QDir(dev.path()).entryList(QDir::System | QDir::AllEntries | QDir::NoDotAndDotDot))
        QFile::remove(dev.filePath(name));
    QFile::remove(conf);
    QFile::remove(tmp.filePath("gone"));
}

QString TestPortMap::expand(QString text) const
{
    const char *names[Places] = {"CLI", "SET", "ALIAS", "TTYS"};
    for (int i = 0; i < Places; ++i) {
        text.replace(QStringLiteral("%%1DEV%").arg(names[i]), pty[i]->deviceSlavePath());
        text.replace(QStringLiteral("%%1%").arg(names[i]), pty[i]->slavePath());
    }
    return text.replace("%DEV%", dev.path()).replace("%TMP%", tmp.path()).replace("%CONF%", conf);
}

PortMap TestPortMap::mapFor(const QString &commandLine, const QString &settings,
                            const QString &alias, bool standard)
{
    // Neighbours that must not count for Com 3.
    PortMap::Paths cli{{2, tmp.filePath("not-com3")}, {4, tmp.filePath("not-com3")}};
    if (!commandLine.isEmpty())
        cli.insert(3, expand(commandLine));
    {
        QSettings file(conf, QSettings::IniFormat);
        file.setValue("ports/com2", tmp.filePath("not-com3"));
        file.setValue("other/com3", tmp.filePath("not-com3"));
        if (!settings.isEmpty())
            file.setValue("ports/com3", expand(settings));
    }
    QFile::link(pty[SettingsFile]->slavePath(), dev.filePath("ttyUSB7"));
    QFile::link(tmp.filePath("ttyUSB9"), tmp.filePath("gone"));
    QFile::link(tmp.filePath("not-com3"), dev.filePath("com4"));
    if (!alias.isEmpty())
        QFile::link(expand(alias), dev.filePath("com3"));
    if (standard)
        QFile::link(pty[Standard]->slavePath(), dev.filePath("ttyS2"));
    PortMap map(cli, QSettings(conf, QSettings::IniFormat));
    map.setDeviceDir(dev.path());
    return map;
}

void TestPortMap::addColumns()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("alias"); // where dev/com3 leads
    QTest::addColumn<bool>("standard"); // dev/ttyS2 leads to a pseudo-terminal
}

void TestPortMap::shouldOpenFirstPlaceThatNamesPort_data()
{
    addColumns();
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("reached"); // the pseudo-terminal that gets "#1$", Places for none
    QTest::addColumn<QString>("error");

    QTest::newRow("command line over all")
        << "%CLI%"
        << "%SET%"
        << "%ALIAS%" << true << "%CLI%" << int(CommandLine) << "";
    QTest::newRow("settings file over com3")
        << ""
        << "%SET%"
        << "%ALIAS%" << true << "%SET%" << int(SettingsFile) << "";
    QTest::newRow("bare name in settings is a device")
        << ""
        << "ttyUSB7"
        << "%ALIAS%" << true << "%DEV%/ttyUSB7" << int(SettingsFile) << "";
    QTest::newRow("blank settings entry is none")
        << ""
        << " "
        << "%ALIAS%" << true << "%DEV%/com3" << int(Alias) << "";
    QTest::newRow("com3 over ttyS2") << ""
                                     << ""
                                     << "%ALIAS%" << true << "%DEV%/com3" << int(Alias) << "";
    QTest::newRow("ttyS2 when nothing names it")
        << ""
        << ""
        << "" << true << "%DEV%/ttyS2" << int(Standard) << "";
    QTest::newRow("dangling com3, never ttyS2")
        << ""
        << ""
        << "%DEV%/ttyUSB0" << true << "%DEV%/com3" << int(Places)
        << "%DEV%/com3 leads to %DEV%/ttyUSB0, which is not present";
    QTest::newRow("dangling relative com3, as udev makes it")
        << ""
        << ""
        << "ttyUSB0" << true << "%DEV%/com3" << int(Places)
        << "%DEV%/com3 leads to %DEV%/ttyUSB0, which is not present";
    QTest::newRow("missing path on command line, never settings")
        << "%TMP%/unplugged"
        << "%SET%"
        << "%ALIAS%" << true << "%TMP%/unplugged" << int(Places)
        << "%TMP%/unplugged, given for Com 3 on the command line, is not present";
    QTest::newRow("dangling link on command line")
        << "%TMP%/gone"
        << ""
        << "" << true << "%TMP%/gone" << int(Places)
        << "%TMP%/gone, given for Com 3 on the command line, leads to %TMP%/ttyUSB9, which is "
           "not present";
    QTest::newRow("missing path in settings, never com3")
        << ""
        << "%TMP%/unplugged"
        << "%ALIAS%" << true << "%TMP%/unplugged" << int(Places)
        << "%TMP%/unplugged, set for Com 3 in %CONF%, is not present";
    // The serial driver's own error says it: the map adds nothing.
    QTest::newRow("nothing at ttyS2") << ""
                                      << ""
                                      << "" << false << "%DEV%/ttyS2" << int(Places) << "";
}

void TestPortMap::shouldOpenFirstPlaceThatNamesPort()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, settings);
    QFETCH(QString, alias);
    QFETCH(bool, standard);
    QFETCH(QString, path);
    QFETCH(int, reached);
    QFETCH(QString, error);

    const PortMap map = mapFor(commandLine, settings, alias, standard);
    const PortTarget target = map.resolve(3);
    QCOMPARE(target.path, expand(path));
    QCOMPARE(target.error, expand(error));

    map.install();
    SerialPort port;
    port.setPortNumber(3);
    QCOMPARE(port.open(), reached != Places);
    if (reached == Places) {
        QCOMPARE(port.lastError().number, int(QSerialPort::DeviceNotFoundError));
        if (!error.isEmpty())
            QCOMPARE(port.lastError().description, expand(error));
        return;
    }
    port.write("#1$");
    QCOMPARE(pty[reached]->receive(3), QByteArray("#1$"));
    for (int i = 0; i < Places; ++i) {
        if (i != reached)
            QCOMPARE(pty[i]->receiveFor(20), QByteArray());
    }
}

void TestPortMap::shouldDescribeWhereEntryLeads_data()
{
    addColumns();
    QTest::addColumn<QString>("text");
    const QString pseudoTerminal =
        "Present, but not a serial port this computer lists (a pseudo-terminal, for example).";

    QTest::newRow("pseudo-terminal on command line")
        << "%CLI%"
        << ""
        << "" << true
        << "Com 3 opens %CLI% (--port on the command line).\nIt leads to %CLIDEV%.\n" +
               pseudoTerminal;
    QTest::newRow("pseudo-terminal in settings")
        << ""
        << "%SET%"
        << "" << true
        << "Com 3 opens %SET% (com3 in %CONF%).\nIt leads to %SETDEV%.\n" + pseudoTerminal;
    QTest::newRow("alias") << ""
                           << ""
                           << "%ALIAS%" << false
                           << "Com 3 opens %DEV%/com3 (an alias made on this computer).\n"
                              "It leads to %ALIASDEV%.\n" +
                                  pseudoTerminal;
    QTest::newRow("dangling alias")
        << ""
        << ""
        << "%DEV%/ttyUSB0" << true
        << "Com 3 opens %DEV%/com3 (an alias made on this computer).\n"
           "Nothing is there: %DEV%/com3 leads to %DEV%/ttyUSB0, which is not present.";
    QTest::newRow("nothing at the standard name")
        << ""
        << ""
        << "" << false
        << "Com 3 opens %DEV%/ttyS2 (the standard name; no other is set).\n"
           "Nothing is there: %DEV%/ttyS2 is not present.";
}

void TestPortMap::shouldDescribeWhereEntryLeads()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, settings);
    QFETCH(QString, alias);
    QFETCH(bool, standard);
    QFETCH(QString, text);

    QCOMPARE(mapFor(commandLine, settings, alias, standard).describe(3), expand(text));
}

QTEST_GUILESS_MAIN(TestPortMap)
#include "tst_port_map.moc"
