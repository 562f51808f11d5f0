// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <optional>

// Why a test that reads PDFs back cannot run here; empty when it can.
QString pdfToolsMissing();
// The text of a PDF as a user's tools give it: pdftotext -layout, so that a
// table's row stays on one line; unset, with a warning, when it fails.
std::optional<QString> pdfText(const QString &path);
// The "Page size:" and "Pages:" lines of pdfinfo.
QStringList pdfInfo(const QString &path);

// Each word of a PDF where it is drawn, in points from its page's top left.
struct PdfWord
{
    QString text;
    QRectF box;
};
QList<PdfWord> pdfWords(const QString &path);
