// SPDX-License-Identifier: MIT
#pragma once

// The windows' control positions and sizes as designed, read from
// golden/geometry.txt, which is written apart from the code's tables.
#include <QFile>
#include <QRect>
#include <QString>
#include <QTextStream>
#include <QVector>

struct GoldenControl
{
    QString window;
    QString name; // "client": the client area
    QRect rect;
};

inline QVector<GoldenControl> goldenGeometry()
{
    QVector<GoldenControl> controls;
    QFile file(QStringLiteral(ZELVOR_GOLDEN_DIR "/geometry.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return controls;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList f = in.readLine().simplified().split(QLatin1Char(' '));
        if (f.size() != 6 || f.first().startsWith(QLatin1Char('#')))
            continue;
        controls.append(
            {f[0], f[1], QRect(f[2].toInt(), f[3].toInt(), f[4].toInt(), f[5].toInt())});
    }
    return controls;
}

inline QRect goldenRect(const QString &window, const QString &name)
{
    for (const GoldenControl &c : goldenGeometry()) {
        if (c.window == window && c.name == name)
            return c.rect;
    }
    return {};
}
