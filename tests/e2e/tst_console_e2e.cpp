// SPDX-License-Identifier: MIT
#include "csv_reader.h"
#include "pty_instrument.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>
#include <utility>

// The built console and the built simulator as separate processes, joined by
// /dev/com1 in a mount namespace of their own, driven through the X server as
// an operator would. What counts is what reaches the instrument. The console
// with its simulated instrument needs no namespace: it is checked by what its
// window shows.
class TestConsoleE2E : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void shouldCarryWholeConfigurationRunToInstrument();
    void shouldOpenPortChosenInCommunicationSettings();
    void shouldStopFeedAndReleasePortWhenTerminated();
    void shouldShowSimulatedReadingsAndTakeNewLowRange();
    void shouldKeepRecordUpToKill();
    void shouldStopFeedWhenDisplayIsLost();

private:
    // The pixels of the four reading boxes, in the order Zero, Span, Low Range
    // and High Range.
    using Readings = QList<QByteArray>;

    QString run(const QString &program, const QStringList &args, int timeoutMs = 10000);
    // The X server for the programs; empty when it runs, else why not.
    QString startXServer();
    void xdo(const QStringList &args);
    void click(const char *control);
    QByteArray received() const;
    QString simOutput() const;
    // Starts the simulator with `link` and the console beside it, and finds
    // the console's window.
    void startPrograms(const QString &link);
    // Starts the console alone, with `args`, and finds its window.
    void startConsole(const QStringList &args);
    // The console's main window: where it is and how large it is drawn.
    void findWindow();
    // What the reading boxes show after each of `frames`, sent by the test to
    // a console of its own.
    void drawReadings(const QList<QByteArray> &frames, QList<Readings> *drawn);
    // The reading boxes once they differ from `before` and two looks in a row
    // agree.
    void settledReadings(const Readings &before, Readings *shown);
    // File > Exit, and both programs gone.
    void exitConsole();
    // Start Config., and the instrument's answer on screen.
    void startConfig();
    // Both programs, then Start Config.; false when either failed.
    bool runStarted(const QString &link);
    // A run on /dev/com1 feeding its zero output: the console's process id
    // here, 0 when it could not be had.
    qint64 feedingConsole();
    // The console's process id here, outside its namespace; 0 if not (yet) found.
    qint64 consolePid() const;
    // What the serial ports' lock directory held once the console had ended.
    void checkNoLockFileLeft();
    // The raw pixels of a control's inside, as the X server holds them.
    QByteArray pixelsOf(const char *control) const;
    Readings readings() const;
    // What the programs are started with: the leak checker's suppressions.
    QProcessEnvironment programEnvironment() const;
    // The console's run records, where the program puts them for this user.
    QStringList recordFiles() const;

    QStringList namespace_command;
    QProcess xserver;
    QString display;
    std::unique_ptr<QTemporaryDir> work;
    std::unique_ptr<QProcess> programs;
    QString window;
    double scale = 1.0;
    int client_top = 0;
    int window_x = 0;
    int window_y = 0;
    QTemporaryDir framebuffer;
};

namespace {

const char NoPrivateDev[] = "this machine gives no private mount namespace with a /dev of its own";

// Where the controls lie in the window's client area, in twips.
struct Place
{
    const char *name;
    int left, top, width, height;
};
constexpr Place Controls[] = {
    {"Zero_real", 1200, 600, 1215, 615},          {"Span_real", 2760, 600, 1215, 615},
    {"Low_range_real_txt", 5520, 600, 1215, 615}, {"High_range_real_txt", 7080, 600, 1215, 615},
    {"Feed_Zero", 2280, 1920, 2175, 615},         {"Stop_Feed_zero", 5040, 1920, 1815, 615},
    {"Save_cmd", 7440, 1920, 1335, 495},          {"Feed_span", 2280, 2760, 2175, 615},
    {"Stop_Feed_span", 5040, 2760, 1815, 615},    {"Low_range_cmd", 2640, 3600, 1815, 615},
    {"Low_range_text", 5040, 3600, 1215, 615},    {"Enter_L", 6840, 3600, 1095, 615},
    {"High_range_cmd", 2640, 4440, 1815, 615},    {"High_range_text", 5040, 4440, 1215, 615},
    {"Enter_H", 6840, 4440, 1095, 615},
};
constexpr const char *ReadingBoxes[] = {"Zero_real", "Span_real", "Low_range_real_txt",
                                        "High_range_real_txt"};
// The start line's port: /dev/com1, and the pseudo-terminal it leads to.
const QRegularExpression StartedOnCom1("^Com 1 \\(/dev/com1 -> /dev/(\\.host/)?pts/\\d+\\)$");
constexpr int ClientWidthTwips = 9675;
constexpr int ClientHeightTwips = 5850;
constexpr double TwipsPerPixel = 15.0;

} // namespace

