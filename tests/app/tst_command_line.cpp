// SPDX-License-Identifier: MIT
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray Record = "time,event,detail,zero,span,low_range,high_range\r\n"
                          "2026-12-07T14:03:27.123+01:00,start,Com 1 (/dev/ttyS0),,,,\r\n"
                          "2026-12-07T14:03:28.000+01:00,end,stop,,,,\r\n";

QString fileWith(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

} // namespace

// The built console started with options and no display at all: whatever it
// answers must come before it needs one.
class TestCommandLine : public QObject
{
    Q_OBJECT
    QTemporaryDir files;
private slots:
    void shouldAnswerWithoutWindow_data();
    void shouldAnswerWithoutWindow();
    void shouldSayWhatIsWrongWithWindowSystem_data();
    void shouldSayWhatIsWrongWithWindowSystem();
    void shouldSaySettingsFileIsNotReadInOneLine_data();
    void shouldSaySettingsFileIsNotReadInOneLine();
    void shouldWriteNothingThroughLinkAtSheetName();
    void shouldSayDiskIsFull();

private:
    // Standard output and standard error of the console started with `args`
    // and no display but `display`; fails unless it ended with `status`.
    void runConsole(const QStringList &args, const QString &display, int status, QString *out,
                    QString *err);
};

namespace {

bool matches(const QString &pattern, const QString &text)
{
    return QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption)
        .match(text)
        .hasMatch();
}

} // namespace

void TestCommandLine::runConsole(const QStringList &args, const QString &display, int status,
                                 QString *out, QString *err)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    if (!display.isEmpty())
        env.insert("DISPLAY", display);
    QProcess console;
    console.setProcessEnvironment(env);
    console.start(ZELVOR_CONSOLE, args);
    QVERIFY(console.waitForFinished(10000));
    // Windows ends its lines with CR LF.
    *out = QString::fromLocal8Bit(console.readAllStandardOutput()).replace("\r\n", "\n");
    *err = QString::fromLocal8Bit(console.readAllStandardError()).replace("\r\n", "\n");
    QCOMPARE(console.exitStatus(), QProcess::NormalExit);
    QCOMPARE(console.exitCode(), status);
}

void TestCommandLine::shouldAnswerWithoutWindow_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out"); // pattern for all of standard output
    QTest::addColumn<QString>("err"); // in standard error; "" when it must be empty

    const QString version = "^zelvor-console 1\\.0\\.0\\.0\n$";
    QTest::newRow("version") << QStringList{"--version"} << 0 << version << "";
    QTest::newRow("version beside Qt's options")
        << QStringList{"-platform", "offscreen",        "-style=fusion", "--style",  "fusion",
                       "-reverse",  "-qwindowgeometry", "10x10+0+0",     "--version"}
        << 0 << version << "";
    QTest::newRow("help") << QStringList{"--help"} << 0
                          << "^Usage: .*-platform.*--version.*--port <N=PATH> *\"Com N\".*"
                             "--simulate +Try the console without hardware"
                          << "";
    QTest::newRow("port number 9") << QStringList{"--port=9=/dev/ttyUSB0"} << 2 << "^$"
                                   << "--port 9=/dev/ttyUSB0: the port number N must be 1 to 8";
    QTest::newRow("empty path") << QStringList{"--port", "2="} << 2 << "^$"
                                << "--port 2=: the path is empty";
    QTest::newRow("no number") << QStringList{"--port", "/dev/ttyUSB0"} << 2 << "^$"
                               << "--port /dev/ttyUSB0: expected N=PATH";
    QTest::newRow("port given twice")
        << QStringList{"--port", "1=/dev/ttyUSB0", "--port", "1=/dev/ttyUSB1"} << 2 << "^$"
        << "Com 1 is given twice";
    QTest::newRow("unknown option") << QStringList{"--baud", "9600"} << 2 << "^$"
                                    << "Unknown option 'baud'";
    QTest::newRow("stray argument") << QStringList{"/dev/ttyUSB0"} << 2 << "^$"
                                    << "unexpected argument '/dev/ttyUSB0'";
    QTest::newRow("simulated instrument where --port puts a device")
        << QStringList{"--port", "1=/dev/ttyUSB0", "--simulate"} << 2 << "^$"
        << "^zelvor-console: --simulate puts its instrument on Com 1, which --port "
           "1=/dev/ttyUSB0 names as well";
