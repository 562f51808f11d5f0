// SPDX-License-Identifier: MIT
#include "records/sheet_maker.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <atomic>

#ifdef __GLIBC__
#include <malloc.h>
#endif

struct SheetMaker::Job
{
    QString recordPath;
    runsheet::Result result;
    std::atomic<bool> cancelled{false};
    std::unique_ptr<QThread> thread;

    ~Job()
    {
        if (thread) {
            cancelled = true;
            thread->wait();
        }
    }
};

SheetMaker::~SheetMaker()
{
    for (const auto &job : jobs)
        job->cancelled = true;
    jobs.clear();
}

void SheetMaker::make(const QString &recordPath)
{
    auto job = std::make_shared<Job>();
    job->recordPath = recordPath;
    Job *raw = job.get();
    job->thread.reset(QThread::create([raw] {
        raw->result = runsheet::make(raw->recordPath, QLocale::system(), &raw->cancelled);
    }));
    connect(job->thread.get(), &QThread::finished, this, [this, raw] { collect(raw); });
    jobs.push_back(job);
    job->thread->start(QThread::LowPriority);
}

void SheetMaker::collect(Job *job)
{
    const auto it = std::find_if(jobs.begin(), jobs.end(),
                                 [job](const std::shared_ptr<Job> &j) { return j.get() == job; });
    if (it == jobs.end())
        return; // finish() has reported it already
    const std::shared_ptr<Job> done = *it;
    jobs.erase(it);
    done->thread->wait();
#ifdef __GLIBC__
    // The worker's arena would otherwise keep what a long record needed
    // while the console idles.
    malloc_trim(0);
#endif
    emit made(done->result);
}

SheetMaker::Outcome SheetMaker::finish(QDeadlineTimer deadline)
{
    Outcome outcome;
    for (const auto &job : jobs) {
        if (job->thread->wait(deadline)) {
            outcome.done << job->result;
        } else {
            job->cancelled = true;
            outcome.unfinished << job->recordPath;
        }
    }
    // Given up: each stops at its next row or page and leaves no file.
    jobs.clear();
    return outcome;
}

QString SheetMaker::commandFor(const QString &recordPath)
{
    QString path = QDir::toNativeSeparators(recordPath);
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:@%+,=\\\\-]+$"));
    if (!plain.match(path).hasMatch()) {
#ifdef Q_OS_WIN
        path = u'"' + path + u'"';
#else
        path = u'\'' + path.replace(u'\'', QStringLiteral("'\\''")) + u'\'';
#endif
    }
    return QStringLiteral("%1 --sheet %2").arg(QCoreApplication::applicationName(), path);
}
