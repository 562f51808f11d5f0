#include "dialogs/dialog.h"

#include "dialogs/twips_layout.h"

#include <QPushButton>

namespace {

constexpr ControlRecord Controls[] = {
    {"OKButton", ControlKind::PushButton, "OK", 1200, 840, 1215, 375, 0, {}},
    {"Label1",
     ControlKind::Label,
     "Unable to find device.",
     960,
     240,
     2535,
     375,
     1,
     {"Times New Roman", 12}},
};

} // namespace

Dialog::Dialog(QWidget *mainWindow)
    : AuxiliaryWindow(mainWindow, QStringLiteral("Communication Error"),
                      twips::toPixels(3645, 1440))
{
    setObjectName(QStringLiteral("Dialog"));
    buildControls(this, Controls);
    auto *ok = findChild<QPushButton *>(QStringLiteral("OKButton"));
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    setInitialFocus(ok);
}
