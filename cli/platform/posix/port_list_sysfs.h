// The Linux port list, with the file system's root as a parameter so that a
// test can hand it a made-up /sys and /dev.
#pragma once

#include <string>
#include <vector>

#include "cli/platform/port_list.h"

namespace zav::cli {

// Lists the ports found under root + "/sys/class/tty" and
// root + "/dev/serial/by-id"; root "" is this computer. Names are given as
// "/dev/<name>" whatever the root.
std::vector<PortInfo> list_serial_ports_under(const std::string& root);

}  // namespace zav::cli
