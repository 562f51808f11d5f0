// SPDX-License-Identifier: MIT
#include "startup/command_line.h"

#include "link/port_map.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

// Where --simulate puts its instrument.
constexpr int SimulatedPort = 1;
constexpr int BadUsage = 2;
constexpr int NoDesktop = 1;

// The options that QGuiApplication, QApplication and the X11 platform take out
// of the arguments themselves: those with a value, then those without.
constexpr char QtOptionsWithValue[] =
    "platform platformpluginpath platformtheme plugin qwindowgeometry qwindowicon qwindowtitle "
    "session qmljsdebugger display geometry title icon name visual style stylesheet";
constexpr char QtFlags[] = "reverse testability sync nograb dograb widgetcount";

void print(std::FILE *stream, const QString &text)
{
#ifdef Q_OS_WIN
    // A program without a console window of its own writes to the console of
    // the command prompt that started it, unless its output goes elsewhere.
    const DWORD handle = stream == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
    if (GetFileType(GetStdHandle(handle)) == FILE_TYPE_UNKNOWN &&
        (AttachConsole(ATTACH_PARENT_PROCESS) || GetLastError() == ERROR_ACCESS_DENIED))
        std::freopen("CONOUT$", "w", stream);
#endif
    std::fputs(text.toLocal8Bit().constData(), stream);
}

CommandLine endingWith(int status)
{
    CommandLine line;
    line.exitStatus = status;
    return line;
}

CommandLine refuse(const QString &why)
{
    const QString name = QCoreApplication::applicationName();
    print(stderr, QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(name, why));
    return endingWith(BadUsage);
}

// Empty when the value is good.
QString readPort(const QString &value, QMap<int, QString> &ports)
{
    const qsizetype equals = value.indexOf(QLatin1Char('='));
    if (equals < 0)
        return QStringLiteral("--port %1: expected N=PATH, e.g. --port 1=/dev/ttyUSB0").arg(value);
    bool number = false;
    const int n = value.left(equals).trimmed().toInt(&number);
    if (!number || n < PortMap::FirstPort || n > PortMap::LastPort)
        return QStringLiteral("--port %1: the port number N must be %2 to %3")
            .arg(value)
            .arg(PortMap::FirstPort)
            .arg(PortMap::LastPort);
    const QString path = value.mid(equals + 1);
    if (path.trimmed().isEmpty())
        return QStringLiteral("--port %1: the path is empty").arg(value);
    if (ports.contains(n))
        return QStringLiteral("--port: Com %1 is given twice").arg(n);
    ports.insert(n, path);
    return QString();
}

} // namespace

CommandLine readCommandLine(int argc, char *argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("Zelvor"));
    QCoreApplication::setApplicationName(QStringLiteral("zelvor-console"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZELVOR_VERSION));

    QCommandLineParser parser;
    // As QApplication reads them: "-platform offscreen", "-style=fusion".
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Configures and calibrates a Zelvor 4-20 mA field instrument over a serial "
                       "line.\nQt's own options (-platform, -style, -reverse and the rest) work "
                       "as in any Qt program."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("\"Com N\" (1 to 8) opens PATH, e.g. --port 1=/dev/ttyUSB0; may be "
                       "given for several ports. Otherwise com1 to com8 in the [ports] group of "
                       "the settings file name the device, then /dev/comN, then /dev/ttyS(N-1)."),
        QStringLiteral("N=PATH"));
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Try the console without hardware: \"Com 1\" leads to a simulated "
                       "instrument, played by the program itself on a pseudo-terminal (settings "
                       "4.00, 20.0, 0.00 and 10.0 at start). Choose Operation > Start Config. and "
                       "watch the readings. Not together with --port 1=PATH."));
    const QCommandLineOption sheet(
        QStringLiteral("sheet"),
        QStringLiteral("Make (or make again) the calibration sheet of a run record, the PDF "
                       "beside it with the same name, then exit; needs no desktop."),
        QStringLiteral("RECORD.csv"));
    parser.addOptions({port, simulate, sheet});
    const auto addQtOptions = [&parser](const char *names, const QString &valueName) {
        for (const QString &name : QString::fromLatin1(names).split(u' ')) {
            QCommandLineOption option(name, QString(), valueName);
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(option);
        }
    };
    addQtOptions(QtOptionsWithValue, QStringLiteral("value"));
    addQtOptions(QtFlags, QString());

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments += QString::fromLocal8Bit(argv[i]);

    if (!parser.parse(arguments))
        return refuse(parser.errorText());
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        // The help text names the program as it was started, which it takes
        // from an application object.
        int count = argc;
        const QCoreApplication reader(count, argv);
        print(stdout, parser.helpText());
        return endingWith(0);
    }
    if (parser.isSet(version)) {
        print(stdout, QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                    QCoreApplication::applicationVersion()));
        return endingWith(0);
    }
    CommandLine line;
    for (const QString &value : parser.values(port)) {
        if (const QString why = readPort(value, line.ports); !why.isEmpty())
            return refuse(why);
    }
    if (parser.isSet(simulate)) {
        if (line.ports.contains(SimulatedPort))
            return refuse(QStringLiteral("--simulate puts its instrument on Com %1, which --port "
                                         "%1=%2 names as well; leave out one of them")
                              .arg(SimulatedPort)
                              .arg(line.ports.value(SimulatedPort)));
        line.simulatedPort = SimulatedPort;
    }
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("unexpected argument '%1'")
                          .arg(parser.positionalArguments().constFirst()));
    if (parser.isSet(sheet)) {
        line.sheetRecord = parser.value(sheet);
        if (line.sheetRecord.isEmpty())
            return refuse(QStringLiteral("--sheet: the record's path is empty"));
        return line;
    }
#ifdef Q_OS_LINUX
    // Without a display Qt would abort with advice to reinstall it.
    if (!parser.isSet(QStringLiteral("platform")) && !parser.isSet(QStringLiteral("display")) &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        print(stderr, QStringLiteral("%1 needs a graphical desktop: start it from a desktop "
                                     "session (neither DISPLAY nor WAYLAND_DISPLAY is set).\n")
                          .arg(QCoreApplication::applicationName()));
        line.exitStatus = NoDesktop;
    }
#endif
    return line;
}
