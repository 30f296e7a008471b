// ports: the serial ports of this computer, with the adapter's name where
// the system knows it.
#include <algorithm>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/port_list.h"
#include "cli/reporter.h"
#include "cli/text_wrap.h"

namespace zav::cli {

int command_ports(const CommonOptions& common) {
    const Reporter reporter(common.json, common.quiet);
    const std::vector<PortInfo> ports = list_serial_ports();

    size_t width = 0;
    for (const PortInfo& port : ports) width = std::max(width, port.name.size());
    nlohmann::json ports_json = nlohmann::json::array();
    for (const PortInfo& port : ports) {
        const std::string column(width + 2, ' ');
        std::string line = shown_name(port.name);
        if (!port.description.empty() || !port.stable_name.empty()) line.append(width + 2 - port.name.size(), ' ');
        line += shown_name(port.description);
        if (!port.stable_name.empty()) {
            const std::string stable = shown_name(port.stable_name);
            // The stable name (/dev/serial/by-id/...) is long: below, in the
            // description's column, when the line would pass 80 columns.
            if (port.description.empty()) {
                line += stable;
            } else if (line.size() + 2 + stable.size() <= kTextColumns) {
                line += "  " + stable;
            } else {
                reporter.line(line);
                line = column + stable;
            }
        }
        reporter.line(line);
        ports_json.push_back({{"name", json_name(port.name)},
                              {"description", json_name(port.description)},
                              {"stable_name", json_name(port.stable_name)}});
    }
    if (ports.empty()) reporter.line("Keine seriellen Ports gefunden.");
    reporter.document({{"ports", ports_json}});
    return kExitOk;
}

}  // namespace zav::cli
