// zavctl verify FILE [--series [--plan PLAN.csv] [--setup HEX]] [--retries N] [--log FILE] [--operator NAME]
//
// Verify reads the device and compares its configuration with the file, as
// "Verifizieren" does; a series does it for one device after another, the
// yearly check, each against the template or its row of the plan.
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "cli/app/command.h"
#include "cli/app/command_options.h"
#include "cli/commands/file_for_device.h"
#include "cli/commands/single_device.h"
#include "cli/device/programming.h"
#include "cli/output/config_file_io.h"
#include "cli/output/reporter.h"
#include "cli/platform/console.h"
#include "cli/series/planned_work.h"
#include "cli/series/series.h"
#include "cli/series/series_start.h"
#include "core/config/config_image.h"
#include "fleet/base/sha256.h"
#include "fleet/log/audit_line.h"
#include "fleet/plan/planned_records.h"
#include "fleet/record/config_record.h"
#include "fleet/record/fitting_report.h"
#include "fleet/record/record_fields.h"
#include "fleet/record/record_report.h"

namespace zav::cli {

namespace {

constexpr const char kHelp[] =
    "Aufruf: zavctl --port PORT verify DATEI [--retries N] [--log DATEI]\n"
    "                                  [--operator NAME]\n"
    "        zavctl --port PORT verify VORLAGE --series [--plan PLAN.csv]\n"
    "                                  [--setup HEX] [--log DATEI] ...\n"
    "\n"
    "Liest das Gerät und vergleicht seine Konfiguration mit der Datei, wie\n"
    "\"Verifizieren\" im Fenster: die erste abweichende Adresse, dann jedes Feld, das\n"
    "abweicht (Datei -> Gerät). Exit-Code 5 bei einem Unterschied. Auf das Gerät\n"
    "wird nichts geschrieben.\n"
    "\n"
    "Die jährliche Prüfung (--series):\n"
    "  Ein Gerät nach dem anderen wird gelesen und mit der Vorlage verglichen, mit\n"
    "  --plan mit der Vorlage und den Werten seiner Zeile (wie bei program). Das\n"
    "  Protokoll hält je Gerät \"gleich\" (verified) oder die abweichenden Felder mit\n"
    "  Namen und beiden Werten (differs). Anschließen, Abklemmen, Typ und Strg+C wie\n"
    "  bei \"program --series\"; mit einem Plan endet die Serie von selbst. Am Ende:\n"
    "  \"Serie beendet: 3 gleich, 1 verschieden (Gerät 2), 0 fehlgeschlagen.\"\n"
    "  Exit-Code 0, wenn jedes Gerät gleich ist; 5 bei einem Unterschied. Ohne\n"
    "  Plan: 4, wenn ein Gerät nicht geprüft werden konnte. Mit Plan bleibt dessen\n"
    "  Zeile offen für das nächste Gerät, und ein Gerät, das als gleich geprüft\n"
    "  wurde und wiederkommt, gilt nicht als nächste Zeile; Strg+C, solange Zeilen\n"
    "  offen sind: 130.\n"
    "\n"
    "Optionen:\n"
    "  --series          eine Serie: ein Gerät nach dem anderen am selben Port;\n"
    "                    --port darf dann mehrfach stehen: an jedem Port zugleich\n"
    "                    eine Serie, mit einem Plan, einem Protokoll, wie bei program\n"
    "  --plan PLAN.csv   (mit --series) die Werte jedes Geräts, wie bei program\n"
    "  --setup HEX       (mit --series) der Setup-Block, den jedes Gerät haben muss\n"
    "  --retries N       so oft wird eine Lesung, die an der Leitung scheitert,\n"
    "                    wiederholt (Vorgabe 2; 0: nie)\n"
    "%LOG%"
    "\n"
    "Beispiele:\n"
    "  zavctl --port /dev/ttyUSB0 verify wache-3.zcf\n"
    "  zavctl --port /dev/ttyUSB0 verify fahrzeug.toml --series --plan fahrzeuge.csv\n"
    "         --log pruefung-2027.jsonl\n";

// Each device of a series read and compared with its record: the yearly
// check.
class VerifyWork final : public PlannedWork {
public:
    VerifyWork(const Reporter& reporter, const std::string& file, int retries, PlannedRecords& records)
        : PlannedWork(records), reporter_(reporter), file_(file), retries_(retries) {}

    const char* command() const override { return "verify"; }

