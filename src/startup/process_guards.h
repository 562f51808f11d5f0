// SPDX-License-Identifier: MIT
#pragma once

// Before the application object is made: trouble with the window system at
// start-up (no such display, no such platform plugin) becomes one line on
// standard error and exit status 1, not an abort. Qt's other start-up messages
// are held back until startUpDone().
void guardStartUp(int argc, char *argv[]);

// Once the application object exists: the held messages go out, and every way
// the process may end short of being killed outright (SIGKILL; on Windows
// TerminateProcess and fail-fast endings) first runs emergency::runNow() with
// the reason: the display lost, exit() from a library, a fatal Qt message, an
// uncaught exception, a fatal signal, on Windows a crash in any thread.
void startUpDone();