#ifdef Q_OS_LINUX
    // One line, not a platform plugin's advice to reinstall.
    QTest::newRow("good options, no desktop")
        << QStringList{"--port", "2=/dev/ttyUSB0", "-reverse"} << 1 << "^$"
        << "^zelvor-console needs a graphical desktop[^\n]*\n$";
    QTest::newRow("simulated instrument beside other ports, no desktop")
        << QStringList{"--simulate", "--port", "2=/dev/ttyUSB0"} << 1 << "^$"
        << "^zelvor-console needs a graphical desktop[^\n]*\n$";
#endif

    // The calibration sheet of a record, drawn offscreen.
    const QString record = fileWith(files, "2026-12-07_14-03-27_com1.csv", Record);
    QTest::newRow("sheet of a record, no desktop")
        << QStringList{"--sheet", record} << 0
        << "^zelvor-console: calibration sheet written to " +
               QRegularExpression::escape(files.filePath("2026-12-07_14-03-27_com1.pdf")) + "\n$"
        << "^(?!.*zelvor-console)";
    const QString other = fileWith(files, "other.csv", "name,value\r\nzero,4.00\r\n");
    QTest::newRow("sheet of another CSV file")
        << QStringList{"--sheet", other} << 2 << "^$"
        << "^zelvor-console: " + QRegularExpression::escape(other) +
               " is not a run record of this console: its first line is not "
               "\"time,event,detail,zero,span,low_range,high_range\"\n$";
    const QString longLine = fileWith(files, "long.csv", Record + QByteArray(70000, ',') + "\r\n");
    QTest::newRow("sheet of a record with a line too long")
        << QStringList{"--sheet", longLine} << 2 << "^$"
        << "^zelvor-console: " + QRegularExpression::escape(longLine) +
               " is not a run record of this console: line 4 is longer than any line the console "
               "writes\n$";
    // At once: a FIFO is not waited on, a device not read without end.
    QList<std::pair<QString, QString>> notFiles = {{files.path(), "a folder"}};
#ifdef Q_OS_UNIX
    const QString fifo = files.filePath("fifo.csv");
    QVERIFY(QFileInfo::exists(fifo) || QProcess::execute("mkfifo", {fifo}) == 0);
    notFiles.append({{fifo, "a FIFO (named pipe)"}, {"/dev/zero", "a character device"}});
#endif
    for (const auto &[path, what] : notFiles)
        QTest::newRow(qPrintable("sheet of " + what))
            << QStringList{"--sheet", path} << 2 << "^$"
            << "^zelvor-console: " +
                   QRegularExpression::escape("Cannot read " + path + ": it is " + what) +
                   ", not a file\n$";
}

void TestCommandLine::shouldAnswerWithoutWindow()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);

    QString stdOut, stdErr;
    runConsole(args, QString(), status, &stdOut, &stdErr);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(matches(out, stdOut), qPrintable(stdOut));
    QVERIFY2(err.isEmpty() ? stdErr.isEmpty() : matches(err, stdErr), qPrintable(stdErr));
}

void TestCommandLine::shouldSayWhatIsWrongWithWindowSystem_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("err"); // all of standard error
#ifndef Q_OS_LINUX
    QSKIP("displays and platform plugins chosen at start are the X11 desktop's");
#endif
    QTest::newRow("display that is not there")
        << QStringList() << ":97531"
        << "^zelvor-console: no such display: \":97531\"[^\n]*\n$";
    QTest::newRow("-platform=offscreen without DISPLAY")
        << QStringList{"-platform=offscreen"} << ""
        << "^zelvor-console: no display: DISPLAY is not set[^\n]*-platform offscreen[^\n]*\n$";
    QTest::newRow("-platform bogus")
        << QStringList{"-platform", "bogus"} << ""
        << "^zelvor-console: no such platform plugin: \"bogus\" \\(there are: [^\n]*offscreen"
           "[^\n]*\\)\n$";
}

// One line that says what is wrong and status 1, not Qt's abort with advice
// to reinstall the program.
void TestCommandLine::shouldSayWhatIsWrongWithWindowSystem()
{
    QFETCH(QStringList, args);
    QFETCH(QString, display);
    QFETCH(QString, err);
    QString stdOut, stdErr;
    runConsole(args, display, 1, &stdOut, &stdErr);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(matches(err, stdErr), qPrintable(stdErr));
    QCOMPARE(stdOut, QString());
}

