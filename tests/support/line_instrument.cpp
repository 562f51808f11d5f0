// SPDX-License-Identifier: MIT
#include "line_instrument.h"

#include <QTest>

#include <utility>

LineInstrument::LineInstrument()
{
    static int count = 0;
    name = QStringLiteral("test instrument %1").arg(++count);
    line = std::make_unique<InProcessLine>(name);
    QObject::connect(line.get(), &InProcessLine::receivedFromConsole, line.get(),
                     [this](const QByteArray &bytes) { arrived += bytes; });
}

PortMap LineInstrument::portMap() const
{
    PortMap map;
    for (int n = PortMap::FirstPort; n <= PortMap::LastPort; ++n)
        map.simulate(n, name);
    return map;
}

bool LineInstrument::send(const QByteArray &bytes)
{
    if (!line || !line->consoleAttached())
        return false;
    line->writeToConsole(bytes);
    return true;
}

QByteArray LineInstrument::receive(qsizetype count, int timeoutMs)
{
    [[maybe_unused]] const bool all =
        QTest::qWaitFor([&] { return arrived.size() >= count; }, timeoutMs);
    const QByteArray bytes = arrived.left(count);
    arrived.remove(0, bytes.size());
    return bytes;
}

QByteArray LineInstrument::receiveFor(int quietMs)
{
    QTest::qWait(quietMs);
    return std::exchange(arrived, QByteArray());
}
