// The options every command takes, before or after its name.
#pragma once

#include <string>

namespace zav::cli {

struct CommonOptions {
    std::string port;  // --port, or "" for $ZAV_PORT
    bool json = false;
    bool quiet = false;
};

}  // namespace zav::cli
