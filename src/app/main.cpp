// SPDX-License-Identifier: MIT
#include "console/orvane.h"
#include "console/port_words.h"
#include "link/port_map.h"
#include "records/run_sheet.h"
#include "startup/command_line.h"
#ifdef ZELVOR_ENDING_SIGNALS
#include "ending/ending_signals.h"
#endif
#include "startup/process_guards.h"
#include "startup/simulated_instrument.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

// --sheet: the sheet of one record, drawn offscreen; 2 for a file that is not
// a record of this console, as for a bad command line.
int makeSheet(int argc, char *argv[], const QString &recordPath)
{
    const QString name = QCoreApplication::applicationName();
    RecordedRun run;
    QString why;
    if (!runsheet::read(recordPath, run, why)) {
        std::fputs(qPrintable(QStringLiteral("%1: %2\n").arg(name, why)), stderr);
        return 2;
    }
#ifndef Q_OS_WIN
    // Windows always has its desktop, and draws with the system's fonts
    // there; elsewhere there may be no display at all.
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    const QGuiApplication app(argc, argv);
    if (!runsheet::write(run, recordPath, why)) {
        std::fputs(qPrintable(QStringLiteral("%1: %2\n").arg(name, why)), stderr);
        return 1;
    }
    const QString sheet = QFileInfo(runsheet::sheetPathFor(recordPath)).absoluteFilePath();
    std::fputs(qPrintable(QStringLiteral("%1: calibration sheet written to %2\n").arg(name, sheet)),
               stdout);
    return 0;
}

} // namespace

// The command line and the settings file say which device each port opens
// (with --simulate, Com 1 leads to an instrument the program plays itself);
// then the program shows its main window.
int main(int argc, char *argv[])
{
    const CommandLine options = readCommandLine(argc, argv);
    if (options.exitStatus)
        return *options.exitStatus;
    if (!options.sheetRecord.isEmpty())
        return makeSheet(argc, argv, options.sheetRecord);
    // A display or platform plugin that is not there is one line, not an abort.
    guardStartUp(argc, argv);
    QApplication app(argc, argv);
    // However the process ends from now on, a feed is stopped and the record ended.
    startUpDone();
    // Lets a Wayland desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.zelvor.CalibrationConsole"));
    PortMap ports(options.ports, PortMap::userSettingsFile());
    for (const SettingsFileProblem &problem : ports.settingsProblems())
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(PortWords::settingsWarning(problem)));
    const auto simulated =
        options.simulatedPort ? SimulatedInstrument::start(options.simulatedPort, ports) : nullptr;
    if (options.simulatedPort && !simulated)
        return 1;
    Orvane window;
    window.setPortMap(ports);
    window.recordWhoRuns();
#ifdef ZELVOR_ENDING_SIGNALS
    // Logout, kill and service managers end the program as File > Exit does.
    EndingSignals ending;
    QObject::connect(&ending, &EndingSignals::received, &window, &Orvane::endInOrder);
#endif
#ifdef Q_OS_WIN
    // Log off and shut down: Windows asks first, and ends the process soon
    // after it has been answered, so the run ends in order when asked.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, &Orvane::endSession);
#endif
    window.show();
    return app.exec();
}
