#include "dialogs/frm_about.h"

#include "dialogs/twips_layout.h"

#include <QPushButton>

namespace {

// The boxes overlap by design: the name, the two address lines and the web
// address read from top to bottom, the button sits over the end of the name's
// box, and the web address's box runs past the bottom edge.
constexpr ControlRecord Controls[] = {
    {"OKButton", ControlKind::PushButton, "OK", 3120, 240, 1215, 375, 0, {}},
    {"Label1",
     ControlKind::Label,
     "Zelvor Electronics Pvt. Ltd.",
     120,
     120,
     3255,
     375,
     1,
     {"Times New Roman", 12}},
    {"Label2",
     ControlKind::Label,
     "www.zelvor.example",
     120,
     840,
     3375,
     735,
     2,
     {"Times New Roman", 11.25}},
    {"Label3",
     ControlKind::Label,
     "14 Kestrel Block, Orin House",
     120,
     360,
     2655,
     375,
     3,
     {"Times New Roman", 11.25}},
    {"Label4",
     ControlKind::Label,
     "Tarnwell, Veridan 411 207",
     120,
     600,
     2175,
     255,
     4,
     {"Times New Roman", 11.25}},
};

} // namespace

FrmAbout::FrmAbout(QWidget *mainWindow)
    : AuxiliaryWindow(mainWindow, QStringLiteral("About Zelvor"), twips::toPixels(4425, 1395))
{
    setObjectName(QStringLiteral("FrmAbout"));
    buildControls(this, Controls);
    auto *ok = findChild<QPushButton *>(QStringLiteral("OKButton"));
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    setInitialFocus(ok);
}
