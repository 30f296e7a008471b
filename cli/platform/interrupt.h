// Ctrl+C, and on Linux SIGTERM and SIGHUP, which ask for the same. The first
// one asks the tool to stop at the next safe point (a programming finishes
// its record, a series the device at hand); a second one stops at once. A
// line's read returns kInterrupted while a stop at once is wanted.
#pragma once

#include <string>

namespace zav::cli {

// Installs the handler (SIGINT, SIGTERM and SIGHUP; on Windows the
// console's Ctrl+C and Ctrl+Break). Call once, early.
void install_interrupt_handler();

// How often Ctrl+C was pressed since start (0, 1, 2 or more).
int interrupt_count();

// True once a stop at once is wanted: Ctrl+C pressed twice, or once while
// no safe point is awaited (see set_interrupt_stops_at_once); and once the
// waits were ended (end_waits).
bool interrupted();

// While a programming writes its record, or a series works on a device, the
// first Ctrl+C only asks for a stop at the next safe point; otherwise it
// stops at once (the default).
void set_interrupt_stops_at_once(bool at_once);

// The work is over while some threads still wait (one port of a series did
// the plan's last row while the others look for devices): every wait on a
// line and every pause ends at once, as after a second Ctrl+C, but nothing
// is said and interrupt_count() stays as it is. Only for waits: no thread
// may be writing to a device then.
void end_waits();
bool waits_ended();

// What the first Ctrl+C that does not stop at once says on standard error,
// there and then, from the handler itself: the user must see at once that
// the key was heard and what will happen. A text of the program
// (Windows-1252); "" says nothing (--quiet). when_several, if not "", is
// said instead while several are at work that the first Ctrl+C lets
// finish (the ports of a series, each on its device).
void set_first_interrupt_notice(const std::string& text, const std::string& when_several = std::string());

}  // namespace zav::cli
