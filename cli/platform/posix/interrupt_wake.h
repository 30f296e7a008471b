// The POSIX side of Ctrl+C that the serial port needs: a descriptor that
// becomes readable when SIGINT or SIGTERM arrives, so that a poll() on the
// port wakes at once instead of sleeping out its time-out.
#pragma once

namespace zav::cli {

// The read end of the handler's pipe; -1 before install_interrupt_handler().
int interrupt_wake_fd();

// Empties the pipe after a wake-up that was not a stop at once (the first
// Ctrl+C of a series), so that the next poll() waits again instead of
// returning at once for the same signal.
void clear_interrupt_wake();

}  // namespace zav::cli
