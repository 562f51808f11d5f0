#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>
#include <QStringList>
#include <QStringView>

#include <array>

// The fixed design of the main window Orvane, declared as
// data: the window, one row per control, one row per menu item. Orvane builds
// itself from these tables; the tests check the built window against them.
//
// Units. Every position and size is in twips, 1/1440 inch, as designed; the
// window converts them once, through twipsToPixels(), at 15 twips per logical
// pixel (96 dots per inch). Qt scales logical pixels to the screen, so the
// window keeps its designed proportions on a high-density screen too.
//
// Colours. The design names Windows system colours by index. Qt has no border
// colours in its palette, so each index is mapped onto a palette role of the
// current style (see paletteRole()):
//
//   index  Windows name           meaning in the design                Qt role
//   5      COLOR_WINDOW           background of text boxes             QPalette::Base
//   10     COLOR_ACTIVEBORDER     background of the four reading boxes QPalette::Button
//   11     COLOR_INACTIVEBORDER   background of the window and labels  QPalette::Window
//
// In the Windows schemes the design was drawn under (Windows Standard, and
// XP's Luna) both border colours equal the 3D face colour (212, 208, 200), so
// the window, its labels and the reading boxes were all face-coloured, and
// the entry boxes white. Window and Button are the face colours of a Qt
// style, Base the colour of editable text: the same picture under Fusion or a
// desktop theme, dark ones included.
//
// Fonts. "MS Sans Serif" is a Windows bitmap font that Linux does not have.
// fontFor() asks for it by name first and then for fonts of the same
// Helvetica/Arial widths (Microsoft Sans Serif, Liberation Sans, Arimo,
// Arial, Nimbus Sans, Helvetica), then DejaVu Sans Condensed, and lastly any
// sans-serif font (DejaVu Sans on a bare Debian): the captions were sized for
// those widths, and a wider face would cut "Feed Zero For Calibration" and
// the note off at their right edges. The "toolkit's default dialog font" of
// buttons and labels is that family at 8 pt, Windows' own dialog font
// (MS Sans Serif 8 pt); Qt's own default on Linux (DejaVu Sans 9 pt) does
// not fit the designed button widths.
namespace layout {

inline constexpr int TwipsPerPixel = 15;

// Rounds to the nearest logical pixel (every designed value is a multiple of 15).
constexpr int twipsToPixels(int twips)
{
    return twips >= 0 ? (twips + TwipsPerPixel / 2) / TwipsPerPixel
                      : -((-twips + TwipsPerPixel / 2) / TwipsPerPixel);
}

struct TwipsRect
{
    int left;
    int top;
    int width;
    int height;
};

QRect twipsToPixels(const TwipsRect &rect);

// Windows system colour indices used by the design.
enum class SystemColor {
    Default = -1, // the control kind's own colour
    Window = 5,
    ActiveBorder = 10,
    InactiveBorder = 11,
};

QPalette::ColorRole paletteRole(SystemColor color);
QColor systemColor(SystemColor color, const QPalette &palette);

// WCAG 2 contrast ratio of two colours, 1 to 21.
double contrastRatio(const QColor &a, const QColor &b);

// At least what WCAG 2 level AA asks of body text.
inline constexpr double LegibleContrast = 4.5;

// The designed text colour where it is legible on the background, otherwise
// the fallback (the palette's normal text colour).
QColor legibleTextColor(const QColor &designed, const QColor &background, const QColor &fallback);

enum class Kind {
    Label,
    TextBox,
    CommandButton,
};

enum class FontRole {
    Dialog,     // no font of its own: the default dialog font, 8 pt regular
    ReadingBox, // "MS Sans Serif", 12 pt, bold (700)
    EntryBox,   // "MS Sans Serif", 12 pt, regular (400)
};

inline constexpr int DialogFontPointSize = 8;
inline constexpr int BoxFontPointSize = 12;

// The fallback chain for "MS Sans Serif", first choice first.
QStringList msSansSerifFamilies();
QFont fontFor(FontRole role);

struct ControlSpec
{
    const char *name; // Qt object name, as designed
    Kind kind;
    int index;           // element index of a one-element control array, -1 if none
    const char *caption; // exact, blanks included; empty for text boxes
    TwipsRect rect;      // inside the client area
    int tabOrder;        // 0 first; labels hold places but take no focus
    FontRole font;
    SystemColor background;
    SystemColor foreground;
    int maxLength;              // characters; 0 for no limit
    const char *accessibleName; // what a screen reader says; nullptr: the caption
};

struct WindowSpec
{
    const char *title;
    int clientWidth;  // twips
    int clientHeight; // twips
    SystemColor background;
};

inline constexpr WindowSpec MainWindow = {
    "Zelvor Electronics Pvt. Ltd.",
    9675,
    5850,
    SystemColor::InactiveBorder,
};

using K = Kind;
using F = FontRole;
using S = SystemColor;

// The control table, row by row (heading, readings, reading captions,
// zero, span, low range, high range, note). The serial control MSComm1 has no
// presence on screen and is not a widget here.
// clang-format off
inline constexpr std::array<ControlSpec, 21> MainWindowControls = {{
    // name                  kind              idx caption                       left   top  width height tab font          background            foreground   max  accessible name
    {"Label2",               K::Label,         -1, "Current Settings",          {1200,  120, 1455, 255}, 13, F::Dialog,     S::InactiveBorder,    S::Default,  0, nullptr},
    {"Zero_real",            K::TextBox,       -1, "",                          {1200,  600, 1215, 615}, 12, F::ReadingBox, S::ActiveBorder,      S::Window,   0, "Zero"},
    {"Span_real",            K::TextBox,       -1, "",                          {2760,  600, 1215, 615}, 11, F::ReadingBox, S::ActiveBorder,      S::Default,  0, "Span"},
    {"Low_range_real_txt",   K::TextBox,       -1, "",                          {5520,  600, 1215, 615}, 10, F::ReadingBox, S::ActiveBorder,      S::Default,  0, "Low Range"},
    {"High_range_real_txt",  K::TextBox,       -1, "",                          {7080,  600, 1215, 615},  9, F::ReadingBox, S::ActiveBorder,      S::Default,  0, "High Range"},
    {"Label3",               K::Label,         -1, "  Zero",                    {1560, 1320,  615, 255}, 14, F::Dialog,     S::InactiveBorder,    S::Default,  0, nullptr},
    {"Label4",               K::Label,         -1, "  Span",                    {3000, 1320,  615, 255}, 15, F::Dialog,     S::InactiveBorder,    S::Default,  0, nullptr},
    {"Label6",               K::Label,         -1, "  Low Range",               {5640, 1320, 1095, 255}, 17, F::Dialog,     S::InactiveBorder,    S::Default,  0, nullptr},
    {"Label5",               K::Label,         -1, "  High Range",              {7200, 1320, 1095, 255}, 16, F::Dialog,     S::InactiveBorder,    S::Default,  0, nullptr},
    {"Feed_Zero",            K::CommandButton,  0, "Feed Zero For Calibration", {2280, 1920, 2175, 615},  0, F::Dialog,     S::Default,           S::Default,  0, nullptr},
    {"Stop_Feed_zero",       K::CommandButton,  1, "Stop Feed Zero",            {5040, 1920, 1815, 615},  1, F::Dialog,     S::Default,           S::Default,  0, nullptr},
    {"Save_cmd",             K::CommandButton, -1, "Save ",                     {7440, 1920, 1335, 495}, 20, F::Dialog,     S::Default,           S::Default,  0, nullptr},
    {"Feed_span",            K::CommandButton,  2, "Feed span For Calibration", {2280, 2760, 2175, 615},  2, F::Dialog,     S::Default,           S::Default,  0, nullptr},
    {"Stop_Feed_span",       K::CommandButton,  3, "Stop Feed Span",            {5040, 2760, 1815, 615},  3, F::Dialog,     S::Default,           S::Default,  0, nullptr},
    {"Low_range_cmd",        K::CommandButton,  0, "Feed Low Range",            {2640, 3600, 1815, 615},  8, F::Dialog,     S::Default,           S::Default,  0, nullptr},
    {"Low_range_text",       K::TextBox,       -1, "",                          {5040, 3600, 1215, 615},  7, F::EntryBox,   S::Default,           S::Default,  4, "New low range"},
    {"Enter_L",              K::CommandButton, -1, "Enter",                     {6840, 3600, 1095, 615}, 19, F::Dialog,     S::Default,           S::Default,  0, nullptr},
    {"High_range_cmd",       K::CommandButton,  1, "Feed High Range",           {2640, 4440, 1815, 615},  6, F::Dialog,     S::Default,           S::Default,  0, nullptr},
    {"High_range_text",      K::TextBox,       -1, "",                          {5040, 4440, 1215, 615},  5, F::EntryBox,   S::Default,           S::Default,  4, "New high range"},
    {"Enter_H",              K::CommandButton, -1, "Enter",                     {6840, 4440, 1095, 615}, 18, F::Dialog,     S::Default,           S::Default,  0, nullptr},
    {"Label1",               K::Label,         -1, "Note: Please Confirm the configuration switch.",
                                                                                { 240, 5400, 3615, 255},  4, F::Dialog,     S::InactiveBorder,    S::Default,  0, nullptr},
}};
// clang-format on

// The row of the control with this object name, or nullptr.
const ControlSpec *findControl(QStringView name);

// The menu bar, left to right, one row per item; "&" marks the access key.
// No item has a shortcut of its own, none is a separator or a submenu.
struct MenuItemSpec
{
    const char *menuName;
    const char *menuCaption;
    const char *itemName;
    const char *itemCaption;
};

inline constexpr std::array<MenuItemSpec, 5> MainWindowMenu = {{
    {"mnuFile", "&File", "mnuFile_Exit", "E&xit"},
    {"mnuSetting", "&Setting", "mnuSetting_com_setting", "&Communication Settings"},
    {"mnuOperation", "&Operation", "mnuOperation_start_capture", "&Start Config."},
    {"mnuOperation", "&Operation", "mnuOperation_stop_capture", "S&top  Config."},
    {"Help", "&Help", "About_Menu", "&About"},
}};

} // namespace layout