QString TestConsoleE2E::run(const QString &program, const QStringList &args, int timeoutMs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit ||
        p.exitCode() != 0) {
        p.kill();
        p.waitForFinished();
        return QString();
    }
    return QString::fromLocal8Bit(p.readAll()).trimmed();
}

void TestConsoleE2E::initTestCase()
{
    for (const char *tool : {"Xvfb", "xdotool", "unshare", "bash"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QSKIP(qPrintable(QString("%1 is not installed").arg(tool)));
    }
    QVERIFY(QFileInfo::exists(ZELVOR_CONSOLE));
    QVERIFY(QFileInfo::exists(ZELVOR_INSTRUMENT_SIM));

    // As root a mount namespace is enough; anyone else needs a user namespace
    // too. The pid namespace ends every process in it when the test kills it.
    // Its own /proc too, or the sanitizers' leak check cannot find its threads.
    const QStringList base{"--mount", "--propagation", "private",     "--fork",
                           "--pid",   "--mount-proc",  "--kill-child"};
    const QStringList tries[] = {base, base + QStringList{"--map-root-user"}};
    for (const QStringList &t : tries) {
        QProcess probe;
        probe.start("unshare",
                    t + QStringList{"bash", ZELVOR_PRIVATE_DEV, "test", "-d", "/dev/pts"});
        if (probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit &&
            probe.exitCode() == 0) {
            namespace_command = t;
            break;
        }
    }

    const QString why = startXServer();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
}

QString TestConsoleE2E::startXServer()
{
    // The screen in a file, to see what the window shows.
    if (!framebuffer.isValid())
        return "no folder for the screen";
    xserver.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                           "-fbdir", framebuffer.path()});
    if (!xserver.waitForStarted(5000))
        return "Xvfb does not start";
    QDeadlineTimer deadline(10000);
    while (!xserver.canReadLine() && xserver.state() == QProcess::Running && !deadline.hasExpired())
        xserver.waitForReadyRead(100);
    if (!xserver.canReadLine())
        return "Xvfb gives no display";
    display = ":" + QString::fromLatin1(xserver.readLine()).trimmed();
    qputenv("DISPLAY", display.toLatin1());
    return QString();
}

void TestConsoleE2E::cleanupTestCase()
{
    if (xserver.state() != QProcess::NotRunning) {
        xserver.terminate();
        xserver.waitForFinished(5000);
    }
}

void TestConsoleE2E::xdo(const QStringList &args)
{
    QProcess p;
    p.start("xdotool", args);
    QVERIFY2(p.waitForFinished(10000) && p.exitCode() == 0,
             qPrintable("xdotool " + args.join(' ') + ": " + p.readAllStandardError()));
}

void TestConsoleE2E::click(const char *control)
{
    for (const Place &c : Controls) {
        if (qstrcmp(c.name, control) != 0)
            continue;
        const int x = qRound((c.left + c.width / 2.0) / TwipsPerPixel * scale);
        const int y = client_top + qRound((c.top + c.height / 2.0) / TwipsPerPixel * scale);
        xdo({"mousemove", "--window", window, QString::number(x), QString::number(y), "click",
             "1"});
        return;
    }
    QFAIL(control);
}

