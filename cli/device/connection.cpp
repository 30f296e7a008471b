#include "cli/device/connection.h"

#include "cli/device/port_opening.h"
#include "cli/platform/serial_port.h"
#include "fleet/record/fitting_report.h"

namespace zav::cli {

Outcome connect_device(const std::string& port_option, const Reporter& reporter, Connection& connection) {
    const std::string port = chosen_port(port_option);
    if (port.empty()) return no_port_given();
    Outcome opened = open_port(port, connection.line);
    if (!opened.ok()) return opened;
    connection.progress = std::make_unique<ProgressBar>(reporter.progress_shown());
    connection.device = std::make_unique<DeviceLink>(*connection.line, system_clock(), *connection.progress);
    return opened;
}

Outcome identify_accepted(DeviceLink& device, const Reporter& reporter, Identification& found) {
    Outcome identified = identify_device(device, found);
    if (identified.ok()) {
        reporter.note(identified.message + " (V" + version_text(found.setup) + ", Setup " + setup_hex(found.setup) +
                      ", DT-Satz " + tone_set_text(found.setup) + ")");
    }
    return identified;
}

}  // namespace zav::cli
