// SPDX-License-Identifier: MIT
#include "dialogs/information_window.h"

#include <QPushButton>

namespace {

using K = design::ControlKind;
using design::ownFont;

struct InformationDesign
{
    design::FormWindow window;
    const design::FormControl *controls;
    std::size_t controlCount;
};

// clang-format off
constexpr design::FormControl CommunicationErrorControls[] = {
    // name      kind              text                      left  top  width height  tab  font
    {"OKButton", K::CommandButton, "OK",                     {1200, 840, 1215, 375},  0},
    {"Label1",   K::Label,         "Unable to find device.", { 960, 240, 2535, 375},  1,   ownFont("Times New Roman", 12)},
};

// The boxes overlap by design: the name, the two address lines and the web
// address read from top to bottom, the button sits over the end of the name's
// box, and the web address's box runs past the bottom edge.
constexpr design::FormControl AboutControls[] = {
    // name      kind              text                            left  top  width height  tab  font
    {"OKButton", K::CommandButton, "OK",                           {3120, 240, 1215, 375},  0},
    {"Label1",   K::Label,         "Zelvor Electronics Pvt. Ltd.", { 120, 120, 3255, 375},  1,   ownFont("Times New Roman", 12)},
    {"Label2",   K::Label,         "www.zelvor.example",           { 120, 840, 3375, 735},  2,   ownFont("Times New Roman", 11.25)},
    {"Label3",   K::Label,         "Block B-14, Orin House",       { 120, 360, 2655, 375},  3,   ownFont("Times New Roman", 11.25)},
    {"Label4",   K::Label,         "Tarn, Veridan 411 207",        { 120, 600, 2175, 255},  4,   ownFont("Times New Roman", 11.25)},
};

constexpr InformationDesign CommunicationError = {
    {"Dialog", "Communication Error", 3645, 1440},
    CommunicationErrorControls, std::size(CommunicationErrorControls)};
constexpr InformationDesign About = {
    {"FrmAbout", "About Zelvor", 4425, 1395},
    AboutControls, std::size(AboutControls)};
// clang-format on

const InformationDesign &designOf(InformationWindow::Kind kind)
{
    return kind == InformationWindow::Kind::About ? About : CommunicationError;
}

} // namespace

InformationWindow::InformationWindow(Kind kind, QWidget *mainWindow)
    : AuxiliaryWindow(mainWindow, designOf(kind).window, designOf(kind).controls,
                      designOf(kind).controlCount)
{
    connect(okButton(), &QPushButton::clicked, this, &QWidget::close);
}
