// The options every command takes, before or after its name.
#pragma once

#include <string>
#include <vector>

namespace zav::cli {

struct CommonOptions {
    std::string port;  // --port, or "" for $ZAV_PORT
    // Every --port in their order: a series may have several, every other
    // command at most one (then the same as port).
    std::vector<std::string> ports;
    bool json = false;
    bool quiet = false;
};

}  // namespace zav::cli
