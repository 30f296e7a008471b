// The serial ports of this computer, so that a technician finds the
// adapter without guessing.
#pragma once

#include <string>
#include <vector>

namespace zav::cli {

struct PortInfo {
    std::string name;         // what --port takes: /dev/ttyUSB0, COM3
    std::string description;  // the adapter as the system names it ("FTDI FT232R USB UART"), or ""
    std::string stable_name;  // Linux: the /dev/serial/by-id link, which survives re-plugging; or ""
};

// Sorted by name, in natural order (COM2 before COM10, ttyUSB2 before ttyUSB10).
std::vector<PortInfo> list_serial_ports();

}  // namespace zav::cli
