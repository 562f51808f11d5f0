// SPDX-License-Identifier: MIT
#pragma once

#include "design/design.h"

#include <QSize>

#include <cstddef>

class QWidget;

// Every window of the console is built from a table of these rows: the main
// window and the three auxiliary windows alike. Sizes are twips, colours and
// fonts the design's own.
namespace design {

enum class ControlKind {
    Label,
    TextBox,
    CommandButton,
    DropDownList,
};

// What a control is drawn in: the window's font (none of its own), one of the
// design's "MS Sans Serif" roles, or a family by name.
struct ControlFont
{
    enum Source { Window, Role, Named };
    Source source = Window;
    FontRole role = FontRole::Dialog;
    const char *family = nullptr;
    qreal pointSize = 0;
};

constexpr ControlFont ownFont(FontRole role)
{
    return {ControlFont::Role, role, nullptr, 0};
}

constexpr ControlFont ownFont(const char *family, qreal pointSize)
{
    return {ControlFont::Named, FontRole::Dialog, family, pointSize};
}

struct FormControl
{
    const char *name; // Qt object name, as designed
    ControlKind kind;
    const char *text; // exact, blanks included; empty for text boxes and lists
    TwipsRect rect;   // inside the client area
    int tabOrder;     // 0 first; labels hold places but take no focus
    ControlFont font = {};
    // A label's background; a text box's background and text colour.
    SystemColor background = SystemColor::Default;
    SystemColor foreground = SystemColor::Default;
    int maxLength = 0;                    // characters; 0 for no limit
    const char *accessibleName = nullptr; // nullptr: the caption
    int index = -1; // element index of a one-element control array, -1 if none
};

struct FormWindow
{
    const char *objectName;
    const char *title;
    int clientWidth; // twips
    int clientHeight;
    SystemColor background = SystemColor::Default;
};

QSize clientSize(const FormWindow &window);

// The property that carries a control array's element index.
inline constexpr const char *ControlArrayIndex = "controlArrayIndex";

// Creates the controls on client. Labels are drawn beneath every other control
// where their boxes overlap; the controls that take the focus are chained in
// tab order.
void buildForm(QWidget *client, const FormControl *controls, std::size_t count);

// The text boxes' designed colours, again after every palette change. A
// designed text colour that is not legible on its background gives way to the
// palette's normal text colour.
void applyColors(QWidget *client, const FormControl *controls, std::size_t count);

} // namespace design
