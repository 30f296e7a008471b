// ports: the serial ports of this computer, with the adapter's name where
// the system knows it.
#include <algorithm>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/port_list.h"
#include "cli/reporter.h"

namespace zav::cli {

int command_ports(const CommonOptions& common) {
    const Reporter reporter(common.json, common.quiet);
    const std::vector<PortInfo> ports = list_serial_ports();

    size_t width = 0;
    for (const PortInfo& port : ports) width = std::max(width, port.name.size());
    nlohmann::json document = nlohmann::json::array();
    for (const PortInfo& port : ports) {
        std::string line = shown_name(port.name);
        if (!port.description.empty() || !port.stable_name.empty()) line.append(width + 2 - port.name.size(), ' ');
        line += shown_name(port.description);
        if (!port.stable_name.empty()) line += (port.description.empty() ? "" : "  ") + shown_name(port.stable_name);
        reporter.line(line);
        document.push_back({{"name", json_text(shown_name(port.name))},
                            {"description", json_text(shown_name(port.description))},
                            {"stable_name", json_text(shown_name(port.stable_name))}});
    }
    if (ports.empty()) reporter.line("Keine seriellen Ports gefunden.");
    reporter.document(document);
    return kExitOk;
}

}  // namespace zav::cli
