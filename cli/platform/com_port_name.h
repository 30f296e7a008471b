// What a Windows port name may be: COM1 to COM256, the numbers the serial
// driver hands out.
#pragma once

#include <string>

namespace zav::cli {

// "COM7" for "com7" or "COM7"; "" for anything else ("COM0", "COM07",
// "COM257", "COM3:", "LPT1"). The port list and the opening of a port agree
// through this on which names exist for the tool.
std::string canonical_com_port_name(const std::string& name);

}  // namespace zav::cli
