// Opening a COM port as both Windows programs do. The line settings: 2400 baud
// 8N1, no flow control of any kind, DTR and RTS held inactive, queues of
// 1024 bytes, everything pending discarded, and the time-outs of the link
// (a read ends 1 ms after the line falls quiet, a write of n bytes takes at
// most 100 + 10 n ms). The windowed program and zavctl.exe share them, so
// that both talk to the device alike.
#pragma once

#include <windows.h>

#include "core/link/port_failure.h"

namespace zav {

// Opens a port by the name the user reads ("COM1" .. "COM256") through its
// device path, unshared, for overlapped I/O, and gives it the settings
// below. Returns INVALID_HANDLE_VALUE when it cannot, with the kind of
// failure and the system's error code (0 for a name that is no port).
HANDLE open_com_port(const char* port_name, PortFailure& failure, DWORD& system_error);

// The results of the calls are not examined: a driver that refuses one
// setting still carries the others, and a line that does not work shows in
// the missing answers.
void configure_port(HANDLE port);

}  // namespace zav
