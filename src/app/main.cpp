#include "app/ending_signals.h"
#include "console/orvane.h"

#include <QApplication>

// No start-up routine of its own: the program shows its main window.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // They name the folder of the run records.
    QCoreApplication::setOrganizationName(QStringLiteral("Zelvor"));
    QCoreApplication::setApplicationName(QStringLiteral("zelvor-console"));
    Orvane window;
    // Logout, kill and service managers end the program as File > Exit does.
    EndingSignals ending;
    QObject::connect(&ending, &EndingSignals::received, &window, &Orvane::endInOrder);
    window.show();
    return app.exec();
}
