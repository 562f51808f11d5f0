// SPDX-License-Identifier: MIT
// A console feeding its zero output on COM1 with its guards installed as the
// program installs them, recording into the folder its second argument names,
// that then ends as its first argument says without any closing step of its
// own. last_stop_on_wine.sh reads the line and the record afterwards.
#include "link/port_map.h"
#include "run/configuration_run.h"
#include "startup/process_guards.h"

#include <QCoreApplication>
#include <QEventLoop>
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
    QTimer::singleShot(10000, &feeding, [&feeding] { feeding.exit(1); });
    run.send(protocol::Command::FeedZero);
    if (feeding.exec() != 0)
        return 91;
    std::printf("feeding, now ending: %s\n", qPrintable(how));
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
