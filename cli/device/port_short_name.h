// A port's short name: the one decision behind the tag each line of several
// ports starts with ("[ttyUSB1] ...") and the port's name in the frame
// trace, so that the two can never name a port differently.
#pragma once

#include <string>

namespace zav::cli {

// The last part of the port's path (ttyUSB0, COM3,
// usb-FTDI_..._A6008isP-if00-port0), in UTF-8, with blanks and control
// characters as '_' so that it stays one word; "_" for nothing. Ports whose
// short names are the same cannot be told apart in the lines or the trace.
std::string port_short_name(const std::string& port);

}  // namespace zav::cli
