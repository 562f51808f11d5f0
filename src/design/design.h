// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>
#include <QStringList>

// The primitives that every window of the console is drawn with: the twips of
// the design, its system colours and its fonts.
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
namespace design {

inline constexpr int TwipsPerPixel = 15;

// Rounds to the nearest logical pixel; every designed value is a multiple of 15.
constexpr int twipsToPixels(int twips)
{
    return (twips + (twips < 0 ? -TwipsPerPixel : TwipsPerPixel) / 2) / TwipsPerPixel;
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

// A family given by name (the Times New Roman labels), with faces of the same
// widths after it where that one is not installed, then any serif.
QFont namedFont(const char *family, qreal pointSize);

} // namespace design
