// SPDX-License-Identifier: MIT
#include "console/port_words.h"
#include "link/port_map.h"
#include "link/serial_port.h"
#include "pty_instrument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
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
    void shouldOpenNoFallbackForLineNotUnderstood_data();
    void shouldOpenNoFallbackForLineNotUnderstood();
    void shouldReadSettingsFileWhereReadmeSays_data();
    void shouldReadSettingsFileWhereReadmeSays();

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
        << "%TMP%/gone, set for Com 3 in %CONF%, line 3, leads to %TMP%/ttyUSB9, which is not "
           "present";
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
        if (!settings.isEmpty())
            file.setValue("ports/com3", expand(settings));
    }
    QFile::link(pty[SettingsFile]->slavePath(), dev.filePath("ttyUSB7"));
    QFile::link(tmp.filePath("ttyUSB9"), tmp.filePath("gone"));
    if (!alias.isEmpty())
        QFile::link(expand(alias), dev.filePath("com3"));
    if (standard)
        QFile::link(pty[Standard]->slavePath(), dev.filePath("ttyS2"));
    PortMap map(cli, conf);
    map.setDeviceDir(dev.path());
    map.simulate(2, pty[Alias]->slavePath()); // nor does this
    if (simulated)
        map.simulate(3, pty[Simulated]->slavePath());
    QCOMPARE(PortWords::missing(map.resolve(3)), expand(error));

    SerialPort port;

    port.setPortMap(map);
    port.setPortNumber(3);
    QCOMPARE(port.open(), reached != Nowhere);
    if (reached == Nowhere) {
        QCOMPARE(port.lastError().number, int(QSerialPort::DeviceNotFoundError));
        QCOMPARE(PortWords::detail(port.lastError()), expand(error));
        return;
    }
    port.write("#1$");
    QCOMPARE(pty[reached]->receive(3), QByteArray("#1$"));
}

void TestPortMap::shouldDescribeWhereEntriesLead()
{
    QFile::link(dev.filePath("ttyUSB0"), dev.filePath("com2"));
    PortMap map({{3, pty[CommandLine]->slavePath()}}, conf);
    auto describe = [&map](int n) { return PortWords::description(map.describe(n)); };
    map.setDeviceDir(dev.path());
    QCOMPARE(describe(1), expand("Com 1 opens %DEV%/ttyS0 (the standard name; no other is "
                                 "set).\nNothing is there: %DEV%/ttyS0 is not present."));
    QCOMPARE(describe(2),
             expand("Com 2 opens %DEV%/com2 (an alias made on this computer).\nNothing is there: "
                    "%DEV%/com2 leads to %DEV%/ttyUSB0, which is not present."));
    map.simulate(4, pty[Simulated]->slavePath());
    QCOMPARE(describe(4), "Com 4 opens " + pty[Simulated]->slavePath() +
                              " (simulated instrument: --simulate on the command line).\nIt "
                              "leads to " +
                              QFileInfo(pty[Simulated]->deviceSlavePath()).canonicalFilePath() +
                              ".\nA pseudo-terminal; this program plays the instrument at its "
                              "other end.");
    QCOMPARE(describe(3), "Com 3 opens " + pty[CommandLine]->slavePath() +
                              " (--port on the command line).\nIt leads to " +
                              QFileInfo(pty[CommandLine]->deviceSlavePath()).canonicalFilePath() +
                              ".\nPresent, but not a serial port this computer lists (a "
                              "pseudo-terminal, for example).");
}

void TestPortMap::shouldOpenNoFallbackForLineNotUnderstood_data()
{
    QTest::addColumn<QByteArray>("file"); // %SET% is the path of the settings file's own pty
    QTest::addColumn<int>("line");        // 0: understood, Com 1 opens %SET%
    QTest::addColumn<QString>("expected");

    QTest::newRow("comments, blanks, quotes, escapes")
        << QByteArray("; made by hand\n\n  [ports]\n# Com 1\ncom1 = \"%SET%\"  ; the adapter\n"
                      "com2=/dev/tty\\x55SB1\ncom3=\n")
        << 0 << "";
    QTest::newRow("COM1=") << QByteArray("[ports]\nCOM1=%SET%\n") << 2 << "com1 to com8 = a path";
    QTest::newRow("[Ports]") << QByteArray("[Ports]\ncom1=%SET%\n") << 1
                             << "[ports], the only group";
    QTest::newRow("com 1=") << QByteArray("[ports]\ncom 1=%SET%\n") << 2 << "com1 to com8 = a path";
    QTest::newRow("com9=") << QByteArray("[ports]\ncom2=%SET%\ncom9=/dev/ttyUSB0\n") << 3
                           << "com1 to com8 = a path";
    QTest::newRow("no =") << QByteArray("[ports]\ncom1 %SET%\n") << 2 << "com1 to com8 = a path";
    QTest::newRow("key outside [ports]")
        << QByteArray("com1=%SET%\n[ports]\n") << 1 << "the line under [ports]";
    QTest::newRow("a group not known after [ports]")
        << QByteArray("[ports]\ncom2=%SET%\n[General]\ncom1=%SET%\n") << 3
        << "[ports], the only group";
    QTest::newRow("unclosed quote")
        << QByteArray("[ports]\ncom1=\"%SET%\n") << 2 << "a closing quote";
    QTest::newRow("trailing backslash swallowing the next line")
        << QByteArray("[ports]\ncom2=/dev/ttyUSB1\\\ncom1=%SET%\n") << 2
        << "no backslash at the end, which joins the next line";
    QTest::newRow("unknown escape")
        << QByteArray("[ports]\ncom1=C:\\dev\n") << 2 << "a backslash only before";
    QTest::newRow("text after the quote")
        << QByteArray("[ports]\ncom1=\"%SET%\"x\n") << 2 << "nothing after the closing quote";
    QTest::newRow("set twice") << QByteArray("[ports]\ncom1=%SET%\ncom1=%SET%\n") << 3
                               << "each port once";
    QTest::newRow("binary") << QByteArray("\x7f\x45\x4c\x46\x02\x01\x00=\xff\n", 9) << 1
                            << "the line under [ports]";
}

