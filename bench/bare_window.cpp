// SPDX-License-Identifier: MIT
// The start-up benchmark's reference: a bare Qt Widgets main window with one
// button, started the same way as the console. With --as-designed it also
// carries what the design itself costs: its fonts, a menu bar (whose style
// icon makes Qt load every image plugin) and the serial port library.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QSerialPort>
#include <QVBoxLayout>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    auto *button = new QPushButton(QStringLiteral("Button"));
    if (app.arguments().contains(QStringLiteral("--as-designed"))) {
        QSerialPort unopened;
        auto *page = new QWidget;
        auto *column = new QVBoxLayout(page);
        button->setFont(QFont(QStringLiteral("Liberation Sans"), 8));
        QFont reading(QStringLiteral("Liberation Sans"), 12);
        reading.setBold(true);
        auto *box = new QLabel(QStringLiteral("4.00"));
        box->setFont(reading);
        auto *label = new QLabel(QStringLiteral("Zero"));
        label->setFont(QFont(QStringLiteral("Liberation Serif"), 10));
        column->addWidget(button);
        column->addWidget(box);
        column->addWidget(label);
        window.setCentralWidget(page);
        window.menuBar()->addMenu(QStringLiteral("&File"));
    } else {
        window.setCentralWidget(button);
    }
    window.show();
    return app.exec();
}
