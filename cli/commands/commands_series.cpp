// The three series: program (each device given the template, or its row of
// the plan, after a backup), verify (each device compared with it, the
// yearly check) and read (each device's configuration kept in a folder).
// cli/series/series.h finds the devices, numbers them and tells them; each work
// here does one device.
#include <cstring>
#include <memory>
#include <vector>

#include "cli/app/commands.h"
#include "cli/app/setup_option.h"
#include "cli/device/device_session.h"
#include "cli/device/guarded_programming.h"
#include "cli/device/port_opening.h"
#include "cli/device/programming.h"
#include "cli/output/audit_log.h"
#include "cli/output/backup_store.h"
#include "cli/output/config_file_io.h"
#include "cli/output/console.h"
#include "cli/output/reporter.h"
#include "cli/platform/user_folders.h"
#include "cli/series/series.h"
#include "cli/series/series_plan.h"
#include "core/config/config_commands.h"
#include "core/config/config_form.h"
#include "fleet/base/file_names.h"
#include "fleet/base/sha256.h"
#include "fleet/base/time_stamps.h"
#include "fleet/record/config_record.h"
#include "fleet/record/record_fields.h"
#include "fleet/record/record_report.h"

namespace zav::cli {

namespace {

std::string retries_text(int attempts) {
    if (attempts <= 1) return "";
    return attempts == 2 ? " (nach 1 Wiederholung)" : " (nach " + std::to_string(attempts - 1) + " Wiederholungen)";
}

// A device the series refused before the work, for any work.
DeviceDone refused_device(const Outcome& outcome, const std::string& file) {
    DeviceDone done;
    done.outcome = outcome;
    done.tally = DeviceOutcome::kFailed;
    done.audit.file = file;
    done.event = {{"file", json_name(file)}};
    return done;
}

// A series whose devices each get a record of the plan (or the one file):
// all of one type, which the records are fitted to before the first device.
class PlannedWork : public SeriesWork {
public:
    explicit PlannedWork(PlannedRecords& records) : records_(records) {}

    bool needs_one_type() const final { return true; }

    Outcome take_type(const uint8_t* setup) final {
        std::memcpy(type_, setup, kSetupBlockBytes);
        return records_.take_type(setup);
    }

    const uint8_t* row_record(const PlanRow* row) const final { return records_.record_for(row); }

protected:
    PlannedRecords& records_;
    uint8_t type_[kSetupBlockBytes] = {};
};

// --- program ---

class ProgramWork final : public PlannedWork {
public:
    ProgramWork(const Reporter& reporter, const ProgramOptions& options, PlannedRecords& records,
                std::string backup_folder)
        : PlannedWork(records), reporter_(reporter), options_(options), backup_folder_(std::move(backup_folder)) {}

    const char* command() const override { return "program"; }

    DeviceDone work(DeviceLink& device, const Identification&, const DeviceTurn& turn) override {
        const uint8_t* record = records_.record_for(turn.row);
        ConfigImage& image = device.state.image;
        std::memcpy(image.bytes, record, kRecordBytes);
        std::memcpy(image.bytes + kSetupBlock, type_, kSetupBlockBytes);
        ProgrammingRules rules;
        rules.retries = options_.retries;
        rules.series = true;
        std::memcpy(rules.type, type_, kSetupBlockBytes);
        BackupRules backup{!options_.no_backup, backup_folder_, turn.label, turn.time, options_.always};
        DoneAlready done_already;
        if (turn.rows != nullptr) {
            done_already = [&turn](const uint8_t* copy) { return turn.done_row_holding(copy) != nullptr; };
        }
        const GuardedResult result = back_up_and_program(device, rules, backup, reporter_, done_already);
        const ProgrammingResult& programming = result.programming;

        DeviceDone done;
        if (result.done_already) {
            done.holds_done_row = turn.done_row_holding(device.state.read_back);
            return done;
        }
        done.outcome = programming.outcome;
        done.tally = result.unchanged            ? DeviceOutcome::kUnchanged
                     : programming.outcome.ok() ? DeviceOutcome::kProgrammed
                                                : DeviceOutcome::kFailed;
        done.line_tail = retries_text(programming.attempts);
        if (!result.backup.empty()) done.details = "Gesichert: " + shown_name(result.backup);
        if (result.erased) done.details = "Keine Sicherung: " + std::string(kNoConfiguration);
        done.ends_series = result.backup_failed;

        done.event = {{"programmed", programming.programmed},
                      {"attempts", programming.attempts},
                      {"file", json_name(options_.file)},
                      {"sha256", sha256_hex(record, kRecordBytes)},
                      {"backup", result.backup.empty() ? nlohmann::json() : nlohmann::json(json_name(result.backup))},
                      {"erased", result.erased}};
        if (programming.verify_reads > 0 || result.unchanged) {
            done.event["verified"] = programming.verified;
            done.event["verify_reads"] = result.unchanged ? result.backup_reads : programming.verify_reads;
            if (programming.first_difference >= 0) done.event["first_difference"] = programming.first_difference;
        }
        done.audit.file = options_.file;
        done.audit.record = record_array(record);
        done.audit.backup = result.backup;
        done.audit.retries = result.retries();
        return done;
    }

