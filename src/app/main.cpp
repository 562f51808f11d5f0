// SPDX-License-Identifier: MIT
#include "app/command_line.h"
#include "console/orvane.h"
#include "console/port_words.h"
#include "link/port_map.h"
#ifdef ZELVOR_ENDING_SIGNALS
#include "app/ending_signals.h"
#endif
#ifdef ZELVOR_SIMULATED_INSTRUMENT
#include "app/simulated_instrument.h"
#endif

#include <QApplication>
#include <QSettings>

#include <cstdio>

// The command line and the settings file say which device each port opens
// (with --simulate, Com 1 leads to an instrument the program plays itself);
// then the program shows its main window.
int main(int argc, char *argv[])
{
    const CommandLine options = readCommandLine(argc, argv);
    if (options.exitStatus)
        return *options.exitStatus;
    QApplication app(argc, argv);
    // Lets a Wayland desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.zelvor.CalibrationConsole"));
    // QSettings only says where the file is: the map reads it strictly.
    PortMap ports(options.ports, QSettings().fileName());
    if (!ports.settingsProblem().isEmpty())
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(PortWords::settingsWarning(ports.settingsProblem())));
#ifdef ZELVOR_SIMULATED_INSTRUMENT
    const auto simulated =
        options.simulatedPort ? SimulatedInstrument::start(options.simulatedPort, ports) : nullptr;
    if (options.simulatedPort && !simulated)
        return 1;
#endif
    ports.install();
    Orvane window;
#ifdef ZELVOR_ENDING_SIGNALS
    // Logout, kill and service managers end the program as File > Exit does.
    EndingSignals ending;
    QObject::connect(&ending, &EndingSignals::received, &window, &Orvane::endInOrder);
#endif
    window.show();
    return app.exec();
}
