// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

using CsvRows = QList<QStringList>;

// The rows of a CSV file as a real CSV reader sees them (Python's csv module,
// strict: it refuses stray quotes); empty, with a warning, when it cannot.
CsvRows readCsv(const QString &path);
