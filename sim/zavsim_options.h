// zavsim's command line: what it starts with and the device the options
// describe. kUsage is its --help.
#pragma once

#include <string>

#include "sim/device.h"

namespace zav::sim {

extern const char kUsage[];

struct StartOptions {
    Device device;                 // as the options make it, from the default device
    std::string link_path;
    std::string control_file;
    std::string log_path;
    std::string replay_path;
    std::string replay_port;
    int control_port = -1;         // -1: no control channel
    bool pace = false;
    bool quiet = false;
    bool loopback = false;
    long byte_time_ns = 4166667;   // 10 bits at 2400 baud
};

// Reads the options into options. Returns -1 to go on, or the exit code to
// end with: 0 after --help (printed), 2 after a wrong option (said on
// standard error).
int read_command_line(int argc, char** argv, StartOptions& options);

}  // namespace zav::sim
