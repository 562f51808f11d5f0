// SPDX-License-Identifier: MIT
#include "sim/line.h"

InProcessInstrumentLine::InProcessInstrumentLine(const QString &name, QObject *parent)
    : Line(parent), line(name)
{
    connect(&line, &InProcessLine::receivedFromConsole, this, &Line::received);
}
