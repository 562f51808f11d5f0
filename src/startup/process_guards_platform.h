// SPDX-License-Identifier: MIT
#pragma once

// The guards that differ by system, one file per system.

// Crashes and abort() run emergency::runNow() with their reason first;
// `onQuickExit` runs at quick_exit() where the system has it.
void installPlatformGuards(void (*onQuickExit)());

// After a fatal Qt message was handled and passed on: Qt ends the process next
// where that ends in a crash the guards answer; elsewhere this ends it.
void endAfterFatalMessage();
