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

QFont fontFor(FontRole role)
{
    QFont font;
    font.setFamilies(msSansSerifFamilies());
    font.setStyleHint(QFont::SansSerif);
    font.setItalic(false);
    font.setUnderline(false);
    switch (role) {
    case FontRole::Dialog:
        font.setPointSize(DialogFontPointSize);
        font.setWeight(QFont::Normal);
        break;
    case FontRole::ReadingBox:
        font.setPointSize(BoxFontPointSize);
        font.setWeight(QFont::Bold);
        break;
    case FontRole::EntryBox:
        font.setPointSize(BoxFontPointSize);
        font.setWeight(QFont::Normal);
        break;
    }
    return font;
}

QFont namedFont(const char *family, qreal pointSize)
{
    const QString name = QString::fromLatin1(family);
    QStringList families{name};
    // Same advance widths as Times New Roman, so the text fits its box as designed.
    if (name == QLatin1String("Times New Roman"))
        families << QStringLiteral("Liberation Serif") << QStringLiteral("Tinos")
                 << QStringLiteral("Nimbus Roman");
    QFont result;
    result.setFamilies(families);
    result.setStyleHint(QFont::Serif);
    result.setPointSizeF(pointSize);
    result.setWeight(QFont::Normal);
    result.setItalic(false);
    result.setUnderline(false);
    return result;
}

} // namespace design
