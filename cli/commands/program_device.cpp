#include "cli/commands/program_device.h"

#include <cstring>

#include "cli/app/setup_option.h"
#include "cli/commands/device_end.h"
#include "cli/commands/single_log.h"
#include "cli/device/connection.h"
#include "cli/device/guarded_programming.h"
#include "cli/device/port_opening.h"
#include "cli/device/programming.h"
#include "cli/output/backup_store.h"
#include "cli/output/config_file_io.h"
#include "cli/platform/console.h"
#include "core/setup/setup_block.h"
#include "fleet/record/config_record.h"
#include "fleet/record/fitting_report.h"

namespace zav::cli {

int program_one_device(const CommonOptions& common, const ProgramSettings& options, const RecordForDevice& given) {
    const Reporter reporter(common.json, common.quiet);
    uint8_t wanted[kSetupBlockBytes];
    if (!options.setup.empty()) {
        const Outcome given = parse_setup_option(options.setup, wanted);
        if (!given.ok()) return reporter.fail(given);
    }
    ConfigurationSource checked;
    Outcome outcome = read_configuration_file(options.file, checked);
    // The type --setup asks for is known now: a text for another fitting
    // is refused before the device is touched.
    if (outcome.ok() && !options.setup.empty()) {
        outcome = check_text_fitting(checked, {wanted[0], wanted[1]}, "--setup nennt");
    }
    if (!outcome.ok()) return reporter.fail(outcome);
    tell_warnings(reporter, checked);
    std::string backup_folder;
    if (!options.backup.none) {
        outcome = prepare_backup_folder(options.backup.folder, backup_folder);
        if (!outcome.ok()) return reporter.fail(outcome);
    }
    SingleLog log(options.log, given.log_command(), common.port, options.file);
    outcome = log.open();
    if (!outcome.ok()) return reporter.fail(outcome);

    const RecordStamp stamp = stamp_now(options.file, chosen_port(common.port));
    Connection connection;
    Identification found;
    outcome = reach_device(common, reporter, log, connection, found);
    if (connection.device == nullptr) return reporter.fail(outcome);
    if (!outcome.ok()) return log.finish(reporter, outcome, [&] { return reporter.fail(outcome); });
    DeviceLink& device = *connection.device;

    nlohmann::json document = identification_json(found.setup, found.valid, found.accepted);
    document["programmed"] = false;
    // As "Programmieren": the field check first (the command's own way of
    // taking the file), then the type check.
    outcome = given.take(checked, device, reporter);
    document.update(stamp_json(stamp, device.state.image.bytes));
    document["backup"] = nullptr;
    if (outcome.ok()) log.line().record = record_array(device.state.image.bytes);
    if (outcome.ok() && !options.setup.empty() && !setup_blocks_same_type(wanted, found.setup)) {
        outcome = type_conflict(wanted, found.setup);
    }
    if (!outcome.ok()) return log.finish(reporter, outcome, [&] { return tell_end(reporter, outcome, device, document); });

    ProgrammingRules rules;
    rules.retries = options.retries;
    std::memcpy(rules.type, found.setup, kSetupBlockBytes);
    BackupRules backup{!options.backup.none, backup_folder, "Geraet", stamp.started, options.backup.always};
    const GuardedResult result = back_up_and_program(device, rules, backup, reporter);
    document.update(stamp_json(stamp, device.state.image.bytes));
    // "programmed" stands beside the verify's verdict: a verify read that
    // failed does not make the device one that was never found.
    document["programmed"] = result.programming.programmed;
    document["attempts"] = result.programming.attempts;
    document["unchanged"] = result.unchanged;
    document["erased"] = result.erased;
    if (!result.backup.empty()) document["backup"] = json_name(result.backup);
    if (result.programming.verify_reads > 0 || result.unchanged) {
        document["verified"] = result.programming.verified;
        document["verify_reads"] = result.unchanged ? result.backup_reads : result.programming.verify_reads;
    }
    log.line().backup = result.backup;
    log.line().retries = result.retries();
    if (result.unchanged) log.succeed_as(DeviceOutcome::kUnchanged);
    const Outcome& ended = result.programming.outcome;
    return log.finish(reporter, ended, [&] { return tell_end(reporter, ended, device, document); });
}

}  // namespace zav::cli