    DeviceDone refused(const DeviceTurn& turn, const Outcome& outcome) override {
        DeviceDone done = refused_device(outcome, options_.file);
        done.event["programmed"] = false;
        done.event["attempts"] = 0;
        if (const uint8_t* record = records_.record_for(turn.row)) {
            done.event["sha256"] = sha256_hex(record, kRecordBytes);
            done.audit.record = record_array(record);
        }
        return done;
    }

    std::vector<SummaryPart> summary_parts() const override {
        return {{DeviceOutcome::kProgrammed, "programmiert", true, nullptr},
                {DeviceOutcome::kUnchanged, "unverändert", false, nullptr},
                {DeviceOutcome::kFailed, "fehlgeschlagen", true, "failed_devices"}};
    }

    bool row_done_by(DeviceOutcome tally) const override {
        return tally == DeviceOutcome::kProgrammed || tally == DeviceOutcome::kUnchanged;
    }
    bool row_record_held_by(DeviceOutcome tally) const override { return row_done_by(tally); }
    bool continues_from_log() const override { return true; }

private:
    const Reporter& reporter_;
    const ProgramOptions& options_;
    std::string backup_folder_;
};

// --- verify ---

class VerifyWork final : public PlannedWork {
public:
    VerifyWork(const Reporter& reporter, const VerifyOptions& options, PlannedRecords& records)
        : PlannedWork(records), reporter_(reporter), options_(options) {}

    const char* command() const override { return "verify"; }

    DeviceDone work(DeviceLink& device, const Identification&, const DeviceTurn& turn) override {
        const uint8_t* expected = records_.record_for(turn.row);
        std::memcpy(device.state.image.bytes, expected, kRecordBytes);
        int first_difference = -1;
        int reads = 0;
        const Outcome outcome = verify_reading_again(device, options_.retries, reporter_, first_difference, reads);

        DeviceDone done;
        if (outcome.exit_code == kExitDiffers) {
            // Not this row's record, but maybe that of a row checked
            // already: then it is that row's device again.
            done.holds_done_row = turn.done_row_holding(device.state.read_back);
            if (done.holds_done_row != nullptr) return done;
        }
        done.outcome = outcome;
        done.tally = outcome.ok()                          ? DeviceOutcome::kVerified
                     : outcome.exit_code == kExitDiffers ? DeviceOutcome::kDiffers
                                                         : DeviceOutcome::kFailed;
        done.event = {{"verified", outcome.ok()},
                      {"verify_reads", reads},
                      {"file", json_name(options_.file)},
                      {"sha256", sha256_hex(expected, kRecordBytes)}};
        done.audit.file = options_.file;
        done.audit.retries = reads > 0 ? reads - 1 : 0;
        if (done.tally != DeviceOutcome::kFailed) done.audit.record = record_array(device.state.read_back);
        if (done.tally == DeviceOutcome::kDiffers) {
            const RecordDifferences differences = compare_records(expected, device.state.read_back, type_[0], type_[1]);
            done.details = std::string(turn.row != nullptr ? "Unterschiede (Vorlage und Plan -> Gerät):\n"
                                                           : "Unterschiede (Datei -> Gerät):\n") +
                           indented(differences_report(differences));
            done.event["first_difference"] = first_difference;
            done.event["differences"] = differences_json(differences, "file", "device");
            done.audit.differences = logged_differences(differences);
        }
        return done;
    }

