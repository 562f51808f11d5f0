// SPDX-License-Identifier: MIT
#include "app/command_line.h"
#include "console/orvane.h"
#include "link/port_map.h"
#include "records/run_sheet.h"
#ifdef ZELVOR_ENDING_SIGNALS
#include "app/ending_signals.h"
#endif
#ifdef ZELVOR_SIMULATED_INSTRUMENT
#include "app/simulated_instrument.h"
#endif

#include <QApplication>
#include <QFileInfo>
#include <QSettings>

#include <cstdio>

namespace {

// --sheet: the sheet of one record, drawn offscreen; 2 for a file that is not
// a record of this console, as for a bad command line.
int makeSheet(int argc, char *argv[], const QString &recordPath)
{
    const QString name = QCoreApplication::applicationName();
    auto run = runsheet::read(recordPath);
    runsheet::Result sheet;
    if (const runsheet::Result *refused = std::get_if<runsheet::Result>(&run)) {
        sheet = *refused;
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        const QGuiApplication app(argc, argv);
        sheet = runsheet::write(std::get<RecordedRun>(run), recordPath);
    }
    if (sheet.status == runsheet::Result::Written) {
        std::fputs(qPrintable(QStringLiteral("%1: calibration sheet written to %2\n")
                                  .arg(name, QFileInfo(sheet.sheetPath).absoluteFilePath())),
                   stdout);
        return 0;
    }
    std::fputs(qPrintable(QStringLiteral("%1: %2\n").arg(name, sheet.message)), stderr);
    return sheet.status == runsheet::Result::NotARecord ? 2 : 1;
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
    QApplication app(argc, argv);
    // Lets a Wayland desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.zelvor.CalibrationConsole"));
    PortMap ports(options.ports, QSettings());
#ifdef ZELVOR_SIMULATED_INSTRUMENT
    const auto simulated =
        options.simulatedPort ? SimulatedInstrument::start(options.simulatedPort, ports) : nullptr;
    if (options.simulatedPort && !simulated)
        return 1;
#endif
    ports.install();
    Orvane window;
    window.recordWhoRuns();
#ifdef ZELVOR_ENDING_SIGNALS
    // Logout, kill and service managers end the program as File > Exit does.
    EndingSignals ending;
    QObject::connect(&ending, &EndingSignals::received, &window, &Orvane::endInOrder);
#endif
    window.show();
    return app.exec();
}
