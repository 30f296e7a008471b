#include "cli/commands/program_device.h"

#include <cstring>

#include "cli/app/setup_option.h"
#include "cli/commands/single_device.h"
#include "cli/device/guarded_programming.h"
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
    SingleDevice single(common, reporter, options.log, given.log_command(), options.file);
    if (!single.open()) return single.exit_code();
    DeviceLink& device = single.device();
    const Identification& found = single.found();
    nlohmann::json& document = single.document();
    single.log().line().written = false;

    document["programmed"] = false;
    // As "Programmieren": the field check first (the command's own way of
    // taking the file), then the type check.
    outcome = given.take(checked, device, reporter);
    single.stamp_record();
    document["backup"] = nullptr;
    if (outcome.ok()) single.log().line().record = record_array(device.state.image.bytes);
    if (outcome.ok() && !options.setup.empty() && !setup_blocks_same_type(wanted, found.setup)) {
        outcome = type_conflict(wanted, found.setup);
    }
    if (!outcome.ok()) return single.end(outcome);

    ProgrammingRules rules;
    rules.retries = options.retries;
    std::memcpy(rules.type, found.setup, kSetupBlockBytes);
    BackupRules backup{!options.backup.none, backup_folder, "Geraet", single.started(), options.backup.always};
    const GuardedResult result = back_up_and_program(device, rules, backup, reporter);
    single.stamp_record();
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
    SingleLog& log = single.log();
    log.line().backup = result.backup;
    log.line().retries = result.retries();
    log.line().first_message = result.programming.first_failure;
    log.line().written = result.programming.programmed || result.programming.last_block_sent;
    if (result.unchanged) log.succeed_as(DeviceOutcome::kUnchanged);
    return single.end(result.programming.outcome);
}

}  // namespace zav::cli
