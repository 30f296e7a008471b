// The device of a single command (identify, read, program, restore,
// verify): the port the user named, opened, with a device session on it.
#pragma once

#include <memory>
#include <string>

#include "cli/device/device_session.h"
#include "cli/output/progress.h"
#include "cli/output/reporter.h"
#include "cli/platform/serial_line.h"
#include "fleet/base/outcome.h"

namespace zav::cli {

// An open port and a device behind it, for one command.
struct Connection {
    std::unique_ptr<SerialLine> line;
    std::unique_ptr<ProgressBar> progress;
    std::unique_ptr<DeviceLink> device;
};

// Opens the port of --port (port_option) or $ZAV_PORT; a progress bar where
// the reporter shows one.
Outcome connect_device(const std::string& port_option, const Reporter& reporter, Connection& connection);

// Identifies the device and goes on only with one the program accepts,
// noting what it is ("ZAV 160 erkannt (V2.30, Setup ..., DT-Satz ...)").
Outcome identify_accepted(DeviceLink& device, const Reporter& reporter, Identification& found);

}  // namespace zav::cli
