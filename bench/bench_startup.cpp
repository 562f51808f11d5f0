// SPDX-License-Identifier: MIT
// Process start to the first paint of the main window, and resident memory
// then, for the console and for a bare main window with one button, started
// the same way in alternation. The first paint is seen by a probe loaded into
// each program from outside.

#include "bench_machine.h"
#include "console_harness.h"

#include <QCoreApplication>
#include <QTextStream>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int WarmUps = 2;
constexpr int Rounds = 15;

struct Start
{
    double ms = 0;
    qint64 rssKiB = 0;
    bool ok = false;
};

Start startOnce(const char *program, const char *argument)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    timespec t0{};
    clock_gettime(CLOCK_MONOTONIC, &t0);
    const pid_t pid = fork();
    if (pid == 0) {
        ::close(fds[0]);
        // The programs' own warnings are not the benchmark's output.
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        setenv("LD_PRELOAD", ZELVOR_PROBE_LIBRARY, 1);
        setenv("ZELVOR_PROBE_FD", QByteArray::number(fds[1]).constData(), 1);
        execl(program, program, argument, static_cast<char *>(nullptr));
        _exit(127);
    }
    ::close(fds[1]);
    Start result;
    QByteArray line;
    pollfd pfd{fds[0], POLLIN, 0};
    while (!line.contains('\n') && ::poll(&pfd, 1, 30000) > 0) {
        char buf[64];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0)
            break;
        line.append(buf, n);
    }
    ::close(fds[0]);
    kill(pid, SIGKILL);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    const QList<QByteArray> fields = line.trimmed().split(' ');
    if (fields.size() == 2) {
        const double start = double(t0.tv_sec) * 1e9 + double(t0.tv_nsec);
        result.ms = (fields[0].toDouble() - start) / 1e6;
        result.rssKiB = fields[1].toLongLong();
        result.ok = result.rssKiB > 0;
    }
    return result;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    const QString platform = bench::choosePlatform();
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    out << "start-up benchmark: process start to first paint of the main window\n"
        << bench::machineLine() << "\nplatform: " << platform << '\n';

    // The bare window twice: as it is, and with the design's own costs.
    constexpr int Count = 3;
    const char *programs[Count] = {ZELVOR_CONSOLE_PROGRAM, ZELVOR_BARE_WINDOW_PROGRAM,
                                   ZELVOR_BARE_WINDOW_PROGRAM};
    const char *arguments[Count] = {nullptr, nullptr, "--as-designed"};
    std::vector<double> ms[Count];
    std::vector<double> rss[Count];
    for (int round = 0; round < WarmUps + Rounds; ++round) {
        for (int p = 0; p < Count; ++p) {
            const Start s = startOnce(programs[p], arguments[p]);
            if (!s.ok) {
                out << "no first paint from " << programs[p] << '\n';
                return 1;
            }
            if (round >= WarmUps) {
                ms[p].push_back(s.ms);
                rss[p].push_back(double(s.rssKiB));
            }
        }
    }

    const char *names[Count] = {"console", "bare window (reference)", "bare window as designed"};
    for (int p = 0; p < Count; ++p) {
        out << QStringLiteral("%1: first paint after %2 ms (median of %3; min %4, max %5), "
                              "resident %6 MiB\n")
                   .arg(QLatin1String(names[p]), -24)
                   .arg(median(ms[p]), 0, 'f', 1)
                   .arg(Rounds)
                   .arg(*std::min_element(ms[p].begin(), ms[p].end()), 0, 'f', 1)
                   .arg(*std::max_element(ms[p].begin(), ms[p].end()), 0, 'f', 1)
                   .arg(median(rss[p]) / 1024, 0, 'f', 1);
    }
    for (int p = 1; p < Count; ++p)
        out << QStringLiteral("ratio console / %1: start-up %2, resident memory %3\n")
                   .arg(QLatin1String(names[p]))
                   .arg(median(ms[0]) / median(ms[p]), 0, 'f', 2)
                   .arg(median(rss[0]) / median(rss[p]), 0, 'f', 2);
    return 0;
}
