#include "cli/commands/single_log.h"

#include <cstring>

#include "cli/device/port_opening.h"
#include "cli/platform/serial_port.h"
#include "fleet/base/time_stamps.h"

namespace zav::cli {

SingleLog::SingleLog(const LogOptions& options, const char* command, const std::string& port_option,
                     const std::string& file)
    : options_(options),
      success_(command == std::string("read") ? DeviceOutcome::kRead : DeviceOutcome::kProgrammed),
      started_ms_(system_clock().now_ms()) {
    line_.time = local_time_now_iso8601();
    line_.command = command;
    line_.port = chosen_port(port_option);
    line_.file = file;
}

Outcome SingleLog::open() {
    if (options_.file.empty()) return success();
    line_.operator_name = operator_of(options_.operator_name);
    line_.adapter = adapter_name(line_.port);
    return log_.open(options_.file);
}

void SingleLog::identified(const Identification& found, const Outcome& outcome) {
    if (!outcome.ok() && outcome.exit_code != kExitRefused) return;
    line_.setup.emplace();
    std::memcpy(line_.setup->data(), found.setup, kSetupBlockBytes);
}

int SingleLog::finish(const Reporter& reporter, const Outcome& outcome, const std::function<int()>& tell) {
    Outcome logged = success();
    if (log_.active()) {
        AuditLine& audit = line_;
        audit.outcome = outcome.ok()                        ? success_
                        : outcome.exit_code == kExitDiffers ? DeviceOutcome::kDiffers
                                                            : DeviceOutcome::kFailed;
        audit.exit_code = outcome.exit_code;
        audit.message = outcome.message;
        audit.duration_ms = system_clock().now_ms() - started_ms_;
        logged = log_.append(audit);
    }
    const int exit_code = tell();
    if (!logged.ok()) return reporter.fail(logged);
    return exit_code;
}

Outcome reach_device(const CommonOptions& common, const Reporter& reporter, SingleLog& log, Connection& connection,
                     Identification& found) {
    const Outcome connected = connect_device(common.port, reporter, connection);
    if (!connected.ok()) return connected;
    const Outcome identified = identify_accepted(*connection.device, reporter, found);
    log.identified(found, identified);
    return identified;
}

}  // namespace zav::cli
