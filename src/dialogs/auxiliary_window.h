// SPDX-License-Identifier: MIT
#pragma once

#include "design/form.h"

#include <QDialog>
#include <QPointer>
#include <QRect>

#include <optional>

class QCloseEvent;
class QKeyEvent;
class QPushButton;

// What the three auxiliary windows share: a dialog of its own (no owner, no
// parent), shown without blocking, fixed in size, that locks the main window
// from the first step of its load until it is closed, whichever way it is
// closed. Escape closes nothing.
class AuxiliaryWindow : public QDialog
{
    Q_OBJECT
public:
    // The window and its controls as designed.
    AuxiliaryWindow(QWidget *mainWindow, const design::FormWindow &window,
                    const design::FormControl *controls, std::size_t count);

    // Loads and shows the window, and returns at once. While it is already on
    // screen it is only brought to the front.
    void showWindow();

protected:
    // After the lock: what the window sets up at each showing.
    virtual void load() {}

    // Each window has one, and opens with the focus on it.
    QPushButton *okButton() const;

    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

    // Where the client area goes at each showing, from the screen's top-left
    // corner; none: centred on the screen.
    std::optional<QPoint> screen_offset;

private:
    QRect screenGeometry() const;
    // The client area centred on the screen, frame included as far as it is known.
    QRect centredOnScreen() const;

    QPointer<QWidget> main_window;
};
