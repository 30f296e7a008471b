// zavctl read -o FILE [--force] [--log FILE] [--operator NAME]
// zavctl read --series -o DIR [--plan PLAN.csv] [--log FILE] [--operator NAME]
//
// Read keeps a device's configuration as the device holds it: one device
// into a file (or standard output), or a series of devices into a folder,
// each file named by the device's label and the date.
#include <cstring>
#include <string>
#include <vector>

#include "cli/app/command.h"
#include "cli/app/command_options.h"
#include "cli/commands/single_log.h"
#include "cli/device/connection.h"
#include "cli/device/guarded_programming.h"
#include "cli/output/backup_store.h"
#include "cli/output/config_file_io.h"
#include "cli/output/output_file.h"
#include "cli/output/reporter.h"
#include "cli/platform/console.h"
#include "cli/platform/user_folders.h"
#include "cli/series/planned_work.h"
#include "cli/series/series.h"
#include "cli/series/series_start.h"
#include "core/config/config_image.h"
#include "fleet/base/file_names.h"
#include "fleet/base/hex.h"
#include "fleet/base/json_text.h"
#include "fleet/base/sha256.h"
#include "fleet/record/config_record.h"
#include "fleet/record/fitting_report.h"

namespace zav::cli {

namespace {

constexpr const char kHelp[] =
    "Aufruf: zavctl --port PORT read -o DATEI [--force] [--log DATEI]\n"
    "                                [--operator NAME]\n"
    "        zavctl --port PORT read --series -o ORDNER [--plan PLAN.csv]\n"
    "                                [--log DATEI] [--operator NAME]\n"
    "\n"
    "Erkennt das Gerät wie \"Verbinden\", liest seine Konfiguration und sichert sie\n"
    "unverändert als Konfigurationsdatei, so wie das Gerät sie hält. Ein Gerät, das\n"
    "das Programm nicht annimmt, wird nicht gelesen. Die Ausgabe nennt die\n"
    "Software-Version und den Setup-Block des Geräts.\n"
    "\n"
    "Die Datei wird ganz oder gar nicht geschrieben. Eine vorhandene Datei bleibt,\n"
    "wie sie ist, außer mit --force; dann behält die neue ihre Zugriffsrechte. Ist\n"
    "DATEI ein symbolischer Verweis, bekommt sein Ziel den neuen Inhalt. Geräte,\n"
    "Ordner und FIFOs werden nie ersetzt. Ob die Datei geschrieben werden kann,\n"
    "prüft zavctl, bevor es das Gerät anspricht.\n"
    "\n"
    "Die Sicherung einer ganzen Flotte (--series):\n"
    "  Ein Gerät nach dem anderen wird gelesen und im Ordner ORDNER (wird angelegt)\n"
    "  gesichert, benannt nach Nummer (mit --plan: Bezeichnung) und Datum, etwa\n"
    "  Geraet-3_2026-12-08.zcf oder LF-20-Fahrer_2026-12-08.zcf; ist der Name\n"
    "  vergeben, kommt -2, -3, ... dazu. Anschließen, Abklemmen und Strg+C wie bei\n"
    "  \"program --series\"; mit einem Plan endet die Serie von selbst. Ein Gerät,\n"
    "  das sich nicht lesen lässt, lässt seine Zeile offen für das nächste.\n"
    "\n"
    "Optionen:\n"
    "  -o, --output DATEI  die Datei, in die gesichert wird; - schreibt sie auf die\n"
    "                    Standardausgabe (in eine Umleitung oder Pipe); mit --series\n"
    "                    der Ordner\n"
    "  --force           eine vorhandene Datei ersetzen\n"
    "  --series          eine Serie: ein Gerät nach dem anderen am selben Port;\n"
    "                    --port darf dann mehrfach stehen: an jedem Port zugleich\n"
    "                    eine Serie, mit einem Plan, einem Protokoll, wie bei program\n"
    "  --plan PLAN.csv   (mit --series) die Bezeichnungen der Geräte, in ihrer\n"
    "                    Reihenfolge (die erste Spalte des Plans)\n"
    "  --retries N       so oft wird eine Lesung, die an der Leitung scheitert,\n"
    "                    wiederholt (Vorgabe 2; 0: nie)\n"
    "%LOG%"
    "\n"
    "Beispiele:\n"
    "  zavctl --port /dev/ttyUSB0 read -o wache-3.zcf\n"
    "  zavctl --port /dev/ttyUSB0 read -o wache-3.zcf --force\n"
    "  zavctl --port /dev/ttyUSB0 read -o - | ssh archiv 'cat > wache-3.zcf'\n"
    "  zavctl --port /dev/ttyUSB0 read --series -o flotte-2026 --plan fahrzeuge.csv\n";

class ReadCommand final : public Command {
public:
    ReadCommand() : help_(with_shared_options(kHelp)) {}
    const char* name() const override { return "read"; }
    const char* overview() const override {
        return "  read -o DATEI            Konfiguration lesen und unverändert sichern\n"
               "    zavctl --port /dev/ttyUSB0 read -o wache-3.zcf\n"
               "  read --series -o ORDNER  jedes Gerät einer Serie in den Ordner sichern\n"
               "    zavctl --port /dev/ttyUSB0 read --series -o flotte-2026\n";
    }
    const char* help() const override { return help_.c_str(); }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("-o,--output", output_)->required();
        subcommand.add_flag("--force", force_);
        subcommand.add_flag("--series", series_);
        subcommand.add_option("--plan", plan_);
        add_retries_option(subcommand, retries_);
        add_log_options(subcommand, log_);
    }
    bool takes_several_ports() const override { return series_; }
    int run(const CommonOptions& common) override;

private:
    Outcome check_call(const CommonOptions& common) const;
    int read_one(const CommonOptions& common, const Reporter& reporter);
    int read_series(const CommonOptions& common, const Reporter& reporter);

