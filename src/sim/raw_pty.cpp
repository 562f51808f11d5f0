// SPDX-License-Identifier: MIT
#include "sim/raw_pty.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

RawPty openRawPty()
{
    RawPty pty;
    pty.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.master < 0 || grantpt(pty.master) != 0 || unlockpt(pty.master) != 0) {
        pty.error = QString::fromLocal8Bit(std::strerror(errno));
        if (pty.master >= 0)
            ::close(pty.master);
        pty.master = -1;
        return pty;
    }
    pty.slavePath = QString::fromLocal8Bit(ptsname(pty.master));
    pty.slave = ::open(ptsname(pty.master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pty.slave >= 0) {
        termios tio{};
        if (tcgetattr(pty.slave, &tio) == 0) {
            cfmakeraw(&tio);
            cfsetspeed(&tio, B19200);
            tcsetattr(pty.slave, TCSANOW, &tio);
        }
    }
    return pty;
}
