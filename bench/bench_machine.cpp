// SPDX-License-Identifier: MIT
#include "bench_machine.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QSysInfo>

#include <ctime>
#include <unistd.h>

namespace bench {

namespace {

QString cpuModel()
{
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown cpu");
    const QStringList lines = QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("model name")))
            return line.section(QLatin1Char(':'), 1).trimmed();
    }
    return QStringLiteral("unknown cpu");
}

QString compiler()
{
#if defined(__clang__)
    return QStringLiteral("clang %1").arg(QLatin1String(__clang_version__));
#elif defined(__GNUC__)
    return QStringLiteral("g++ %1").arg(QLatin1String(__VERSION__));
#else
    return QStringLiteral("unknown compiler");
#endif
}

QString buildKind()
{
#if defined(__SANITIZE_ADDRESS__)
    const QString sanitized = QStringLiteral(", AddressSanitizer");
#else
    const QString sanitized;
#endif
#ifdef NDEBUG
    return QStringLiteral("optimised") + sanitized;
#else
    return QStringLiteral("debug") + sanitized;
#endif
}

QByteArray procFile(qint64 pid, const char *name)
{
    const QString path = pid > 0 ? QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name))
                                 : QStringLiteral("/proc/self/%1").arg(QLatin1String(name));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace

QString machineLine()
{
    return QStringLiteral("machine: %1, %2 cores (%3 online); %4; Qt %5; %6, %7")
        .arg(cpuModel())
        .arg(sysconf(_SC_NPROCESSORS_CONF))
        .arg(sysconf(_SC_NPROCESSORS_ONLN))
        .arg(QSysInfo::prettyProductName())
        .arg(QLatin1String(qVersion()))
        .arg(compiler())
        .arg(buildKind());
}

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

qint64 residentKiB(qint64 pid)
{
    const QList<QByteArray> lines = procFile(pid, "status").split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

double processCpuSecondsOf(qint64 pid)
{
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QByteArray stat = procFile(pid, "stat");
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // utime and stime are fields 14 and 15 of the line; counted from the state
    // (field 3) as 0, they are 11 and 12.
    if (fields.size() < 13)
        return -1;
    const double ticks = double(fields[11].toLongLong() + fields[12].toLongLong());
    return ticks / double(sysconf(_SC_CLK_TCK));
}

} // namespace bench
