// SPDX-License-Identifier: MIT
#pragma once

#include "design/design.h"

#include <QFont>
#include <QRect>
#include <QSize>

#include <cstddef>

class QWidget;

// The auxiliary windows' designs as data, in twips like the main window's and
// converted through the same design::twipsToPixels().
namespace dialogs {

enum class DialogControlKind { PushButton, Label, DropDownList };

// No family: the default dialog font, the one the main window uses for its
// buttons and labels.
struct DialogFont
{
    const char *family = nullptr;
    qreal pointSize = 0;
};

struct DialogControl
{
    const char *name; // Qt object name, as designed
    DialogControlKind kind;
    const char *text;       // exact, blanks included
    design::TwipsRect rect; // inside the client area
    int tabOrder;           // labels hold places but take no focus
    DialogFont font;
};

inline QSize twipsToPixels(int width, int height)
{
    return QSize(design::twipsToPixels(width), design::twipsToPixels(height));
}

// The default dialog font, set on each auxiliary window as a whole.
QFont dialogFont();

// Creates the controls on window. Labels are drawn beneath every other control
// where their boxes overlap; the controls that take the focus are chained in
// tab order.
void buildControls(QWidget *window, const DialogControl *controls, std::size_t count);

template <std::size_t N> void buildControls(QWidget *window, const DialogControl (&controls)[N])
{
    buildControls(window, controls, N);
}

} // namespace dialogs