    std::string help_;
    std::string output_;  // the file ("-": standard output); with --series, the folder
    bool force_ = false;  // an existing file may be replaced
    bool series_ = false;
    std::string plan_;    // --plan: the devices' labels and order (series)
    int retries_ = kDefaultRetries;
    LogOptions log_;
};

// Each device of a series kept in the folder, named by its label and the
// date; a device that cannot be read leaves its row open for the next.
class ReadWork final : public SeriesWork {
public:
    ReadWork(const Reporter& reporter, const std::string& folder, int retries)
        : reporter_(reporter), folder_(folder), retries_(retries) {}

    const char* command() const override { return "read"; }
    bool needs_one_type() const override { return false; }
    Outcome take_type(const uint8_t*) override { return success(); }

    DeviceDone work(DeviceLink& device, const Identification&, DeviceTurn& turn) override {
        int reads = 0;
        bool erased = false;
        const Reporter& reporter = turn.reporter != nullptr ? *turn.reporter : reporter_;
        Outcome outcome = read_device_copy(device, retries_, reporter, reads, erased);
        DeviceDone done;
        std::string path;
        if (outcome.ok()) {
            const std::string name = series_copy_file_name(turn.label, turn.time);
            const Outcome stored = store_configuration(folder_, name, device.state.read_back, path);
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
    const std::string& folder_;
    int retries_;
};

int ReadCommand::run(const CommonOptions& common) {
    const Reporter reporter(common.json, common.quiet);
    const Outcome call = check_call(common);
    if (!call.ok()) return reporter.fail(call);
    return series_ ? read_series(common, reporter) : read_one(common, reporter);
}

// Every refusal of the call itself, before anything is read or made. "-o
// -" is standard output: a file may go there, but not the files of a
// series, nor beside --json's document, nor onto a terminal.
Outcome ReadCommand::check_call(const CommonOptions& common) const {
    if (!series_ && !plan_.empty()) return only_with_series("--plan");
    if (!is_standard_output(output_)) return success();
    if (series_) return failure(kExitUsage, "Mit --series nennt -o den Ordner der Sicherungen, nicht -.");
    if (common.json) {
        return failure(kExitUsage, "--json und -o - schreiben beide auf die Standardausgabe.",
                       "Mit --json steht die Konfiguration als \"record\" im JSON.");
    }
    if (is_terminal(Stream::kOut)) {
        return failure(kExitUsage,
                       "-o - schreibt die Konfigurationsdatei auf die Standardausgabe, und die ist ein Terminal.",
                       "Umleiten, etwa: zavctl read -o - > wache-3.zcf");
    }
    return success();
}

int ReadCommand::read_one(const CommonOptions& common, const Reporter& reporter) {
    const std::string& file = output_;
    const bool to_standard_output = is_standard_output(file);
    // A file that could not be written is told before the device is bothered.
    Outcome outcome = check_output_path(file, force_);
    if (!outcome.ok()) return reporter.fail(outcome);
    SingleLog log(log_, "read", common.port, file);
    outcome = log.open();
    if (!outcome.ok()) return reporter.fail(outcome);

    // As the window connects before it reads: a device the program refuses
    // is not read, and the backup says which device it came from.
    Connection connection;
    Identification found;
    outcome = reach_device(common, reporter, log, connection, found);
    if (connection.device == nullptr) return reporter.fail(outcome);
    DeviceLink& device = *connection.device;
    if (outcome.exit_code == kExitRefused) {
        outcome.detail = "Das Gerät meldet Software-Version " + version_text(found.setup) + ", Setup-Block " +
                         setup_hex(found.setup) + ".";
    }
    if (outcome.ok()) {
        int reads = 0;
        bool erased = false;
        outcome = read_device_copy(device, retries_, reporter, reads, erased);
        log.line().retries = reads > 0 ? reads - 1 : 0;
    }
    if (!outcome.ok()) return log.finish(reporter, outcome, [&] { return reporter.fail(outcome); });
    // The copy as the device holds it: a faithful backup, even of a record
    // the window would refuse to save.
    ConfigImage copy;
    set_image_start_values(copy);
    std::memcpy(copy.bytes, device.state.read_back, kRecordBytes);
    const Outcome saved = save_configuration_file(file, copy, force_);
    if (!saved.ok()) return log.finish(reporter, saved, [&] { return reporter.fail(saved); });
    log.line().record = record_array(copy.bytes);

    return log.finish(reporter, outcome, [&] {
        // With -o - standard output carries the file; the words go beside it.
        auto tell = [&](const std::string& text) { to_standard_output ? reporter.note(text) : reporter.line(text); };
        tell(outcome.message);
        tell("Datei             " + (to_standard_output ? std::string("- (die Standardausgabe)") : shown_name(file)));
        tell("Software-Version  " + version_text(found.setup));
        tell("Setup-Block       " + setup_hex(found.setup));
        reporter.document({{"message", json_text(outcome.message)}, {"file", json_name(file)},
                           {"version", version_text(found.setup)}, {"setup", setup_hex(found.setup)},
                           {"record", hex_text(copy.bytes, kRecordBytes)}});
        return kExitOk;
    });
}

int ReadCommand::read_series(const CommonOptions& common, const Reporter& reporter) {
    SeriesStart start;
    Outcome outcome = start_series(common, std::string(), plan_, start);
    if (!outcome.ok()) return reporter.fail(outcome);
    std::string error;
    if (!make_folders(output_, error)) {
        return reporter.fail(failure(kExitFile, "Ordner für die Sicherungen nicht nutzbar",
                                     shown_name(output_) + ": " + error));
    }
    outcome = open_series_log(log_, start);
    if (!outcome.ok()) return reporter.fail(outcome);
    ReadWork work(reporter, output_, retries_);
    return run_series(reporter, work, start.setup);
}

}  // namespace

std::unique_ptr<Command> make_read_command() { return std::make_unique<ReadCommand>(); }

}  // namespace zav::cli
