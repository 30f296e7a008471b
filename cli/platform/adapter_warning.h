// Known trouble with a serial adapter, said only where it is certain from
// what the system reports: no guess from a chip's name.
#pragma once

#include <string>

#include "cli/platform/port_list.h"

namespace zav::cli {

// A sentence for the technician, or "" when nothing certain is known.
std::string adapter_warning(const PortInfo& port);

}  // namespace zav::cli
