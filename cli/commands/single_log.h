// The one line a single read, program, restore or verify adds to the audit
// log (--log), filled as the command goes, and written before the end is
// told.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "cli/app/command_options.h"
#include "cli/app/common_options.h"
#include "cli/device/connection.h"
#include "cli/device/device_session.h"
#include "cli/output/audit_log.h"
#include "cli/output/reporter.h"
#include "fleet/base/outcome.h"
#include "fleet/log/audit_line.h"
#include "fleet/log/device_outcome.h"

namespace zav::cli {

class SingleLog {
public:
    // command: the log's word ("read", "program", "restore", "verify");
    // file: the file given, or the one read into.
    SingleLog(const LogOptions& options, const char* command, const std::string& port_option,
              const std::string& file);

    // The log opened (made if missing) before the device is touched: a log
    // that cannot be written is told first. Nothing without --log.
    Outcome open();

    AuditLine& line() { return line_; }
    // The outcome a success is logged with: read for read, else programmed
    // unless this says unchanged or verified.
    void succeed_as(DeviceOutcome outcome) { success_ = outcome; }

    // The setup block, when the device sent one (even one the program
    // refuses).
    void identified(const Identification& found, const Outcome& outcome);

    // Logs the end, then tells it (tell returns the exit code); a line
    // that could not be logged makes the command fail, after it is told.
    int finish(const Reporter& reporter, const Outcome& outcome, const std::function<int()>& tell);

private:
    const LogOptions& options_;
    AuditLog log_;
    AuditLine line_;
    DeviceOutcome success_;
    uint32_t started_ms_;
};

// The device of a single read, program, restore or verify: the port of
// --port or $ZAV_PORT opened, then the device identified and accepted, its
// setup block in the log. When the port cannot be opened, connection.device
// stays empty: nothing was asked of a device, and there is nothing to log.
Outcome reach_device(const CommonOptions& common, const Reporter& reporter, SingleLog& log, Connection& connection,
                     Identification& found);

}  // namespace zav::cli
