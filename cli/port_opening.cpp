#include "cli/port_opening.h"

#include <cstdio>
#include <cstdlib>

#include "cli/console.h"
#include "cli/serial_port.h"
#include "core/link/link_messages.h"

namespace zav::cli {

namespace {

const char* remedy(PortError error) {
    switch (error) {
        case PortError::kBadName: return "Unter Windows heißen die Ports COM1 bis COM256.";
        case PortError::kMissing:
            return "Den Port gibt es nicht: ist der Adapter eingesteckt? \"zavctl ports\" zeigt die Ports.";
        case PortError::kBusy: return "Ein anderes Programm benutzt den Port.";
        case PortError::kNoPermission:
            return "Keine Berechtigung: der Benutzer muss in der Gruppe dialout sein "
                   "(sudo usermod -aG dialout $USER, dann neu anmelden).";
        case PortError::kNotSerial: return "Das ist keine serielle Schnittstelle.";
        case PortError::kNone:
        case PortError::kOther: break;
    }
    return "";
}

}  // namespace

std::string chosen_port(const std::string& option) {
    if (!option.empty()) return option;
    const char* from_environment = std::getenv("ZAV_PORT");
    return from_environment != nullptr ? from_environment : "";
}

bool port_failure_is_lasting(const Outcome& failure) {
    return failure.exit_code == kExitUsage || failure.detail.rfind(remedy(PortError::kNoPermission), 0) == 0;
}

Outcome no_port_given() {
    return failure(kExitUsage, "Kein Port angegeben: --port PORT, oder die Umgebungsvariable ZAV_PORT setzen.",
                   "\"zavctl ports\" zeigt die Ports dieses Rechners.");
}

Outcome open_port(const std::string& name, std::unique_ptr<SerialLine>& line) {
    PortOpenFailure why;
    line = open_serial_port(name, why);
    if (line) return success();

    char message[300];
    std::snprintf(message, sizeof message, kPortOpenFailed, shown_name(name).c_str());
    std::string detail = remedy(why.error);
    if (!why.detail.empty()) detail += (detail.empty() ? "" : " ") + std::string("(") + why.detail + ")";
    return failure(why.error == PortError::kBadName ? kExitUsage : kExitLink, message, detail);
}

}  // namespace zav::cli
