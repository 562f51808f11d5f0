// SPDX-License-Identifier: MIT
#include "csv_reader.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

CsvRows readCsv(const QString &path)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv, json, sys\n"
                                 "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                 "    json.dump(list(csv.reader(f, strict=True)), sys.stdout)\n"),
                  path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qWarning() << "python3:" << python.errorString() << python.readAllStandardError();
        return {};
    }
    CsvRows rows;
    for (const QJsonValue &row : QJsonDocument::fromJson(python.readAllStandardOutput()).array())
        rows.append(row.toVariant().toStringList());
    return rows;
}
