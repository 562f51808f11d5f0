#include "console/orvane.h"

#include <QApplication>

// No start-up routine of its own: the program shows its main window.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Orvane window;
    window.show();
    return app.exec();
}
