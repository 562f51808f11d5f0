#include "dialogs/dialog.h"

#include "dialogs/dialog_layout.h"

#include <QPushButton>

namespace {

using dialogs::DialogControl;
using K = dialogs::DialogControlKind;

// clang-format off
constexpr DialogControl Controls[] = {
    // name      kind           text                      left  top  width height  tab  font
    {"OKButton", K::PushButton, "OK",                     {1200, 840, 1215, 375},  0,   {}},
    {"Label1",   K::Label,      "Unable to find device.", { 960, 240, 2535, 375},  1,   {"Times New Roman", 12}},
};
// clang-format on

} // namespace

Dialog::Dialog(QWidget *mainWindow)
    : AuxiliaryWindow(mainWindow, QStringLiteral("Communication Error"),
                      dialogs::twipsToPixels(3645, 1440))
{
    setObjectName(QStringLiteral("Dialog"));
    dialogs::buildControls(this, Controls);
    connect(okButton(), &QPushButton::clicked, this, &QWidget::close);
}
