#include "cli/device/port_opening.h"

#include <cstdio>
#include <cstdlib>

#include "cli/device/traced_line.h"
#include "cli/platform/console.h"
#include "cli/platform/serial_port.h"
#include "core/link/link_messages.h"

namespace zav::cli {

namespace {

// Debian gives serial ports to the group dialout; whoever belongs to it may
// use them. A port of another group (a udev rule, a pseudo-terminal) is
// named by its owner and group, and the user knows best which to ask for.
std::string permission_remedy(const PortOpenFailure& why) {
    if (why.group == "dialout") {
        return "Keine Berechtigung: der Benutzer muss in der Gruppe dialout sein "
               "(sudo usermod -aG dialout $USER, dann neu anmelden).";
    }
    if (!why.group.empty()) {
        return "Keine Berechtigung: der Port gehört dem Benutzer " + shown_name(why.owner) + " und der Gruppe " +
               shown_name(why.group) + ".";
    }
    return "Keine Berechtigung für den Port.";
}

std::string remedy(const PortOpenFailure& why) {
    switch (why.kind) {
        case PortFailure::kBadName: return "Unter Windows heißen die Ports COM1 bis COM256.";
        case PortFailure::kMissing:
            return "Den Port gibt es nicht: ist der Adapter eingesteckt? \"zavctl ports\" zeigt die Ports.";
        case PortFailure::kBusy: return "Ein anderes Programm benutzt den Port.";
        case PortFailure::kNoPermission: return permission_remedy(why);
        case PortFailure::kNotSerial: return "Das ist keine serielle Schnittstelle.";
        case PortFailure::kNone:
        case PortFailure::kOther: break;
    }
    return "";
}

// Why, for the trace: a few words that name nobody (the advice on
// permissions names the port's owner and group).
std::string failure_in_trace(const PortOpenFailure& why) {
    switch (why.kind) {
        case PortFailure::kBadName: return "kein Portname";
        case PortFailure::kMissing: return "nicht vorhanden";
        case PortFailure::kBusy: return "belegt";
        case PortFailure::kNoPermission: return "keine Berechtigung";
        case PortFailure::kNotSerial: return "keine serielle Schnittstelle";
        case PortFailure::kNone:
        case PortFailure::kOther: break;
    }
    return why.detail.empty() ? "nicht geöffnet" : why.detail;
}

}  // namespace

std::string chosen_port(const std::string& option) {
    if (!option.empty()) return option;
    const char* from_environment = std::getenv("ZAV_PORT");
    return from_environment != nullptr ? from_environment : "";
}

bool port_failure_is_lasting(PortFailure kind) {
    return kind == PortFailure::kBadName || kind == PortFailure::kNoPermission;
}

Outcome no_port_given() {
    return failure(kExitUsage, "Kein Port angegeben: --port PORT angeben oder die Umgebungsvariable ZAV_PORT setzen.",
                   "\"zavctl ports\" zeigt die Ports dieses Rechners.");
}

Outcome open_port(const std::string& name, std::unique_ptr<SerialLine>& line, PortFailure& kind) {
    PortOpenFailure why;
    line = open_serial_port(name, why);
    kind = why.kind;
    if (line) {
        line = traced_port(std::move(line), name, system_clock());
        return success();
    }

    char message[300];
    std::snprintf(message, sizeof message, kPortOpenFailed, shown_name(name).c_str());
    std::string detail = remedy(why);
    // The system's words would only repeat "another program uses the port",
    // "no permission" or "there is no such port".
    const bool said = why.kind == PortFailure::kBusy || why.kind == PortFailure::kNoPermission ||
                      why.kind == PortFailure::kMissing;
    if (!why.detail.empty() && !said) {
        detail += (detail.empty() ? "" : " ") + std::string("(") + why.detail + ")";
    }
    trace_open_failure(name, failure_in_trace(why));
    return failure(why.kind == PortFailure::kBadName ? kExitUsage : kExitLink, message, detail);
}

}  // namespace zav::cli
