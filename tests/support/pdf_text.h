// SPDX-License-Identifier: MIT
#pragma once

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
