// SPDX-License-Identifier: MIT
#include "console_harness.h"

#include "console/orvane.h"
#include "link/serial_port.h"
#include "sim/raw_pty.h"

#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

namespace {

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

void advance(timespec &t, long ns)
{
    t.tv_nsec += ns;
    while (t.tv_nsec >= 1000000000L) {
        t.tv_nsec -= 1000000000L;
        ++t.tv_sec;
    }
}

// Only write() and clock_nanosleep() after fork(): the console's process has
// threads, so the child must not take any lock they might hold.
[[noreturn]] void writerMain(int fd, const Instrument::Plan &plan)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const bool paced = plan.piecesPerSecond > 0 && plan.piece > 0;
    const long stepNs = paced ? long(1e9 / plan.piecesPerSecond) : 0;
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    auto send = [&](const QByteArray &bytes) {
        const qsizetype piece = paced ? plan.piece : bytes.size();
        for (qsizetype at = 0; at < bytes.size(); at += piece) {
            if (paced) {
                advance(next, stepNs);
                while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
                }
            }
            if (!writeAll(fd, bytes.constData() + at, size_t(qMin(piece, bytes.size() - at))))
                _exit(1);
        }
    };
    for (qint64 i = 0; i < plan.repeat; ++i)
        send(plan.block);
    send(plan.tail);
    _exit(0);
}

} // namespace

Instrument::Instrument()
{
    const RawPty pty = openRawPty();
    if (pty.slave >= 0)
        ::close(pty.slave);
    master = pty.master;
    slave_path = pty.slavePath;
}

Instrument::~Instrument()
{
    if (writer > 0) {
        kill(writer, SIGKILL);
        finishWriting();
    }
    if (master >= 0)
        ::close(master);
}

QByteArray Instrument::receive(qsizetype count, int timeoutMs)
{
    QByteArray out;
    const QDeadlineTimer deadline(timeoutMs);
    while (out.size() < count && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd pfd{master, POLLIN, 0};
        if (::poll(&pfd, 1, 5) > 0 && (pfd.revents & POLLIN)) {
            char buf[256];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0)
                out.append(buf, n);
        }
    }
    return out;
}

void Instrument::startWriting(const Plan &plan)
{
    writer = fork();
    if (writer == 0)
        writerMain(master, plan);
}

bool Instrument::finishWriting()
{
    if (writer <= 0)
        return false;
    // The console keeps reading meanwhile, or a writer still blocked on a full
    // pseudo-terminal would never end.
    const QDeadlineTimer deadline(600000);
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(writer, &status, WNOHANG)) == 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (done == 0) {
        kill(writer, SIGKILL);
        waitpid(writer, &status, 0);
    }
    writer = -1;
    return done > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

RunningConsole::RunningConsole(Instrument &instrument) : instrument(instrument)
{
    window = new Orvane;
    window->setRunRecordFolder(records.path());
    window->show();
    const char *names[4] = {"Zero_real", "Span_real", "Low_range_real_txt", "High_range_real_txt"};
    for (int i = 0; i < 4; ++i)
        boxes[i] = window->findChild<QLineEdit *>(QLatin1String(names[i]));
    running = records.isValid() && boxes[0] && boxes[3] && start();
}

bool RunningConsole::start()
{
    // Other measurements may have opened a port of their own meanwhile.
    const QString path = instrument.slavePath();
    window->setPortMap(PortMap({{1, path}}));
    auto *start = window->findChild<QAction *>(QStringLiteral("mnuOperation_start_capture"));
    if (!start)
        return false;
    start->trigger();
    return instrument.receive(3, 5000) == "#1$";
}

bool RunningConsole::restart(bool recordRun)
{
    auto *stop = window->findChild<QAction *>(QStringLiteral("mnuOperation_stop_capture"));
    if (!stop)
        return false;
    stop->trigger();
    recording = recordRun;
    window->setRunRecordFolder(recording ? records.path() : QString());
    running = start();
    return running;
}

qint64 RunningConsole::recordedLines() const
{
    if (!recording)
        return 0;
    // A run started in the same second as the last one gets a longer name, so
    // the current run's record is the last name in order.
    const QDir dir(records.path());
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    QFile file(names.isEmpty() ? QString() : dir.filePath(names.last()));
    return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
}

RunningConsole::~RunningConsole()
{
    delete window;
}

QString RunningConsole::readings() const
{
    return boxes[0]->text() + boxes[1]->text() + boxes[2]->text() + boxes[3]->text();
}

bool RunningConsole::waitForReadings(const QString &expected, int timeoutMs)
{
    if (readings() == expected)
        return true;
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    for (QLineEdit *box : boxes) {
        QObject::connect(box, &QLineEdit::textChanged, &loop, [&] {
            if (readings() == expected)
                loop.quit();
        });
    }
    timeout.start(timeoutMs);
    loop.exec();
    return readings() == expected;
}

QByteArray numberedBody(qint64 index)
{
    return QByteArray::number(index).rightJustified(16, '0');
}

QByteArray markerBody(qint64 index)
{
    return QByteArray::number(index).rightJustified(16, '9');
}

QByteArray statusFrame(const QByteArray &body)
{
    return '#' + body + '$';
}

QString choosePlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
               ? QStringLiteral("default (display %1)").arg(qEnvironmentVariable("DISPLAY"))
               : qEnvironmentVariable("QT_QPA_PLATFORM");
}

} // namespace bench
