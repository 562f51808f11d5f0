// SPDX-License-Identifier: MIT
#include "startup/simulated_instrument.h"

#include "link/port_map.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

void say(const QString &text)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(text));
}

} // namespace

SimulatedInstrument::SimulatedInstrument()
{
    QObject::connect(&line, &Line::received, &instrument,
                     [this](const QByteArray &bytes) { instrument.receive(bytes); });
    QObject::connect(&instrument, &Instrument::transmit, &line, &Line::write);
    QObject::connect(&line, &Line::trouble, &line, [](const QString &text) {
        say(QStringLiteral("simulated instrument: ") + text);
    });
}

std::unique_ptr<SimulatedInstrument> SimulatedInstrument::start(int portNumber, PortMap &ports)
{
    std::unique_ptr<SimulatedInstrument> simulated(new SimulatedInstrument);
    if (!simulated->line.isOpen()) {
        say(QStringLiteral("--simulate: no pseudo-terminal for the simulated instrument: %1")
                .arg(simulated->line.errorString()));
        return nullptr;
    }
    const QString path = simulated->line.consolePath();
    ports.simulate(portNumber, path);
    const protocol::StatusFields &s = simulated->instrument.settings();
    say(QStringLiteral("the instrument is simulated: Com %1 leads to %2, where this program plays "
                       "it (zero %3, span %4, low range %5, high range %6); Operation > Start "
                       "Config. shows its readings")
            .arg(portNumber)
            .arg(path, s.zero, s.span, s.lowRange, s.highRange));
    return simulated;
}