// Com 1 would otherwise open dev/com1 or dev/ttyS0: neither gets anything, and
// the words that Start Config. shows name the file and the line.
void TestPortMap::shouldOpenNoFallbackForLineNotUnderstood()
{
    QFETCH(QByteArray, file);
    QFETCH(int, line);
    QFETCH(QString, expected);
    QFile settings(conf);
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(file.replace("%SET%", pty[SettingsFile]->slavePath().toUtf8()));
    settings.close();
    QFile::link(pty[Alias]->slavePath(), dev.filePath("com1"));
    QFile::link(pty[Standard]->slavePath(), dev.filePath("ttyS0"));
    PortMap map({}, conf);
    map.setDeviceDir(dev.path());
    SerialPort port;
    port.setPortMap(map);
    QCOMPARE(port.open(), line == 0);
    port.write("#1$");
    if (line == 0) {
        QCOMPARE(pty[SettingsFile]->receive(3), QByteArray("#1$"));
        QVERIFY(map.settingsProblem().isEmpty());
        QCOMPARE(map.resolve(2).path, QStringLiteral("/dev/ttyUSB1"));
        QCOMPARE(map.resolve(3).origin, PortOrigin::Standard); // "com3=" sets nothing
        return;
    }
    for (Place place : {SettingsFile, Alias, Standard})
        QCOMPARE(pty[place]->receiveFor(place == SettingsFile ? 0 : 50), QByteArray());
    QCOMPARE(port.lastError().trouble, PortTrouble::SettingsFile);
    const QString words = PortWords::trouble(port.lastError());
    QVERIFY2(words.contains(
                 QStringLiteral("%1, line %2: expected %3").arg(conf).arg(line).arg(expected)),
             qPrintable(words));
    QCOMPARE(map.settingsProblem().line, line);
    QVERIFY(!PortWords::description(map.describe(1)).contains("Nothing is there"));
}

void TestPortMap::shouldReadSettingsFileWhereReadmeSays_data()
{
    QTest::addColumn<QString>("xdgConfigHome"); // HOME is %TMP%
    QTest::addColumn<QByteArray>("conf");       // ~/.config/Zelvor/zelvor-console.conf
    QTest::addColumn<bool>("ini");              // a zelvor-console.ini beside it
    QTest::addColumn<QString>("words"); // "": Com 1 opens %SET%; else in Start Config.'s words

    const QString file = "%TMP%/.config/Zelvor/zelvor-console.";
    const QByteArray com1("[ports]\ncom1=%SET%\n");
    QTest::newRow("none") << "" << com1 << false << "";
    QTest::newRow("a relative one is ignored") << "xdg" << com1 << false << "";
    QTest::newRow("a path there that is no port")
        << "" << QByteArray("\n[ports]\ncom1=/dev/null") << false
        << "/dev/null, set for Com 1 in " + file + "conf, line 3: ";
    QTest::newRow("larger than 64 KiB")
        << "" << QByteArray(64 * 1024 + 1, '\n') << false << file + "conf is larger than 64 KiB";
    QTest::newRow("zelvor-console.ini beside it; the .conf is read")
        << "" << QByteArray("[ports]\ncom2=%SET%\n") << true
        << "Com 1 is not opened through a fallback: " + file + "ini is not read";
}

// The lookup main() makes, in the user's environment. Com 1 would otherwise
// open dev/com1.
void TestPortMap::shouldReadSettingsFileWhereReadmeSays()
{
    QFETCH(QString, xdgConfigHome);
    QFETCH(QByteArray, conf);
    QFETCH(bool, ini);
    QFETCH(QString, words);
    qputenv("HOME", tmp.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", xdgConfigHome.toUtf8());
    const QString folder = tmp.filePath(".config/Zelvor/");
    QFile file(folder + "zelvor-console.conf"), stray(folder + "zelvor-console.ini");
    QVERIFY(QDir().mkpath(folder) && (!stray.exists() || stray.remove()));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(expand(conf).toUtf8()) >= 0);
    file.close();
    QVERIFY(!ini || stray.open(QIODevice::WriteOnly));
    QFile::link(pty[Alias]->slavePath(), dev.filePath("com1"));
    PortMap map({}, PortMap::userSettingsFile());
    map.setDeviceDir(dev.path());
    SerialPort port;
    port.setPortMap(map);
    QCOMPARE(port.open(), words.isEmpty());
    const QString said = PortWords::trouble(port.lastError()) + PortWords::detail(port.lastError());
    QVERIFY2(said.contains(expand(words)), qPrintable(said));
    QCOMPARE(map.resolve(1).path == pty[SettingsFile]->slavePath(), words.isEmpty());
    QCOMPARE(map.resolve(2).origin == PortOrigin::SettingsFile, conf.contains("com2"));
}

QTEST_GUILESS_MAIN(TestPortMap)
#include "tst_port_map.moc"
