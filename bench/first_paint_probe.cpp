// SPDX-License-Identifier: MIT
// Loaded into a program by the start-up benchmark (LD_PRELOAD), so the program
// itself prints nothing: when its first window has been painted and flushed,
// writes "<CLOCK_MONOTONIC ns> <resident KiB>" to the descriptor named by
// ZELVOR_PROBE_FD.

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace {

long long residentKiB()
{
    FILE *f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long long kib = -1;
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0)
            kib = std::atoll(line + 6);
    }
    std::fclose(f);
    return kib;
}

void report()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long ns = (long long)now.tv_sec * 1000000000LL + now.tv_nsec;
    dprintf(std::atoi(std::getenv("ZELVOR_PROBE_FD")), "%lld %lld\n", ns, residentKiB());
}

class FirstPaint : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            QCoreApplication::instance()->removeEventFilter(this);
            // The whole window is painted and flushed in the same turn of the
            // event loop as its first paint event; the next turn comes after.
            QTimer::singleShot(0, report);
        }
        return false;
    }
};

void install()
{
    QCoreApplication::instance()->installEventFilter(new FirstPaint);
}

__attribute__((constructor)) void load()
{
    if (std::getenv("ZELVOR_PROBE_FD"))
        qAddPreRoutine(install);
}

} // namespace
