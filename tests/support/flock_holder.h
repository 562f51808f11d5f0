// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>
#include <QString>

// Another program on the line, as a terminal program holds one: a child
// process that keeps an exclusive flock() on the path (and no lock file)
// until it is released.
class FlockHolder
{
public:
    explicit FlockHolder(const QString &path)
    {
        process.start(QStringLiteral("flock"),
                      {QStringLiteral("--exclusive"), path, QStringLiteral("sh"),
                       QStringLiteral("-c"), QStringLiteral("echo held; exec cat")});
    }
    ~FlockHolder() { release(); }
    FlockHolder(const FlockHolder &) = delete;
    FlockHolder &operator=(const FlockHolder &) = delete;

    // True once the child has the lock.
    bool waitUntilHeld(int timeoutMs = 5000)
    {
        QByteArray said;
        while (!said.contains("held")) {
            if (!process.waitForReadyRead(timeoutMs))
                return false;
            said += process.readAllStandardOutput();
        }
        return true;
    }

    void release()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.closeWriteChannel(); // cat ends, and flock with it
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished();
        }
    }

private:
    QProcess process;
};
