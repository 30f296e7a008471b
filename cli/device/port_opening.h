// Opening the port the user named, with a message that says what to do
// when it cannot be opened.
#pragma once

#include <memory>
#include <string>

#include "cli/platform/serial_line.h"
#include "core/link/port_failure.h"
#include "fleet/base/outcome.h"

namespace zav::cli {

// The port from --port, else from $ZAV_PORT; "" when neither names one.
std::string chosen_port(const std::string& option);

// What to say when neither names one (exit 1).
Outcome no_port_given();

// "Port %s konnte nicht geöffnet werden !" with the reason and the remedy:
// exit 3, or 1 for a name that is no port at all. kind says why.
Outcome open_port(const std::string& name, std::unique_ptr<SerialLine>& line, PortFailure& kind);
inline Outcome open_port(const std::string& name, std::unique_ptr<SerialLine>& line) {
    PortFailure kind;
    return open_port(name, line, kind);
}

// True for a failure that waiting does not mend (no right to the port, a
// name that is no port); a missing or busy port may come free.
bool port_failure_is_lasting(PortFailure kind);

}  // namespace zav::cli
