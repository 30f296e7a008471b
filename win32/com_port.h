// The line settings of every port the programs open on Windows: 2400 baud
// 8N1, no flow control of any kind, DTR and RTS held inactive, queues of
// 1024 bytes, everything pending discarded, and the time-outs of the link
// (a read ends 1 ms after the line falls quiet, a write of n bytes takes at
// most 100 + 10 n ms). The windowed program and zavctl.exe share them, so
// that both talk to the device alike.
#pragma once

#include <windows.h>

namespace zav {

// The results of the calls are not examined: a driver that refuses one
// setting still carries the others, and a line that does not work shows in
// the missing answers.
void configure_port(HANDLE port);

}  // namespace zav
