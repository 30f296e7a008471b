// Waiting until the bytes written to a serial port have left it. The
// windowed program's write returns when its bytes are out, and only then
// does the machine's 500 ms wait for the answer begin; a write on Linux
// returns as soon as the driver has taken the bytes. tcdrain() would wait,
// but on an adapter that never sends (a stuck USB bridge, a line held off)
// it blocks for ever, so the driver's queue is watched instead, within a
// time limit.
#pragma once

#include <cstdint>

#include "cli/platform/serial_line.h"

namespace zav::cli {

// What a failed system call on an open line means: the adapter was pulled
// or the other end of a pseudo-terminal closed.
bool error_means_line_gone(int error);

// Waits until nothing written to fd is left in the driver's queue nor, where
// the driver can tell, in the transmitter: kOk. kTimedOut when allowed_ms
// pass first, kGone when the line went away. A descriptor whose driver
// cannot tell counts as sent.
LineStatus wait_until_sent(int fd, uint32_t allowed_ms);

}  // namespace zav::cli