    DeviceDone refused(const DeviceTurn&, const Outcome& outcome) override {
        DeviceDone done = refused_device(outcome, options_.file);
        done.event["verified"] = false;
        return done;
    }

    std::vector<SummaryPart> summary_parts() const override {
        return {{DeviceOutcome::kVerified, "gleich", true, nullptr},
                {DeviceOutcome::kDiffers, "verschieden", true, "differing_devices"},
                {DeviceOutcome::kFailed, "fehlgeschlagen", true, "failed_devices"}};
    }

    bool row_done_by(DeviceOutcome tally) const override {
        return tally == DeviceOutcome::kVerified || tally == DeviceOutcome::kDiffers;
    }
    // A device that differed from its row is not known again by what it
    // held: another device may well hold the same (an old template).
    bool row_record_held_by(DeviceOutcome tally) const override { return tally == DeviceOutcome::kVerified; }

private:
    static std::string indented(const std::string& lines) {
        std::string text;
        size_t begin = 0;
        while (begin < lines.size()) {
            size_t end = lines.find('\n', begin);
            if (end == std::string::npos) end = lines.size();
            text += "  " + lines.substr(begin, end - begin) + "\n";
            begin = end + 1;
        }
        return text;
    }

    const Reporter& reporter_;
    const VerifyOptions& options_;
};

// --- read ---

class ReadWork final : public SeriesWork {
public:
    ReadWork(const Reporter& reporter, const ReadOptions& options) : reporter_(reporter), options_(options) {}

    const char* command() const override { return "read"; }
    bool needs_one_type() const override { return false; }
    Outcome take_type(const uint8_t*) override { return success(); }

    DeviceDone work(DeviceLink& device, const Identification&, const DeviceTurn& turn) override {
        int reads = 0;
        bool erased = false;
        Outcome outcome = read_device_copy(device, options_.retries, reporter_, reads, erased);
        DeviceDone done;
        std::string path;
        if (outcome.ok()) {
            const std::string name = file_name_part(turn.label) + "_" + date_of(turn.time) + ".zcf";
            const Outcome stored = store_configuration(options_.output, name, device.state.read_back, path);
            if (!stored.ok()) {
                outcome = stored;
                done.ends_series = true;
            }
        } else if (erased) {
            outcome.detail = "Nichts gesichert.";
        }
        done.outcome = outcome;
        done.tally = outcome.ok() ? DeviceOutcome::kRead : DeviceOutcome::kFailed;
        if (!path.empty()) done.details = "Gesichert: " + shown_name(path);
        done.event = {{"file", path.empty() ? nlohmann::json() : nlohmann::json(json_name(path))}, {"reads", reads}};
        done.audit.file = path;
        done.audit.retries = reads > 0 ? reads - 1 : 0;
        if (outcome.ok()) {
            done.audit.record = record_array(device.state.read_back);
            done.event["sha256"] = sha256_hex(device.state.read_back, kRecordBytes);
        }
        return done;
    }

    DeviceDone refused(const DeviceTurn&, const Outcome& outcome) override {
        DeviceDone done = refused_device(outcome, std::string());
        done.event["file"] = nullptr;
        return done;
    }

    std::vector<SummaryPart> summary_parts() const override {
        return {{DeviceOutcome::kRead, "gesichert", true, nullptr},
                {DeviceOutcome::kFailed, "fehlgeschlagen", true, "failed_devices"}};
    }

