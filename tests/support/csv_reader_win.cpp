// SPDX-License-Identifier: MIT
// Windows has no Python beside the tests: a strict reader of the CSV dialect
// every common reader agrees on, refusing what Python's strict mode refuses.
#include "csv_reader.h"

#include <QDebug>
#include <QFile>

CsvRows readCsv(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << path << file.errorString();
        return {};
    }
    const QString text = QString::fromUtf8(file.readAll());
    CsvRows rows;
    QStringList row;
    QString field;
    bool quoted = false, wasQuoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c != u'"')
                field += c;
            else if (i + 1 < text.size() && text.at(i + 1) == u'"')
                field += text.at(++i);
            else
                quoted = false;
        } else if (c == u'"' && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == u',' || c == u'\n' || c == u'\r') {
            if (c == u'\r' && (i + 1 >= text.size() || text.at(i + 1) != u'\n')) {
                qWarning() << path << "a lone carriage return at" << i;
                return {};
            }
            if (c == u'\r')
                continue;
            const bool blankLine = c == u'\n' && row.isEmpty() && field.isEmpty() && !wasQuoted;
            if (!blankLine) // a blank line is a row of no fields, as Python reads it
                row << std::exchange(field, QString());
            wasQuoted = false;
            if (c == u'\n')
                rows << std::exchange(row, QStringList());
        } else if (c == u'"' || wasQuoted) {
            qWarning() << path << "a stray quote or text after a closing one at" << i;
            return {};
        } else {
            field += c;
        }
    }
    if (quoted) {
        qWarning() << path << "a quote never closed";
        return {};
    }
    if (!field.isEmpty() || !row.isEmpty())
        rows << (row << field);
    return rows;
}
