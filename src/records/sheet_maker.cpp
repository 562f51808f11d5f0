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

namespace {

// How long a sheet given up has to stop.
constexpr int GiveUpWaitMs = 2000;

} // namespace

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
    const auto allDone = [this] {
        return std::all_of(jobs.begin(), jobs.end(), [](const auto &job) { return job->done; });
    };
    std::unique_lock<std::mutex> lock(mutex);
    finished.wait_until(lock, deadline.deadline<std::chrono::steady_clock>(), allDone);
    for (const auto &job : jobs)
        job->cancelled = true;
    // Given up: each stops at its next few thousand rows and leaves no file;
    // one already writing its page finishes it.
    finished.wait_for(lock, std::chrono::milliseconds(GiveUpWaitMs), allDone);
    Outcome outcome;
    for (const auto &job : jobs) {
        if (job->done && job->result.status != runsheet::Result::Cancelled)
            outcome.done << job->result;
        else
            outcome.unfinished << job->recordPath;
    }
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
