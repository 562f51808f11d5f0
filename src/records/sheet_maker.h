// SPDX-License-Identifier: MIT
#pragma once

#include "records/run_sheet.h"

#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QThread>

#include <condition_variable>
#include <memory>
#include <mutex>
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

    // Starts the sheet of the record at `recordPath`.
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

    // Reported from the worker thread once each job is done.
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<std::shared_ptr<Job>> jobs;
    std::unique_ptr<QThread> worker;
    std::unique_ptr<QObject> context; // lives in the worker thread
};
