// SPDX-License-Identifier: MIT
#pragma once

#include "protocol/protocol.h"

#include <QDateTime>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <optional>

// What a calibration sheet says about one run, read from its record alone:
// who ran it, where, the instrument as found and as left, what was done and
// what a technician must be warned of.
struct RecordedRun
{
    // One thing done, at the time its line was written.
    struct Step
    {
        QDateTime at;
        QString text;
        // Wants a second look: a value that came back otherwise, a refusal, a
        // stop frame that could not be sent.
        bool flagged = false;
    };

    QString fileName;
    // Of the file's bytes, lower-case hex, as sha256sum prints it.
    QString sha256;

    // Empty when the record does not say (records of earlier versions).
    QString console;
    QString computer;
    QString account;

    int comPort = 0;
    QString device;
    QDateTime started;
    // Unset when the record has no end line (the console was killed).
    std::optional<QDateTime> ended;
    QString endDetail;

    // The first and the last reading; unset when the instrument never answered.
    std::optional<protocol::StatusFields> asFound;
    std::optional<protocol::StatusFields> asLeft;

    // In order. A long run of like steps shows its first few and one line for
    // the rest; a run with more steps than a sheet can list shows its first
    // and its last, with one line for those between.
    QList<Step> steps;
    QStringList warnings;

    // Replaces this run with the record read row by row to the end of `in`;
    // false, with why, when the bytes are not a record of this console. Memory
    // stays bounded whatever the record's length. Once `cancelled` is set it
    // stops within a few thousand rows.
    bool read(QIODevice &in, const QString &name, QString &why,
              const std::atomic<bool> *cancelled = nullptr);
};

// The four fields in the order of the record's columns.
std::array<QString, protocol::FieldCount> fieldList(const protocol::StatusFields &fields);
// The time of day, with the date when it is not the run's first day.
QString clockOf(const QDateTime &at, const QDate &runDate);
// `at` in `format`, then its offset from UTC as +hh:mm, UTC's too.
QString withOffset(const QDateTime &at, const QString &format);
// Each control character of `text` as `by`.
QString withoutControls(QString text, QChar by);