    DeviceDone work(DeviceLink& device, const Identification&, DeviceTurn& turn) override {
        const uint8_t* expected = records_.record_for(turn.row);
        std::memcpy(device.state.image.bytes, expected, kRecordBytes);
        int first_difference = -1;
        int reads = 0;
        const Reporter& reporter = turn.reporter != nullptr ? *turn.reporter : reporter_;
        std::string first_failure;
        const Outcome outcome = verify_reading_again(device, retries_, reporter, first_difference, reads, &first_failure);

        DeviceDone done;
        if (outcome.exit_code == kExitDiffers) {
            // Not this row's record, but maybe that of a row checked
            // already: then it is that row's device again. A verify
            // writes nothing, so that no other device can hold a record
            // unverified because of it.
            const Recognition recognised = turn.recognise(device.state.read_back, false);
            if (recognised.kind != Recognition::kNone) {
                done.holds_done_row = recognised.row;
                return done;
            }
        }
        done.outcome = outcome;
        done.tally = outcome.ok()                          ? DeviceOutcome::kVerified
                     : outcome.exit_code == kExitDiffers ? DeviceOutcome::kDiffers
                                                         : DeviceOutcome::kFailed;
        done.event = {{"verified", outcome.ok()},
                      {"verify_reads", reads},
                      {"file", json_name(file_)},
                      {"sha256", sha256_hex(expected, kRecordBytes)}};
        done.audit.file = file_;
        done.audit.retries = reads > 0 ? reads - 1 : 0;
        if (done.tally == DeviceOutcome::kFailed && first_failure != outcome.message) {
            done.audit.first_message = first_failure;
        }
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
        DeviceDone done = refused_device(outcome, file_);
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
    const std::string& file_;
    int retries_;
};

class VerifyCommand final : public Command {
public:
    VerifyCommand() : help_(with_shared_options(kHelp)) {}
    const char* name() const override { return "verify"; }
    const char* overview() const override {
        return "  verify DATEI             Gerät lesen und mit der Datei vergleichen\n"
               "    zavctl --port /dev/ttyUSB0 verify wache-3.zcf\n"
               "  verify DATEI --series    die jährliche Prüfung: jedes Gerät lesen und\n"
               "                           vergleichen, mit --plan mit seiner Zeile\n"
               "    zavctl --port /dev/ttyUSB0 verify fahrzeug.toml --series \\\n"
               "           --plan fahrzeuge.csv --log pruefung.jsonl\n";
    }
    const char* help() const override { return help_.c_str(); }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("DATEI", file_)->required();
        subcommand.add_flag("--series", series_);
        subcommand.add_option("--plan", plan_);
        subcommand.add_option("--setup", setup_);
        add_retries_option(subcommand, retries_);
        add_log_options(subcommand, log_);
    }
    bool takes_several_ports() const override { return series_; }
    int run(const CommonOptions& common) override {
        if (!series_) {
            const Reporter reporter(common.json, common.quiet);
            if (!plan_.empty()) return reporter.fail(only_with_series("--plan"));
            if (!setup_.empty()) return reporter.fail(only_with_series("--setup"));
        }
        return series_ ? verify_series(common) : verify_one(common);
    }

private:
    int verify_one(const CommonOptions& common);
    int verify_series(const CommonOptions& common);

    std::string help_;
    std::string file_;
    bool series_ = false;
    std::string plan_;   // --plan (series)
    std::string setup_;  // --setup: the series' type
    int retries_ = kDefaultRetries;
    LogOptions log_;
};

int VerifyCommand::verify_one(const CommonOptions& common) {
    const Reporter reporter(common.json, common.quiet);
    ConfigurationSource checked;
    Outcome outcome = read_configuration_file(file_, checked);
    if (!outcome.ok()) return reporter.fail(outcome);
    tell_warnings(reporter, checked);
    SingleDevice single(common, reporter, log_, "verify", file_);
    if (!single.open()) return single.exit_code();
    DeviceLink& device = single.device();
    nlohmann::json& document = single.document();
    outcome = take_file_for_device(checked, device, reporter);
    single.stamp_record();
    if (!outcome.ok()) return single.end(outcome);

    int first_difference = -1;
    int reads = 0;
    std::string first_failure;
    outcome = verify_reading_again(device, retries_, reporter, first_difference, reads, &first_failure);
    single.stamp_record();
    document["verified"] = outcome.ok();
    document["verify_reads"] = reads;
    SingleLog& log = single.log();
    log.line().retries = reads > 0 ? reads - 1 : 0;
    if (!outcome.ok() && outcome.exit_code != kExitDiffers && first_failure != outcome.message) {
        log.line().first_message = first_failure;
    }
    if (outcome.ok() || outcome.exit_code == kExitDiffers) {
        log.line().record = record_array(device.state.read_back);
        log.succeed_as(DeviceOutcome::kVerified);
        if (!outcome.ok()) {
            const uint8_t* expected = device.state.image.bytes;
            log.line().differences = logged_differences(
                compare_records(expected, device.state.read_back, expected[kSetupByte1], expected[kSetupByte2]));
        }
    }
    return single.end(outcome);
}

int VerifyCommand::verify_series(const CommonOptions& common) {
    const Reporter reporter(common.json, common.quiet);
    ConfigurationSource file;
    Outcome outcome = read_configuration_file(file_, file);
    if (!outcome.ok()) return reporter.fail(outcome);
    SeriesStart start;
    std::optional<PlannedRecords> records;
    outcome = start_planned_series(common, file, setup_, plan_, reporter, start, records);
    if (!outcome.ok()) return reporter.fail(outcome);
    outcome = open_series_log(log_, start);
    if (!outcome.ok()) return reporter.fail(outcome);
    VerifyWork work(reporter, file_, retries_, *records);
    return run_series(reporter, work, start.setup);
}

}  // namespace

std::unique_ptr<Command> make_verify_command() { return std::make_unique<VerifyCommand>(); }

}  // namespace zav::cli