QByteArray TestConsoleE2E::received() const
{
    QFile f(work->filePath("received.bin"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString TestConsoleE2E::simOutput() const
{
    QFile f(work->filePath("sim.out"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
}

void TestConsoleE2E::init()
{
    work = std::make_unique<QTemporaryDir>();
    QVERIFY(work->isValid());
    // A test before this one took it away.
    if (xserver.state() == QProcess::NotRunning) {
        const QString why = startXServer();
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
}

void TestConsoleE2E::cleanup()
{
    if (programs && programs->state() != QProcess::NotRunning) {
        programs->kill(); // the pid namespace takes both programs with it
        programs->waitForFinished(5000);
    }
    programs.reset();
    work.reset();
}

TestConsoleE2E::Readings TestConsoleE2E::readings() const
{
    Readings boxes;
    for (const char *box : ReadingBoxes)
        boxes += pixelsOf(box);
    return boxes;
}

void TestConsoleE2E::settledReadings(const Readings &before, Readings *shown)
{
    // A look taken while the window is drawn is not seen twice.
    Readings last;
    QTRY_VERIFY_WITH_TIMEOUT(
        (std::exchange(last, *shown = readings()) == *shown) && *shown != before, 10000);
}

void TestConsoleE2E::drawReadings(const QList<QByteArray> &frames, QList<Readings> *drawn)
{
    PtyInstrument instrument;
    QVERIFY(instrument.isValid());
    startConsole({"--port", "1=" + instrument.slavePath()});
    if (QTest::currentTestFailed())
        return;
    Readings before = readings();
    xdo({"key", "alt+o", "s"}); // Operation > Start Config.
    QCOMPARE(instrument.receive(3, 10000), QByteArray("#1$"));
    for (const QByteArray &frame : frames) {
        QVERIFY(instrument.send(frame));
        Readings shown;
        settledReadings(before, &shown);
        if (QTest::currentTestFailed())
            return;
        *drawn += shown;
        before = shown;
    }
    xdo({"key", "alt+f", "x"}); // File > Exit
    QVERIFY(programs->waitForFinished(15000));
    QCOMPARE(programs->exitCode(), 0);
}

QByteArray TestConsoleE2E::pixelsOf(const char *control) const
{
    QFile file(framebuffer.filePath("Xvfb_screen0"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray screen = file.readAll();
    // An XWD image: a header of big-endian 32-bit fields, a colour map of
    // 12-byte entries, then the rows.
    auto field = [&screen](int index) {
        const auto *p = reinterpret_cast<const uchar *>(screen.constData()) + 4 * index;
        return qsizetype(p[0]) << 24 | qsizetype(p[1]) << 16 | qsizetype(p[2]) << 8 | p[3];
    };
    if (screen.size() < 100)
        return {};
    const qsizetype pixels = field(0) + 12 * field(19);
    const qsizetype bytesPerPixel = field(11) / 8;
    const qsizetype bytesPerLine = field(12);
    QByteArray inside;
    for (const Place &c : Controls) {
        if (qstrcmp(c.name, control) != 0)
            continue;
        // A few pixels in from the frame, where only the text is drawn.
        const int inset = 4;
        const int left = window_x + qRound(c.left / TwipsPerPixel * scale) + inset;
        const int top = window_y + client_top + qRound(c.top / TwipsPerPixel * scale) + inset;
        const int width = qRound(c.width / TwipsPerPixel * scale) - 2 * inset;
        const int height = qRound(c.height / TwipsPerPixel * scale) - 2 * inset;
        for (int y = top; y < top + height; ++y) {
            const qsizetype at = pixels + y * bytesPerLine + left * bytesPerPixel;
            if (at + width * bytesPerPixel <= screen.size())
                inside += screen.mid(at, width * bytesPerPixel);
        }
    }
    return inside;
}

void TestConsoleE2E::startPrograms(const QString &link)
{
    // Both programs in one namespace; the simulator goes when the console has
    // ended, and the namespace's own lock directory is listed then.
    const QString pair =
        QString("\"$1\" --link \"$4\" --log-rx \"$3/received.bin\" > \"$3/sim.out\" 2>&1 & "
                "sim=$!; QT_QPA_PLATFORM=xcb \"$2\" > \"$3/console.out\" 2>&1; rc=$?; "
                "ls -A \"$(readlink -f /var/lock)\" > \"$3/locks.after\"; "
                "kill -TERM $sim; wait $sim; exit $rc");
    programs = std::make_unique<QProcess>();
    programs->setProcessChannelMode(QProcess::ForwardedChannels);
    programs->setProcessEnvironment(programEnvironment());
    programs->start("unshare",
                    namespace_command + QStringList{"bash", ZELVOR_PRIVATE_DEV, "bash", "-c", pair,
                                                    "pair", ZELVOR_INSTRUMENT_SIM, ZELVOR_CONSOLE,
                                                    work->path(), link});
    QVERIFY(programs->waitForStarted());

    QTRY_VERIFY_WITH_TIMEOUT(simOutput().contains("linked: " + link), 10000);
    const QRegularExpressionMatch pty =
        QRegularExpression("console port: (\\S+)").match(simOutput());
    QVERIFY(pty.hasMatch());
    // The link lives in the namespace only.
    QVERIFY(QFileInfo(link).symLinkTarget() != pty.captured(1));

    findWindow();
}

QProcessEnvironment TestConsoleE2E::programEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString lsan = env.value("LSAN_OPTIONS");
    env.insert("LSAN_OPTIONS", (lsan.isEmpty() ? QString() : lsan + ':') +
                                   "print_suppressions=0:suppressions=" ZELVOR_LEAK_SUPPRESSIONS);
    // The user's data folder, for the run records: this test's own.
    env.insert("XDG_DATA_HOME", work->filePath("data"));
    return env;
}

void TestConsoleE2E::startConsole(const QStringList &args)
{
    programs = std::make_unique<QProcess>();
    QProcessEnvironment env = programEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    programs->setProcessEnvironment(env);
    programs->setStandardOutputFile(work->filePath("console.out"));
    programs->setStandardErrorFile(work->filePath("console.err"));
    programs->start(ZELVOR_CONSOLE, args);
    QVERIFY(programs->waitForStarted());
    findWindow();
}

void TestConsoleE2E::findWindow()
{
    window = run("xdotool", {"search", "--sync", "--onlyvisible", "--name",
                             "^Zelvor Electronics Pvt\\. Ltd\\.$"});
    QVERIFY2(!window.isEmpty(), "the console's main window did not appear");
    window = window.section('\n', 0, 0);
    const QString geometry = run("xdotool", {"getwindowgeometry", "--shell", window});
    const int width = QRegularExpression("WIDTH=(\\d+)").match(geometry).captured(1).toInt();
    const int height = QRegularExpression("HEIGHT=(\\d+)").match(geometry).captured(1).toInt();
    QVERIFY2(width > 0 && height > 0, qPrintable(geometry));
    window_x = QRegularExpression("X=(\\d+)").match(geometry).captured(1).toInt();
    window_y = QRegularExpression("Y=(\\d+)").match(geometry).captured(1).toInt();
    scale = width / (ClientWidthTwips / TwipsPerPixel);
    client_top = height - qRound(ClientHeightTwips / TwipsPerPixel * scale); // the menu bar
    QVERIFY2(client_top >= 0, qPrintable(geometry));
    xdo({"windowfocus", "--sync", window});
}

void TestConsoleE2E::exitConsole()
{
    xdo({"windowfocus", "--sync", window});
    xdo({"key", "alt+f", "x"}); // File > Exit
    QVERIFY(programs->waitForFinished(15000));
    QCOMPARE(programs->exitStatus(), QProcess::NormalExit);
    QCOMPARE(programs->exitCode(), 0);
    QVERIFY(simOutput().contains("removed /dev/com"));
    checkNoLockFileLeft();
}

void TestConsoleE2E::checkNoLockFileLeft()
{
    QFile locks(work->filePath("locks.after"));
    QVERIFY(locks.open(QIODevice::ReadOnly));
    QCOMPARE(locks.readAll(), QByteArray());
}

void TestConsoleE2E::startConfig()
{
    const QByteArray emptyZero = pixelsOf("Zero_real");
    QVERIFY(!emptyZero.isEmpty());
    xdo({"key", "alt+o", "s"}); // Operation > Start Config.
    QTRY_COMPARE_WITH_TIMEOUT(received(), QByteArray("#1$"), 10000);
    // The answer is on screen, so the console has taken it: its device check passes.
    QTRY_VERIFY_WITH_TIMEOUT(simOutput().contains("-> #4.0020.00.0010.0$"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(pixelsOf("Zero_real") != emptyZero, 5000);
}

QStringList TestConsoleE2E::recordFiles() const
{
    const QDir runs(work->filePath("data/Zelvor/zelvor-console/runs"));
    QStringList files;
    for (const QString &name : runs.entryList({"*.csv"}, QDir::Files))
        files << runs.filePath(name);
    return files;
}

qint64 TestConsoleE2E::consolePid() const
{
    QHash<qint64, qint64> parentOf;
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        QFile stat("/proc/" + entry + "/stat");
        if (!isPid || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks and brackets.
        const QByteArray line = stat.readAll();
        parentOf.insert(pid, line.mid(line.lastIndexOf(')') + 2).split(' ').value(1).toLongLong());
    }
    const QString console = QFileInfo(ZELVOR_CONSOLE).canonicalFilePath();
    for (auto it = parentOf.cbegin(); it != parentOf.cend(); ++it) {
        if (QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(it.key())) != console)
            continue;
        for (qint64 up = it.value(); up > 0 && parentOf.contains(up); up = parentOf.value(up)) {
            if (up == programs->processId())
                return it.key();
        }
    }
    return 0;
}

bool TestConsoleE2E::runStarted(const QString &link)
{
    startPrograms(link);
    if (QTest::currentTestFailed())
        return false;
    startConfig();
    return !QTest::currentTestFailed();
}

qint64 TestConsoleE2E::feedingConsole()
{
    if (!runStarted("/dev/com1"))
        return 0;
    click("Feed_Zero");
    [&] { QTRY_COMPARE_WITH_TIMEOUT(received(), QByteArray("#1$#2$"), 5000); }();
    qint64 pid = 0;
    [&] { QTRY_VERIFY_WITH_TIMEOUT((pid = consolePid()) > 0, 5000); }();
    return QTest::currentTestFailed() ? 0 : pid;
}

void TestConsoleE2E::shouldCarryWholeConfigurationRunToInstrument()
{
    if (namespace_command.isEmpty())
        QSKIP(NoPrivateDev);
    if (!runStarted("/dev/com1"))
        return;
    QByteArray expected = "#1$";

    const struct
    {
        QList<const char *> clicks;
        const char *typed;
        const char *onTheLine;
    } steps[] = {
        {{"Feed_Zero"}, nullptr, "#2$"},
        {{"Stop_Feed_zero"}, nullptr, "#3$"},
        {{"Feed_span"}, nullptr, "#4$"},
        {{"Stop_Feed_span"}, nullptr, "#5$"},
        {{"Low_range_cmd", "Low_range_text"}, "0.50", nullptr},
        {{"Enter_L"}, nullptr, "#60.50$"},
        // The box takes four characters; the fifth is refused.
        {{"High_range_cmd", "High_range_text"}, "12.57", nullptr},
        {{"Enter_H"}, nullptr, "#712.5$"},
        {{"Save_cmd"}, nullptr, "#8$"},
    };
    for (const auto &step : steps) {
        for (const char *control : step.clicks)
            click(control);
        if (step.typed)
            xdo({"type", "--delay", "30", step.typed});
        if (step.onTheLine) {
            expected += step.onTheLine;
            QTRY_COMPARE_WITH_TIMEOUT(received(), expected, 5000);
        }
    }
    QTRY_VERIFY_WITH_TIMEOUT(simOutput().contains("settings saved: zero \"4.00\", span \"20.0\", "
                                                  "low range \"0.50\", high range \"12.5\""),
                             5000);

    xdo({"key", "alt+o", "t"}); // Operation > Stop Config.
    exitConsole();
    if (QTest::currentTestFailed())
        return;
    // Stop Config. and Exit wrote nothing more.
    QCOMPARE(received(), QByteArray("#1$#2$#3$#4$#5$#60.50$#712.5$#8$"));

    // The run's record, in the user's data folder. Each value frame is answered
    // by the instrument; when that reading is taken among the clicks is the
    // programs' own business, so sent frames and readings are compared apart.
    const QStringList files = recordFiles();
    QCOMPARE(files.size(), 1);
    const CsvRows rows = readCsv(files.first());
    QVERIFY(rows.size() > 3);
    QCOMPARE(rows.at(1).at(1), "start");
    QVERIFY2(StartedOnCom1.match(rows.at(1).at(2)).hasMatch(), qPrintable(rows.at(1).at(2)));
    QCOMPARE(rows.last().mid(1, 2), QStringList({"end", "stop"}));
    QVERIFY(QFileInfo(files.first().chopped(4) + ".pdf").size() > 0); // its sheet
    QStringList sent;
    QList<QStringList> readings;
    for (const QStringList &row : rows.mid(2, rows.size() - 3)) {
        if (row.at(1) == "sent")
            sent << row.at(2);
        else if (row.at(1) == "reading")
            readings << row.mid(3);
    }
    QCOMPARE(sent, QStringList({"#1$", "#2$", "#3$", "#4$", "#5$", "#60.50$", "#712.5$", "#8$"}));
    QCOMPARE(readings, QList<QStringList>({{"4.00", "20.0", "0.00", "10.0"},
                                           {"4.00", "20.0", "0.50", "10.0"},
                                           {"4.00", "20.0", "0.50", "12.5"}}));
}

void TestConsoleE2E::shouldOpenPortChosenInCommunicationSettings()
{
    if (namespace_command.isEmpty())
        QSKIP(NoPrivateDev);
    startPrograms("/dev/com2");
    if (QTest::currentTestFailed())
        return;
    // The menu's item key is lost when it comes before the menu shows, which
    // a loaded machine sometimes lets happen: a few tries, not one.
    QString dialog;
    for (int attempt = 0; attempt < 3 && dialog.isEmpty(); ++attempt) {
        xdo({"windowfocus", "--sync", window});
        xdo({"key", "Escape", "alt+s", "c"}); // Setting > Communication Settings
        dialog =
            run("xdotool",
                {"search", "--sync", "--onlyvisible", "--name", "^Communication Settings$"}, 3000)
                .section('\n', 0, 0);
    }
    QVERIFY2(!dialog.isEmpty(), "the Communication Settings dialog did not appear");
    xdo({"windowfocus", "--sync", dialog});
    // The focus starts on OK; Tab reaches the port list past Cancel, and from
    // the list comes back to OK.
    xdo({"key", "Tab", "Tab", "Down", "Tab", "space"});
    QTRY_VERIFY_WITH_TIMEOUT(
        run("xdotool", {"search", "--onlyvisible", "--name", "^Communication Settings$"}).isEmpty(),
        5000);

    xdo({"windowfocus", "--sync", window});
    xdo({"key", "alt+o", "s"}); // Operation > Start Config., now on Com 2
    QTRY_COMPARE_WITH_TIMEOUT(received(), QByteArray("#1$"), 10000);
    exitConsole();
}

// Ended by SIGTERM (logout, kill, a service manager) while feeding the zero
// output: the instrument is told to stop, the program ends with status 0, and
// no lock file is left to refuse the next console.
void TestConsoleE2E::shouldStopFeedAndReleasePortWhenTerminated()
{
    if (namespace_command.isEmpty())
        QSKIP(NoPrivateDev);
    const qint64 pid = feedingConsole();
    if (pid == 0)
        return;
    // The lock directory as the console sees it, in its own mount namespace.
    const QString lock = QStringLiteral("/proc/%1/root%2/LCK..com1")
                             .arg(pid)
                             .arg(QFileInfo("/var/lock").canonicalFilePath());
    QVERIFY2(QFileInfo::exists(lock), qPrintable(lock));

    QCOMPARE(::kill(pid_t(pid), SIGTERM), 0);
    QVERIFY(programs->waitForFinished(15000));
    QCOMPARE(programs->exitStatus(), QProcess::NormalExit);
    QCOMPARE(programs->exitCode(), 0);
    QCOMPARE(received(), QByteArray("#1$#2$#3$"));
    checkNoLockFileLeft();
    const QStringList files = recordFiles();
    QCOMPARE(files.size(), 1);
    const CsvRows rows = readCsv(files.first());
    QVERIFY(rows.size() > 2);
    QCOMPARE(rows.at(rows.size() - 2).mid(1, 2), QStringList({"sent", "#3$"}));
    QCOMPARE(rows.last().mid(1, 2), QStringList({"end", "signal"}));
    QVERIFY(QFileInfo(files.first().chopped(4) + ".pdf").size() > 0);
}

// Killed without a chance to end in order: the record holds every line up to
// the kill, and no end line.
void TestConsoleE2E::shouldKeepRecordUpToKill()
{
    if (namespace_command.isEmpty())
        QSKIP(NoPrivateDev);
    const qint64 pid = feedingConsole();
    if (pid == 0)
        return;
    QCOMPARE(::kill(pid_t(pid), SIGKILL), 0);
    QVERIFY(programs->waitForFinished(15000));

    const QStringList files = recordFiles();
    QCOMPARE(files.size(), 1);
    CsvRows events;
    for (const QStringList &row : readCsv(files.first()).mid(1))
        events << row.mid(1);
    QVERIFY(!events.isEmpty());
    QVERIFY2(StartedOnCom1.match(events[0][1]).hasMatch(), qPrintable(events[0][1]));
    events[0][1] = "Com 1";
    // The program names itself, the computer and the account after the start.
    const passwd *account = ::getpwuid(::geteuid());
    QVERIFY(account);
    QVERIFY(events.size() > 4);
    QCOMPARE(events.mid(1, 2),
             CsvRows({{"console", "zelvor-console 1.0.0.0", "", "", "", ""},
                      {"computer", QSysInfo::machineHostName(), "", "", "", ""}}));
    QCOMPARE(events.at(3).at(0), QString("account"));
    QVERIFY2(events.at(3).at(1).startsWith(QString::fromLocal8Bit(account->pw_name)),
             qPrintable(events.at(3).at(1)));
    events.remove(1, 3);
    QCOMPARE(events, CsvRows({{"start", "Com 1", "", "", "", ""},
                              {"sent", "#1$", "", "", "", ""},
                              {"reading", "", "4.00", "20.0", "0.00", "10.0"},
                              {"sent", "#2$", "", "", "", ""}}));
}

// The X server goes away under a console feeding its zero output (a crashed
// session, xkill): the instrument is still told to stop, the record ends with
// why, and no lock file is left to refuse the next console.
void TestConsoleE2E::shouldStopFeedWhenDisplayIsLost()
{
    if (namespace_command.isEmpty())
        QSKIP(NoPrivateDev);
    if (feedingConsole() == 0)
        return;
    xserver.kill();
    QVERIFY(xserver.waitForFinished(5000));
    QVERIFY(programs->waitForFinished(15000));
    QCOMPARE(programs->exitStatus(), QProcess::NormalExit);
    QCOMPARE(programs->exitCode(), 1);
    QCOMPARE(received(), QByteArray("#1$#2$#3$"));
    checkNoLockFileLeft();
    const QStringList files = recordFiles();
    QCOMPARE(files.size(), 1);
    CsvRows tail;
    for (const QStringList &row : readCsv(files.first()).mid(1).last(2))
        tail << row.mid(1, 2);
    QCOMPARE(tail, CsvRows({{"sent", "#3$"}, {"end", "display lost"}}));
}

// --simulate alone: Com 1 leads to the instrument that the program plays, and
// Start Config. shows its settings at start; a low range entered and saved comes
// back from it. What the window shows is compared with what the same console
// draws for the expected status frames, sent by the test itself.
void TestConsoleE2E::shouldShowSimulatedReadingsAndTakeNewLowRange()
{
    QList<Readings> drawn;
    drawReadings({"#4.0020.00.0010.0$", "#4.0020.00.5010.0$"}, &drawn);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(drawn.size(), 2);
    // Only the low range differs between the two.
    for (int box : {0, 1, 3})
        QCOMPARE(drawn[1][box], drawn[0][box]);

    startConsole({"--simulate"});
    if (QTest::currentTestFailed())
        return;
    QFile err(work->filePath("console.err"));
    QVERIFY(err.open(QIODevice::ReadOnly));
    QVERIFY2(QRegularExpression("zelvor-console: the instrument is simulated: Com 1 leads to "
                                "/dev/pts/[0-9]+,")
                 .match(QString::fromLocal8Bit(err.readAll()))
                 .hasMatch(),
             "standard error does not say that the instrument is simulated");

    xdo({"key", "alt+o", "s"}); // Operation > Start Config.
    QTRY_COMPARE_WITH_TIMEOUT(readings(), drawn[0], 10000);

    click("Low_range_cmd");
    click("Low_range_text");
    xdo({"type", "--delay", "30", "0.50"});
    click("Enter_L");
    click("Save_cmd");
    QTRY_COMPARE_WITH_TIMEOUT(readings(), drawn[1], 10000);

    xdo({"key", "alt+f", "x"}); // File > Exit
    QVERIFY(programs->waitForFinished(15000));
    QCOMPARE(programs->exitStatus(), QProcess::NormalExit);
    QCOMPARE(programs->exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestConsoleE2E)
#include "tst_console_e2e.moc"
