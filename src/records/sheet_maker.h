// SPDX-License-Identifier: MIT
#pragma once

#include "records/run_sheet.h"

#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QThreadPool>

#include <memory>
#include <vector>

// Makes calibration sheets away from the thread that asks for them, so that a
// window stays answering while a long record is read. Each sheet is reported
// once: by made() on the asking thread, or in what finish() returns.
class SheetMaker : public QObject
{
    Q_OBJECT
public:
    explicit SheetMaker(QObject *parent = nullptr);
    // Sheets still being made are given up and waited for.
    ~SheetMaker() override;

    void make(const QString &recordPath);
    bool busy() const { return !jobs.empty(); }

    struct Outcome
    {
        // Sheets made (or refused) before the deadline, not yet reported.
        QList<runsheet::Result> done;
        // Records whose sheets were given up at the deadline.
        QStringList unfinished;
    };
    // For the program's end: waits for every sheet being made until
    // `deadline`, gives up the rest, and reports them all here.
    Outcome finish(QDeadlineTimer deadline);

    // How a technician makes the sheet of `recordPath` again, ready to paste.
    static QString commandFor(const QString &recordPath);

signals:
    void made(const runsheet::Result &result);

private:
    struct Job;
    void collect(const std::shared_ptr<Job> &job);

    std::vector<std::shared_ptr<Job>> jobs; // not yet reported
    // One thread for every sheet, kept: its fonts are loaded once, not per sheet.
    QThreadPool worker;
};
