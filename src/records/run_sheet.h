// SPDX-License-Identifier: MIT
#pragma once

#include <QLocale>
#include <QString>

#include "records/recorded_run.h"

#include <atomic>

// The calibration sheet of a run: one PDF page (more for a long run) made from
// the record alone, to print and sign: as found, what was done, as left,
// warnings, blank fields for the hand, and the record's name and SHA-256 at
// the foot. Needs a QGuiApplication (for its fonts), no display; any thread.
namespace runsheet {

// Beside the record: its name with ".pdf".
QString sheetPathFor(const QString &recordPath);

struct Result
{
    enum Status { Written, Failed, Cancelled };
    Status status = Written;
    QString sheetPath;
    QString message; // Failed: as read() or write() put it
};

// Reads the record and writes its sheet, replacing an earlier one. Once
// `cancelled` is set, it stops soon and writes nothing.
Result make(const QString &recordPath, const QLocale &locale = QLocale::system(),
            const std::atomic<bool> *cancelled = nullptr);

// The two halves of make(): reading needs no QGuiApplication, so a file that
// is not a record is refused before any is made. Each is false with the
// technician's message in `why`, naming the file and the reason; a record
// that is not a regular file, and anything but a file at the sheet's name (a
// link above all), is refused without being opened.
bool read(const QString &recordPath, RecordedRun &run, QString &why,
          const std::atomic<bool> *cancelled = nullptr);
bool write(const RecordedRun &run, const QString &recordPath, QString &why,
           const QLocale &locale = QLocale::system());

} // namespace runsheet
