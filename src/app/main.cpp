#include "app/command_line.h"
#include "app/ending_signals.h"
#include "console/orvane.h"
#include "link/port_map.h"

#include <QApplication>
#include <QSettings>

// The command line and the settings file say which device each port opens;
// then the program shows its main window.
int main(int argc, char *argv[])
{
    const CommandLine options = readCommandLine(argc, argv);
    if (options.exitStatus)
        return *options.exitStatus;
    QApplication app(argc, argv);
    PortMap(options.ports, QSettings()).install();
    Orvane window;
    // Logout, kill and service managers end the program as File > Exit does.
    EndingSignals ending;
    QObject::connect(&ending, &EndingSignals::received, &window, &Orvane::endInOrder);
    window.show();
    return app.exec();
}
