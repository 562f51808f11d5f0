#include "dialogs/frm_about.h"

#include "dialogs/dialog_layout.h"

#include <QPushButton>

namespace {

// The boxes overlap by design: the name, the two address lines and the web
// address read from top to bottom, the button sits over the end of the name's
// box, and the web address's box runs past the bottom edge.
using dialogs::DialogControl;
using K = dialogs::DialogControlKind;

// clang-format off
constexpr DialogControl Controls[] = {
    // name      kind           text                            left  top  width height  tab  font
    {"OKButton", K::PushButton, "OK",                           {3120, 240, 1215, 375},  0,   {}},
    {"Label1",   K::Label,      "Zelvor Electronics Pvt. Ltd.", { 120, 120, 3255, 375},  1,   {"Times New Roman", 12}},
    {"Label2",   K::Label,      "www.zelvor.example",           { 120, 840, 3375, 735},  2,   {"Times New Roman", 11.25}},
    {"Label3",   K::Label,      "Block B-14, Orin House",       { 120, 360, 2655, 375},  3,   {"Times New Roman", 11.25}},
    {"Label4",   K::Label,      "Tarn, Veridan 411 207",        { 120, 600, 2175, 255},  4,   {"Times New Roman", 11.25}},
};
// clang-format on

} // namespace

FrmAbout::FrmAbout(QWidget *mainWindow)
    : AuxiliaryWindow(mainWindow, QStringLiteral("About Zelvor"),
                      dialogs::twipsToPixels(4425, 1395))
{
    setObjectName(QStringLiteral("FrmAbout"));
    dialogs::buildControls(this, Controls);
    connect(okButton(), &QPushButton::clicked, this, &QWidget::close);
}
