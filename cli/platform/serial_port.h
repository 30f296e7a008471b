// Opening a serial port for the tool: for exclusive use, 2400 baud 8N1, raw,
// no flow control, DTR and RTS inactive, everything pending discarded:
// exactly as the windowed program sets its port. On Linux, closing it gives
// the terminal back with the settings it had.
#pragma once

#include <memory>
#include <string>

#include "cli/platform/serial_line.h"
#include "core/link/port_failure.h"

namespace zav::cli {

struct PortOpenFailure {
    PortFailure kind = PortFailure::kNone;
    std::string detail;  // the system's words, in German, for the message
    // For kNoPermission where the system names them (Linux): the port's
    // owner and group, so that the advice can name who may use it.
    std::string owner;
    std::string group;
};

// Opens the port named as the user gives it: a device path on Linux
// (/dev/ttyUSB0, a pseudo-terminal, a link to one), COM1 to COM256 on
// Windows. Returns null and fills failure when it cannot be opened. The
// port is closed when the returned line is destroyed.
std::unique_ptr<SerialLine> open_serial_port(const std::string& name, PortOpenFailure& failure);

// The platform's monotonic clock.
Clock& system_clock();

}  // namespace zav::cli
