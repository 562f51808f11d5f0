// SPDX-License-Identifier: MIT
#include "console/orvane.h"
#include "link/port_map.h"
#include "startup/command_line.h"
#ifdef ZELVOR_ENDING_SIGNALS
#include "ending/ending_signals.h"
#endif
#ifdef ZELVOR_SIMULATED_INSTRUMENT
#include "startup/simulated_instrument.h"
#endif

#include <QApplication>
#include <QSettings>

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
    PortMap ports(options.ports, QSettings());
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
