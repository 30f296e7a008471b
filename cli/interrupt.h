// Ctrl+C. The first one asks the tool to stop at the next safe point (a
// series ends after the device being programmed); a second one stops at
// once. A line's read returns kInterrupted while a stop at once is wanted.
#pragma once

namespace zav::cli {

// Installs the handler (SIGINT and SIGTERM; on Windows the console's Ctrl+C
// and Ctrl+Break). Call once, early.
void install_interrupt_handler();

// How often Ctrl+C was pressed since start (0, 1, 2 or more).
int interrupt_count();

// True once a stop at once is wanted: Ctrl+C pressed twice, or once while
// no series runs (see set_interrupt_stops_at_once).
bool interrupted();

// In a series the first Ctrl+C only asks for the end of the series; outside
// one it stops at once (the default).
void set_interrupt_stops_at_once(bool at_once);

}  // namespace zav::cli
