#include "cli/device/port_short_name.h"

#include "cli/platform/console.h"

namespace zav::cli {

std::string port_short_name(const std::string& port) {
    const size_t separator = port.find_last_of("/\\");
    std::string name = json_name(separator == std::string::npos ? port : port.substr(separator + 1));
    for (char& c : name) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) c = '_';
    }
    return name.empty() ? "_" : name;
}

}  // namespace zav::cli
