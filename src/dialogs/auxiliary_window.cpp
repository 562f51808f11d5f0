// SPDX-License-Identifier: MIT
#include "dialogs/auxiliary_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

AuxiliaryWindow::AuxiliaryWindow(QWidget *mainWindow, const design::FormWindow &window,
                                 const design::FormControl *controls, std::size_t count)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      main_window(mainWindow)
{
    setObjectName(QString::fromLatin1(window.objectName));
    setWindowTitle(QString::fromLatin1(window.title));
    setFixedSize(design::clientSize(window));
    setFont(design::fontFor(design::FontRole::Dialog));
    // Closing one of these never ends the program: the main window stays.
    setAttribute(Qt::WA_QuitOnClose, false);
    design::buildForm(this, controls, count);
}

void AuxiliaryWindow::showWindow()
{
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    // The main window as a whole: its controls keep their own enabled flags.
    if (main_window)
        main_window->setEnabled(false);
    load();
    if (QPushButton *ok = okButton())
        ok->setFocus();
    setGeometry(screen_offset ? QRect(screenGeometry().topLeft() + *screen_offset, size())
                              : centredOnScreen());
    show();
    activateWindow();
}

QPushButton *AuxiliaryWindow::okButton() const
{
    return findChild<QPushButton *>(QStringLiteral("OKButton"));
}

QRect AuxiliaryWindow::screenGeometry() const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 0, 0);
}

static QMargins frameMargins(const QWidget *window)
{
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return QMargins(client.left() - frame.left(), client.top() - frame.top(),
                    frame.right() - client.right(), frame.bottom() - client.bottom());
}

QRect AuxiliaryWindow::centredOnScreen() const
{
    // The frame is known once the window has been on screen; before that the
    // main window's, drawn by the same window manager, is the best guess.
    QMargins frame = frameMargins(this);
    if (frame.isNull() && main_window)
        frame = frameMargins(main_window);
    QRect frameRect(QPoint(0, 0), size().grownBy(frame));
    frameRect.moveCenter(screenGeometry().center());
    return QRect(frameRect.topLeft() + QPoint(frame.left(), frame.top()), size());
}

void AuxiliaryWindow::closeEvent(QCloseEvent *event)
{
    // Every way of closing ends here (buttons, close box, Alt+F4): the window
    // goes first, then the main window takes input again.
    event->accept();
    hide();
    if (main_window)
        main_window->setEnabled(true);
}

void AuxiliaryWindow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        // A dialog would reject() here, past closeEvent and so past the
        // unlock; the design has no cancel key at all.
        event->ignore();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter acts on the focused button and on nothing else.
        if (auto *button = qobject_cast<QPushButton *>(focusWidget());
            button && button->isEnabled())
            button->click();
        else
            event->ignore();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
