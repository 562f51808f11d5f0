// SPDX-License-Identifier: MIT
// The start-up benchmark's reference: a bare Qt Widgets main window with one
// button, started the same way as the console.

#include <QApplication>
#include <QMainWindow>
#include <QPushButton>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QPushButton(QStringLiteral("Button")));
    window.show();
    return app.exec();
}