void TestCommandLine::shouldSaySettingsFileIsNotReadInOneLine_data()
{
    QTest::addColumn<QString>("conf"); // what $XDG_CONFIG_HOME/Zelvor/zelvor-console.conf is
    QTest::addColumn<QString>("err");  // in the one line on standard error, after that folder
#ifndef Q_OS_LINUX
    QSKIP("FIFOs, /dev/zero and the stray .ini are the Linux file's");
#endif
    QTest::newRow("FIFO") << "FIFO"
                          << "conf is a FIFO, not a regular file";
    QTest::newRow("link to /dev/zero") << "/dev/zero"
                                       << "conf leads to /dev/zero, a device";
    QTest::newRow("folder") << "folder"
                            << "conf is a folder, not a regular file";
    QTest::newRow("zelvor-console.ini beside it") << "ini"
                                                  << "ini is not read; the console reads";
}

// Said before the window appears; a FIFO does not hold the console.
void TestCommandLine::shouldSaySettingsFileIsNotReadInOneLine()
{
    QFETCH(QString, conf);
    QFETCH(QString, err);
    QTemporaryDir home;
    const QString file = home.filePath("Zelvor/zelvor-console.");
    QVERIFY(QDir().mkpath(conf == "folder" ? file + "conf" : home.filePath("Zelvor")));
    QVERIFY(conf != "FIFO" || QProcess::execute("mkfifo", {file + "conf"}) == 0);
    QVERIFY(conf != "/dev/zero" || QFile::link(conf, file + "conf"));
    QVERIFY(conf != "ini" || QFile(file + "ini").open(QIODevice::WriteOnly));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
        env.insert(name, home.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess console;
    console.setProcessEnvironment(env);
    console.start(ZELVOR_CONSOLE);
    QString said;
    QTRY_VERIFY_WITH_TIMEOUT((said += console.readAllStandardError()).contains('\n'), 10000);
    console.terminate();
    QVERIFY(console.waitForFinished(10000));
    said += console.readAllStandardError();
    QVERIFY2(said.startsWith("zelvor-console: ") && said.count('\n') == 1 &&
                 said.contains(file + err),
             qPrintable(said));
}

// Run by root, a sheet written through a link at its name would replace what
// the link leads to, or make a file where it points.
void TestCommandLine::shouldWriteNothingThroughLinkAtSheetName()
{
#ifndef Q_OS_UNIX
    QSKIP("links need privileges on Windows");
#endif
    const QTemporaryDir dir;
    fileWith(dir, "kept", "kept");
    for (const QString &target : {dir.filePath("kept"), dir.filePath("nowhere")}) {
        const QString sheet = target + "-run.pdf";
        QVERIFY(QFile::link(target, sheet));
        QString out, err;
        runConsole({"--sheet", fileWith(dir, target.section('/', -1) + "-run.csv", Record)},
                   QString(), 1, &out, &err);
        QVERIFY2(err.endsWith("zelvor-console: Cannot write the calibration sheet " + sheet +
                              ": it is a symbolic link, and nothing is written through one\n"),
                 qPrintable(err));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoSymLinks),
             QStringList({"kept", "kept-run.csv", "nowhere-run.csv"}));
    QFile kept(dir.filePath("kept"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), "kept");
}

// A full disk in the system's words, and no part of a sheet left behind: an
// 8 KiB file system holds the record, not its sheet. Mounted in a mount
// namespace of the test's own, as a user mapped to root or as root.
void TestCommandLine::shouldSayDiskIsFull()
{
#ifndef Q_OS_LINUX
    QSKIP("a file system of the test's own needs Linux's namespaces");
#endif
    const QTemporaryDir dir;
    const QString script =
        "mkdir -p \"$1\" && mount -t tmpfs -o size=8k tmpfs \"$1\" && cp \"$2\" \"$1\" || exit\n"
        "\"$3\" --sheet \"$1/run.csv\"; status=$?; ls -A \"$1\"; exit $status";
    QProcess shell;
    QByteArray out;
    QString err;
    for (const char *how : {"-rm", "-m"}) { // as a user mapped to root, or as root
        shell.start("unshare", {how, "sh", "-c", script, "sh", dir.filePath("full"),
                                fileWith(dir, "run.csv", Record), ZELVOR_CONSOLE});
        QVERIFY(shell.waitForFinished(10000));
        out = shell.readAllStandardOutput();
        err = shell.readAllStandardError();
        if (!out.isEmpty())
            break;
    }
    if (out.isEmpty())
        QSKIP(qPrintable("no file system of the test's own: " + shell.errorString() + " " + err));
    QCOMPARE(shell.exitCode(), 1);
    QVERIFY2(err.endsWith("zelvor-console: Cannot write the calibration sheet " +
                          dir.filePath("full/run.pdf") + ": No space left on device\n"),
             qPrintable(err));
    QCOMPARE(out, "run.csv\n");
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