    bool row_done_by(DeviceOutcome tally) const override { return tally == DeviceOutcome::kRead; }

private:
    const Reporter& reporter_;
    const ReadOptions& options_;
};

// --- what every series needs before its first device ---

struct SeriesStart {
    Plan plan;
    bool with_plan = false;
    uint8_t given_type[kSetupBlockBytes] = {};
    bool with_type = false;
    AuditLog log;
    SeriesSetup setup;
};

// The type, the plan and the port, each checked before any device is
// looked for.
Outcome start_series(const CommonOptions& common, const std::string& setup_text, const std::string& plan_path,
                     SeriesStart& start) {
    if (!setup_text.empty()) {
        const Outcome given = parse_setup_option(setup_text, start.given_type);
        if (!given.ok()) return given;
        start.with_type = true;
    }
    if (!plan_path.empty()) {
        const Outcome read = read_plan(plan_path, start.plan);
        if (!read.ok()) return read;
        start.with_plan = true;
    }
    start.setup.port = chosen_port(common.port);
    if (start.setup.port.empty()) return no_port_given();
    start.setup.plan = start.with_plan ? &start.plan : nullptr;
    start.setup.plan_path = plan_path;
    start.setup.given_type = start.with_type ? start.given_type : nullptr;
    return success();
}

// The log, last of all that is checked before the first device, so that a
// series refused at its start leaves no log behind: the one given, or one
// of the series' own.
Outcome open_series_log(const LogOptions& log, SeriesStart& start) {
    const std::string path = log.file.empty() ? default_series_log_name(local_time_now_iso8601()) : log.file;
    const Outcome opened = start.log.open(path);
    if (!opened.ok()) return opened;
    start.setup.log = &start.log;
    start.setup.operator_name = operator_of(log.operator_name);
    return success();
}

}  // namespace

int command_program_series(const CommonOptions& common, const ProgramOptions& options) {
    const Reporter reporter(common.json, common.quiet);
    ConfigurationSource file;
    Outcome outcome = read_configuration_file(options.file, file);
    if (!outcome.ok()) return reporter.fail(outcome);
    std::string backup_folder;
    if (!options.no_backup) {
        outcome = prepare_backup_folder(options.backup_dir, backup_folder);
        if (!outcome.ok()) return reporter.fail(outcome);
    }
    SeriesStart start;
    outcome = start_series(common, options.setup, options.plan, start);
    if (!outcome.ok()) return reporter.fail(outcome);
    PlannedRecords records(file, start.setup.plan, shown_name(options.plan));
    outcome = records.check_rows();
    if (!outcome.ok()) return reporter.fail(outcome);
    for (const std::string& warning : records.warnings()) reporter.note("Warnung: " + warning);
    outcome = open_series_log(options.log, start);
    if (!outcome.ok()) return reporter.fail(outcome);
    if (start.with_plan) {
        start.setup.rows_done = rows_done_in_log(records, start.plan, start.log, start.setup.given_type, reporter);
    }
    ProgramWork work(reporter, options, records, backup_folder);
    return run_series(reporter, work, start.setup);
}

int command_verify_series(const CommonOptions& common, const VerifyOptions& options) {
    const Reporter reporter(common.json, common.quiet);
    ConfigurationSource file;
    Outcome outcome = read_configuration_file(options.file, file);
    if (!outcome.ok()) return reporter.fail(outcome);
    SeriesStart start;
    outcome = start_series(common, options.setup, options.plan, start);
    if (!outcome.ok()) return reporter.fail(outcome);
    PlannedRecords records(file, start.setup.plan, shown_name(options.plan));
    outcome = records.check_rows();
    if (!outcome.ok()) return reporter.fail(outcome);
    for (const std::string& warning : records.warnings()) reporter.note("Warnung: " + warning);
    outcome = open_series_log(options.log, start);
    if (!outcome.ok()) return reporter.fail(outcome);
    VerifyWork work(reporter, options, records);
    return run_series(reporter, work, start.setup);
}

int command_read_series(const CommonOptions& common, const ReadOptions& options) {
    const Reporter reporter(common.json, common.quiet);
    SeriesStart start;
    Outcome outcome = start_series(common, std::string(), options.plan, start);
    if (!outcome.ok()) return reporter.fail(outcome);
    std::string error;
    if (!make_folders(options.output, error)) {
        return reporter.fail(failure(kExitFile, "Ordner für die Sicherungen nicht nutzbar",
                                     shown_name(options.output) + ": " + error));
    }
    outcome = open_series_log(options.log, start);
    if (!outcome.ok()) return reporter.fail(outcome);
    ReadWork work(reporter, options);
    return run_series(reporter, work, start.setup);
}

}  // namespace zav::cli
