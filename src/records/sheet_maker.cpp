// SPDX-License-Identifier: MIT
#include "records/sheet_maker.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <climits>

struct SheetMaker::Job
{
    QString recordPath;
    runsheet::Result result; // the worker's until done
    std::atomic<bool> cancelled{false};
    std::atomic<bool> done{false};
};

SheetMaker::SheetMaker(QObject *parent) : QObject(parent)
{
    worker.setMaxThreadCount(1);
    worker.setExpiryTimeout(-1);
    worker.setThreadPriority(QThread::LowPriority);
}

SheetMaker::~SheetMaker()
{
    for (const auto &job : jobs)
        job->cancelled = true;
    worker.waitForDone();
}

void SheetMaker::make(const QString &recordPath)
{
    auto job = std::make_shared<Job>();
    job->recordPath = recordPath;
    jobs.push_back(job);
    worker.start([this, job] {
        job->result = runsheet::make(job->recordPath, QLocale::system(), &job->cancelled);
        job->done = true;
        QMetaObject::invokeMethod(
            this, [this, job] { collect(job); }, Qt::QueuedConnection);
    });
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
    worker.waitForDone(int(qMin<qint64>(deadline.remainingTime(), INT_MAX)));
    for (const auto &job : jobs)
        job->cancelled = true;
    // Given up: each stops at its next few thousand rows and leaves no file;
    // one already writing its page finishes it.
    constexpr int GiveUpWaitMs = 2000;
    worker.waitForDone(GiveUpWaitMs);
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
