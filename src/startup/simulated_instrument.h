// SPDX-License-Identifier: MIT
#pragma once

#include "sim/instrument.h"
#include "sim/line.h"

#include <memory>

class PortMap;

// --simulate: the instrument that zelvor-instrument-sim plays, played in this
// process on a pseudo-terminal of its own. Only the port map knows: the console
// opens the terminal's device through its serial port as it would any other, so
// frames still cross the kernel's line, the framer and the readings. Windows has
// no pseudo-terminals: there the line is one inside this process, which the
// serial port opens by its name.
class SimulatedInstrument
{
public:
    // Makes "Com `portNumber`" of `ports` lead to the instrument and says so on
    // standard error; null, after saying why, when no pseudo-terminal can be had.
    static std::unique_ptr<SimulatedInstrument> start(int portNumber, PortMap &ports);

private:
    SimulatedInstrument();

#ifdef Q_OS_WIN
    InProcessInstrumentLine line{QStringLiteral("simulated instrument")};
#else
    PtyLine line;
#endif
    Instrument instrument;
};
