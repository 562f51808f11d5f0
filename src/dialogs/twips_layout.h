#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstddef>

class QWidget;

// Window layouts are drawn in twips (1/1440 inch) and shown at 96 dots per inch.
namespace twips {

inline constexpr int PerPixel = 15;

constexpr int toPixels(int value)
{
    return value >= 0 ? (value + PerPixel / 2) / PerPixel : -((-value + PerPixel / 2) / PerPixel);
}

constexpr QSize toPixels(int width, int height)
{
    return QSize(toPixels(width), toPixels(height));
}

constexpr QRect toPixels(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace twips

enum class ControlKind { PushButton, Label, DropDownList };

// No family means the toolkit's default dialog font.
struct FontRecord
{
    const char *family = nullptr;
    qreal pointSize = 0;
};

// One control of a window as it is drawn: where it sits, what it says, when it
// takes the focus. Rectangles are in twips relative to the client area.
struct ControlRecord
{
    const char *name;
    ControlKind kind;
    const char *text;
    int left;
    int top;
    int width;
    int height;
    int tabOrder;
    FontRecord font;

    QRect pixelRect() const { return twips::toPixels(left, top, width, height); }
};

// The font asked for (record.family set), with fallbacks of the same metrics
// where that family is not installed, then any serif.
QFont fontFor(const FontRecord &record);

// Creates the controls on window. Labels are drawn beneath every other control
// where their boxes overlap; the controls that take the focus are chained in
// tab order.
void buildControls(QWidget *window, const ControlRecord *records, std::size_t count);

template <std::size_t N> void buildControls(QWidget *window, const ControlRecord (&records)[N])
{
    buildControls(window, records, N);
}
