#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

// The built console started with options and no display at all: whatever it
// answers must come before it needs one.
class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void shouldAnswerWithoutWindow_data();
    void shouldAnswerWithoutWindow();
    void shouldExplainOptionsInHelp();

private:
    struct Answer
    {
        int status = -1;
        QString out;
        QString err;
    };
    // Runs the console with neither a display nor a platform in its environment.
    static Answer run(const QStringList &args);
};

TestCommandLine::Answer TestCommandLine::run(const QStringList &args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    QProcess console;
    console.setProcessEnvironment(env);
    console.start(ZELVOR_CONSOLE, args);
    if (!console.waitForFinished(10000) || console.exitStatus() != QProcess::NormalExit) {
        console.kill();
        console.waitForFinished();
        return {};
    }
    return {console.exitCode(), QString::fromLocal8Bit(console.readAllStandardOutput()),
            QString::fromLocal8Bit(console.readAllStandardError())};
}

void TestCommandLine::shouldAnswerWithoutWindow_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out"); // standard output, exactly
    QTest::addColumn<QString>("err"); // in standard error; "" when it must be empty

    const QString version = "zelvor-console 1.0.0.0\n";
    QTest::newRow("version") << QStringList{"--version"} << 0 << version << "";
    QTest::newRow("version beside Qt's options")
        << QStringList{"-platform", "offscreen",        "-style=fusion", "--style",  "fusion",
                       "-reverse",  "-qwindowgeometry", "10x10+0+0",     "--version"}
        << 0 << version << "";
    QTest::newRow("port number 0") << QStringList{"--port", "0=/dev/ttyUSB0"} << 2 << ""
                                   << "--port 0=/dev/ttyUSB0: the port number N must be 1 to 8";
    QTest::newRow("port number 9") << QStringList{"--port=9=/dev/ttyUSB0"} << 2 << ""
                                   << "--port 9=/dev/ttyUSB0: the port number N must be 1 to 8";
    QTest::newRow("port number in words") << QStringList{"--port", "two=/dev/ttyUSB0"} << 2 << ""
                                          << "the port number N must be 1 to 8";
    QTest::newRow("empty path") << QStringList{"--port", "2="} << 2 << ""
                                << "--port 2=: the path is empty";
    QTest::newRow("no number") << QStringList{"--port", "/dev/ttyUSB0"} << 2 << ""
                               << "--port /dev/ttyUSB0: expected N=PATH";
    QTest::newRow("no value") << QStringList{"--port"} << 2 << ""
                              << "Missing value after";
    QTest::newRow("port given twice")
        << QStringList{"--port", "1=/dev/ttyUSB0", "--port", "1=/dev/ttyUSB1"} << 2 << ""
        << "Com 1 is given twice";
    QTest::newRow("unknown option") << QStringList{"--baud", "9600"} << 2 << ""
                                    << "Unknown option 'baud'";
    QTest::newRow("stray argument") << QStringList{"/dev/ttyUSB0"} << 2 << ""
                                    << "unexpected argument '/dev/ttyUSB0'";
    QTest::newRow("good options, no desktop")
        << QStringList{"--port", "2=/dev/ttyUSB0", "-reverse"} << 1 << ""
        << "zelvor-console needs a graphical desktop";
}

void TestCommandLine::shouldAnswerWithoutWindow()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);

    const Answer answer = run(args);
    QCOMPARE(answer.status, status);
    QCOMPARE(answer.out, out);
    if (err.isEmpty())
        QCOMPARE(answer.err, QString());
    else
        QVERIFY2(answer.err.contains(err), qPrintable(answer.err));
    if (status == 1) // one line, not a platform plugin's advice
        QCOMPARE(answer.err.count('\n'), 1);
}

void TestCommandLine::shouldExplainOptionsInHelp()
{
    for (const char *option : {"--help", "-h", "--help-all"}) {
        const Answer answer = run({option});
        QCOMPARE(answer.status, 0);
        QVERIFY2(answer.out.startsWith("Usage: "), qPrintable(answer.out));
        for (const char *listed : {"--port <N=PATH>", "--version", "-platform"})
            QVERIFY2(answer.out.contains(listed), qPrintable(answer.out));
        // Qt's options are accepted, not listed one by one.
        QVERIFY2(!answer.out.contains("--platform"), qPrintable(answer.out));
        QCOMPARE(answer.err, QString());
    }
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
