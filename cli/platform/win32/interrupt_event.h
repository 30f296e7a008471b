// The Windows side of Ctrl+C that the serial port needs: an event that is
// signalled once a stop at once is wanted, so that a wait for the port's
// read wakes at once.
#pragma once

#include <windows.h>

namespace zav::cli {

// A manual-reset event, signalled when interrupted() becomes true; null
// before install_interrupt_handler().
HANDLE interrupt_event();

}  // namespace zav::cli
