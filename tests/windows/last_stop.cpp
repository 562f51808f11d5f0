// SPDX-License-Identifier: MIT
// A console feeding its zero output on COM1 with its guards installed as the
// program installs them, recording into the folder its second argument names,
// that then ends as its first argument says without any closing step of its
// own, once the file its third argument names exists. last_stop_on_wine.sh
// makes that file when the instrument has read the feed's frame, and reads the
// line and the record afterwards.
#include "link/port_map.h"
#include "run/configuration_run.h"
#include "startup/process_guards.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace {

void fault()
{
    // Volatile both: a null the compiler can see becomes a trap, and a store
    // it thinks unread goes.
    volatile int *volatile nowhere = nullptr;
    *nowhere = 1;
}

} // namespace

int main(int argc, char *argv[])
{
    guardStartUp(argc, argv);
    QCoreApplication app(argc, argv);
    startUpDone();
    const QString how = app.arguments().value(1);
    DeviceLink link;
    link.port().setPortMap(PortMap(PortMap::Paths{{1, QStringLiteral("COM1")}}));
    ConfigurationRun run(link);
    run.setRecordFolder(app.arguments().value(2));
    if (!run.start(1)) {
        std::fprintf(stderr, "COM1: %s\n", qPrintable(link.lastError().description));
        return 90;
    }
    // Once the feed's frame has left, as the record's "sent" line says.
    QEventLoop feeding;
    QObject::connect(&link, &DeviceLink::frameWritten, &feeding, [&feeding](const QByteArray &f) {
        if (f == protocol::commandFrame(protocol::Command::FeedZero))
            feeding.quit();
    });
    QTimer givingUp;
    QObject::connect(&givingUp, &QTimer::timeout, &feeding, [&feeding] { feeding.exit(1); });
    givingUp.start(10000);
    run.send(protocol::Command::FeedZero);
    if (feeding.exec() != 0)
        return 91;
    std::printf("feeding\n");
    std::fflush(stdout);
    // The stop purges what the driver still holds, and on a pseudo-terminal
    // that is also what the instrument has not read yet: a frame the record
    // calls sent could go unseen, so the ending waits until it has been read.
    const QString go = app.arguments().value(3);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &feeding, [&] {
        if (QFileInfo::exists(go))
            feeding.quit();
    });
    poll.start(10);
    givingUp.start(10000);
    if (feeding.exec() != 0)
        return 93;
    std::printf("now ending: %s\n", qPrintable(how));
    std::fflush(stdout);

    if (how == "access-violation")
        fault();
    else if (how == "thread-access-violation")
        std::thread(fault).join();
    else if (how == "abort")
        std::abort();
    else if (how == "exception")
        throw std::runtime_error("line noise");
    else if (how == "fatal")
        qFatal("checksum mismatch");
    return 92;
}
