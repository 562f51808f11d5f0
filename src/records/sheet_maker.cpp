// SPDX-License-Identifier: MIT
#include "records/sheet_maker.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>


struct SheetMaker::Job
{
    QString recordPath;
    runsheet::Result result;
    std::atomic<bool> cancelled{false};
    bool done = false; // under SheetMaker::mutex
};

SheetMaker::SheetMaker(QObject *parent) : QObject(parent) {}

SheetMaker::~SheetMaker()
{
    for (const auto &job : jobs)
        job->cancelled = true;
    if (worker) {
        worker->quit();
        worker->wait();
    }
}

void SheetMaker::make(const QString &recordPath)
{
    // One thread for every sheet: its fonts are loaded once, not per sheet.
    if (!worker) {
        worker = std::make_unique<QThread>();
        context = std::make_unique<QObject>();
        context->moveToThread(worker.get());
        worker->start(QThread::LowPriority);
    }
    auto job = std::make_shared<Job>();
    job->recordPath = recordPath;
    jobs.push_back(job);
    QMetaObject::invokeMethod(
        context.get(),
        [this, job] {
            job->result = runsheet::make(job->recordPath, QLocale::system(), &job->cancelled);
            {
                const std::lock_guard<std::mutex> lock(mutex);
                job->done = true;
            }
            finished.notify_all();
            QMetaObject::invokeMethod(
                this, [this, job] { collect(job); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void SheetMaker::collect(const std::shared_ptr<Job> &job)
{
    const auto it = std::find(jobs.begin(), jobs.end(), job);
    if (it == jobs.end())
        return; // finish() has reported it already
    jobs.erase(it);
    emit made(job->result);
}

SheetMaker::Outcome SheetMaker::finish(QDeadlineTimer deadline)
{
    Outcome outcome;
    std::unique_lock<std::mutex> lock(mutex);
    for (const auto &job : jobs) {
        const bool done = finished.wait_until(lock, deadline.deadline<std::chrono::steady_clock>(),
                                              [&job] { return job->done; });
        if (done) {
            outcome.done << job->result;
        } else {
            job->cancelled = true;
            outcome.unfinished << job->recordPath;
        }
    }
    // Given up: each stops at its next few thousand rows and leaves no file.
    finished.wait(lock, [this] {
        return std::all_of(jobs.begin(), jobs.end(), [](const auto &job) { return job->done; });
    });
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
