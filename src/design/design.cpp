// SPDX-License-Identifier: MIT
#include "design/design.h"

#include <cmath>

namespace design {

QRect twipsToPixels(const TwipsRect &rect)
{
    return QRect(twipsToPixels(rect.left), twipsToPixels(rect.top), twipsToPixels(rect.width),
                 twipsToPixels(rect.height));
}

QPalette::ColorRole paletteRole(SystemColor color)
{
    switch (color) {
    case SystemColor::Window:
        return QPalette::Base;
    case SystemColor::ActiveBorder:
        return QPalette::Button;
    case SystemColor::InactiveBorder:
        return QPalette::Window;
    case SystemColor::Default:
        break;
    }
    return QPalette::NoRole;
}

QColor systemColor(SystemColor color, const QPalette &palette)
{
    const QPalette::ColorRole role = paletteRole(color);
    return role == QPalette::NoRole ? QColor() : palette.color(QPalette::Active, role);
}

namespace {

double relativeLuminance(const QColor &color)
{
    auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = color.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) +
           0.0722 * channel(rgb.blueF());
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

QColor legibleTextColor(const QColor &designed, const QColor &background, const QColor &fallback)
{
    if (designed.isValid() && contrastRatio(designed, background) >= LegibleContrast)
        return designed;
    return fallback;
}

QStringList msSansSerifFamilies()
{
    return {
        QStringLiteral("MS Sans Serif"),   QStringLiteral("Microsoft Sans Serif"),
        QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
        QStringLiteral("Arial"),           QStringLiteral("Nimbus Sans"),
        QStringLiteral("Helvetica"),       QStringLiteral("DejaVu Sans Condensed"),
    };
}

namespace {

// Upright and not underlined, whatever the font of the widget it is set on.
QFont plainFont(const QStringList &families, QFont::StyleHint hint, qreal pointSize,
                QFont::Weight weight)
{
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setPointSizeF(pointSize);
    font.setWeight(weight);
    font.setItalic(false);
    font.setUnderline(false);
    return font;
}

} // namespace

QFont fontFor(FontRole role)
{
    return plainFont(msSansSerifFamilies(), QFont::SansSerif,
                     role == FontRole::Dialog ? DialogFontPointSize : BoxFontPointSize,
                     role == FontRole::ReadingBox ? QFont::Bold : QFont::Normal);
}

QFont namedFont(const char *family, qreal pointSize)
{
    const QString name = QString::fromLatin1(family);
    QStringList families{name};
    // Same advance widths as Times New Roman, so the text fits its box as designed.
    if (name == QLatin1String("Times New Roman"))
        families << QStringLiteral("Liberation Serif") << QStringLiteral("Tinos")
                 << QStringLiteral("Nimbus Roman");
    return plainFont(families, QFont::Serif, pointSize, QFont::Normal);
}

} // namespace design
