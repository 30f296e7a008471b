// zavctl program FILE [--series [--plan PLAN.csv]] [--setup HEX] [--retries N]
//                     [--backup-dir DIR] [--no-backup] [--always] [--log FILE] [--operator NAME]
//
// Program gives a device the file as the configuration window would,
// after a backup, and verifies it (commands/program_device.h); a series
// gives each device the template, or its row of the plan.
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/app/command.h"
#include "cli/app/command_options.h"
#include "cli/commands/file_for_device.h"
#include "cli/commands/program_device.h"
#include "cli/device/guarded_programming.h"
#include "cli/device/programming.h"
#include "cli/output/backup_store.h"
#include "cli/output/config_file_io.h"
#include "cli/output/reporter.h"
#include "cli/platform/console.h"
#include "cli/series/planned_work.h"
#include "cli/series/series.h"
#include "cli/series/series_plan.h"
#include "cli/series/series_start.h"
#include "cli/series/unclear_device.h"
#include "core/config/config_commands.h"
#include "core/config/config_image.h"
#include "fleet/base/sha256.h"
#include "fleet/plan/planned_records.h"
#include "fleet/record/config_record.h"

namespace zav::cli {

namespace {

constexpr const char kHelp[] =
    "Aufruf: zavctl --port PORT program DATEI [--setup HEX] [--retries N]\n"
    "              [--backup-dir ORDNER] [--no-backup] [--always]\n"
    "              [--log DATEI] [--operator NAME]\n"
    "        zavctl --port PORT program VORLAGE --series [--plan PLAN.csv] ...\n"
    "\n"
    "Lädt die Datei, prüft sie wie das Konfigurationsfenster für die Ausstattung des\n"
    "angeschlossenen Geräts, sichert die Konfiguration des Geräts, programmiert die\n"
    "Datei und liest sie zur Verifikation zurück. Exit-Code 0 nur, wenn die\n"
    "Rücklesung stimmt. Hält das Gerät die Konfiguration schon, wird es nicht\n"
    "beschrieben (\"Unverändert\"); die Lesung ist dann die Verifikation. Ein\n"
    "Konfigurationstext, der eine andere Ausstattung nennt als die des Geräts, wird\n"
    "nicht programmiert (Exit-Code 4).\n"
    "\n"
    "Die Sicherung:\n"
    "  Vor dem ersten geschriebenen Block liest zavctl die Konfiguration des Geräts\n"
    "  und legt sie als Konfigurationsdatei im Ordner der Sicherungen ab, benannt\n"
    "  nach Datum, Uhrzeit, Bezeichnung (oder Gerätenummer) und den ersten 8\n"
    "  Hex-Ziffern ihrer SHA-256, etwa 2026-12-08_091502_LF-20-Fahrer_1a2b3c4d.zcf.\n"
    "  Ein Gerät ohne gültige Konfiguration (gelöscht) wird so genannt, nicht\n"
    "  gesichert. Lässt sich die Konfiguration nicht lesen oder die Sicherung\n"
    "  nicht schreiben, wird das Gerät nicht programmiert. \"zavctl restore\" spielt\n"
    "  eine Sicherung zurück.\n"
    "\n"
    "Optionen:\n"
    "  --series          eine Serie: ein Gerät nach dem anderen am selben Port;\n"
    "                    --port darf dann mehrfach stehen: an jedem Port zugleich\n"
    "                    eine Serie, mit einem Plan, einem Protokoll (\"Mehrere\n"
    "                    Adapter\" unten)\n"
    "  --plan PLAN.csv   (mit --series) jedes Gerät bekommt die Vorlage mit den\n"
    "                    Werten seiner Zeile im Plan (unten)\n"
    "  --setup HEX       der Setup-Block (10 Hex-Ziffern, wie \"zavctl identify\" ihn\n"
    "                    zeigt), den jedes Gerät haben muss; sonst gilt der des\n"
    "                    (ersten) Geräts\n"
    "  --retries N       so oft wird ein Programmieren, das an der Leitung oder an\n"
    "                    einem Block scheitert, ganz wiederholt, und ebenso eine\n"
    "                    Lesung, die an der Leitung scheitert (Vorgabe 2; 0: nie)\n"
    "%BACKUP%"
    "%LOG%"
    "\n"
    "Strg+C beim Programmieren:\n"
    "  Das erste Strg+C lässt die Konfiguration zu Ende schreiben und bricht vor der\n"
    "  Verifikation ab (Exit-Code 130); ein zweites bricht sofort ab. Endet das\n"
    "  Programmieren vorzeitig, gleich warum, enthält das Gerät keine gültige\n"
    "  Konfiguration mehr und muss erneut programmiert werden.\n"
    "\n"
    "Die Serie:\n"
    "  Geräte nacheinander an denselben Port anschließen. Jedes Gerät wird\n"
    "  gesichert, programmiert und verifiziert; dann \"Gerät abklemmen\". Erst wenn\n"
    "  es zweimal hintereinander nicht mehr antwortet oder die Leitung weg ist, gilt\n"
    "  es als abgeklemmt (\"Gerät N abgeklemmt.\"), und das nächste kann kommen. So\n"
    "  wird kein Gerät zweimal programmiert: das nächste erst danach anschließen.\n"
    "  Alle Geräte einer Serie müssen vom selben Typ sein (alle fünf Bytes des\n"
    "  Setup-Blocks): vom Typ aus --setup oder sonst vom Typ des ersten Geräts.\n"
    "  Ein Gerät anderen Typs meldet \"Typ-Konflikt\" und wird nicht programmiert.\n"
    "  Nimmt die Feldprüfung die Datei für diesen Typ nicht an, endet die Serie\n"
    "  sofort. Das erste Strg+C beendet die Serie nach dem Gerät, das gerade\n"
    "  programmiert wird (zwischen zwei Geräten sofort); ein zweites bricht sofort\n"
    "  ab. Am Ende: \"Serie beendet: 4 programmiert, 1 unverändert, 1\n"
    "  fehlgeschlagen (Gerät 3).\" Ohne Plan: Exit-Code 0, wenn kein Gerät\n"
    "  fehlschlug, sonst 4. Mit --json ein JSON-Dokument je Zeile.\n"
    "  Mit --plan ist eine Zeile erst erledigt, wenn ihr Gerät verifiziert ist.\n"
    "  Scheitert ein Gerät, bleibt seine Zeile offen, und das nächste Gerät\n"
    "  bekommt sie (\"Gerät 2 (HLF 20) bleibt offen: ...\"). Ein Gerät, das schon\n"
    "  die Konfiguration einer erledigten Zeile hält, wird nicht noch einmal\n"
    "  programmiert (\"Dieses Gerät hält schon die Konfiguration von Gerät 1 (LF 20)\n"
    "  ...\"; \"1 schon erledigt\"). Hält es die einer offenen Zeile, bekommt es\n"
    "  diese: \"Unverändert\". Wurde ein Gerät ganz beschrieben, aber nicht\n"
    "  verifiziert, lässt sich ein Gerät mit derselben Konfiguration nicht sicher\n"
    "  zuordnen: zavctl fragt an einem Terminal, sonst bleibt es unverändert\n"
    "  (\"Zu klären: ...\", Exit-Code 6). Exit-Code 0 erst, wenn jede Zeile\n"
    "  erledigt ist; Strg+C, solange Zeilen offen sind: 130.\n"
    "\n"
    "Mehrere Adapter:\n"
    "  Mit --series darf --port mehrfach stehen, etwa für vier Adapter an einem\n"
    "  USB-Hub: zavctl --port /dev/ttyUSB0 --port /dev/ttyUSB1 program ... Jeder\n"
    "  Port wartet auf sein eigenes Gerät. Die Zeilen des Plans gehen der Reihe\n"
    "  nach an das nächste Gerät, das an irgendeinem Port antwortet, nie an zwei\n"
    "  zugleich; eine Zeile, deren Gerät scheitert, bekommt das nächste Gerät an\n"
    "  irgendeinem Port. Ein Protokoll, ein Ordner der Sicherungen, am Ende eine\n"
    "  Zeile je Port. Jede Zeile nennt ihren Port: \"[ttyUSB1] Gerät 3 (LF 20\n"
    "  Fahrer): V2.30, Verifikation OK !\"; ein Fortschrittsbalken entfällt. Ein\n"
    "  Port, den ein anderes Programm belegt, wird vor dem ersten Gerät\n"
    "  abgewiesen. Ein Port, der für immer ausfällt (keine Berechtigung, kein\n"
    "  Port), endet allein; ein gezogener Adapter darf wiederkommen. Strg+C wirkt\n"
    "  auf alle Ports wie auf einen.\n"
    "\n"
    "Der Plan:\n"
    "  Eine CSV-Datei, wie eine Tabellenkalkulation sie speichert (Trennzeichen ;\n"
    "  oder ,; UTF-8 oder Windows-1252). Die Kopfzeile nennt in der ersten Spalte\n"
    "  \"bezeichnung\", in den anderen je ein Feld mit seinem Pfad aus dem Textformat\n"
    "  (adressen.nummern.1, zusatzrelais.1.ein_zeit, totzeit, ...); jede weitere\n"
    "  Zeile ist ein Gerät, in der Reihenfolge der Serie. Eine leere Zelle lässt\n"
    "  den Wert der Vorlage. Vor dem ersten Gerät wird jede Zeile geprüft (gibt es\n"
    "  das Feld, passt die Form des Werts), und sobald der Typ feststeht, mit den\n"
    "  Feldprüfungen des Fensters: eine falsche Zeile beendet die Serie mit Zeile,\n"
    "  Spalte und Grund, bevor ein Gerät beschrieben wird. Jede Zeile der Ausgabe\n"
    "  nennt die Bezeichnung: \"Gerät 3 (LF 20 Fahrer): V2.30, Verifikation OK !\".\n"
    "  Die Serie endet von selbst, wenn der Plan erledigt ist. Mit demselben --log\n"
    "  erneut gestartet, beginnt sie beim ersten Gerät, das laut Protokoll noch\n"
    "  nicht programmiert ist, und sagt das.\n"
    "\n"
    "Beispiele:\n"
    "  zavctl --port /dev/ttyUSB0 program wache-3.zcf\n"
    "  zavctl --port /dev/ttyUSB0 program fahrzeug.zcf --series --setup 7F0111021E\n"
    "  zavctl --port /dev/ttyUSB0 program fahrzeug.toml --series --plan fahrzeuge.csv\n"
    "         --log fahrzeuge.jsonl --operator mueller\n";

// The file as "Laden" then "Programmieren" take it for the device.
class FileAsTheWindowTakesIt final : public RecordForDevice {
public:
    const char* log_command() const override { return "program"; }
    Outcome take(const ConfigurationSource& file, DeviceLink& device, const Reporter& reporter) const override {
        return take_file_for_device(file, device, reporter);
    }
};

std::string retries_text(int retries) {
    if (retries <= 0) return "";
    return retries == 1 ? " (nach 1 Wiederholung)" : " (nach " + std::to_string(retries) + " Wiederholungen)";
}

// Each device of a series backed up, given its record and verified.
class ProgramWork final : public PlannedWork {
public:
    ProgramWork(const Reporter& reporter, const ProgramSettings& settings, PlannedRecords& records,
                std::string backup_folder)
        : PlannedWork(records), reporter_(reporter), settings_(settings), backup_folder_(std::move(backup_folder)) {}

    const char* command() const override { return "program"; }

    DeviceDone work(DeviceLink& device, const Identification&, DeviceTurn& turn) override {
        ConfigImage& image = device.state.image;
        std::memcpy(image.bytes, records_.record_for(turn.row), kRecordBytes);
        std::memcpy(image.bytes + kSetupBlock, type_, kSetupBlockBytes);
        ProgrammingRules rules;
        rules.retries = settings_.retries;
        rules.series = true;
        std::memcpy(rules.type, type_, kSetupBlockBytes);
        BackupRules backup{!settings_.backup.none, backup_folder_, turn.label, turn.time, settings_.backup.always};
        const Reporter& reporter = turn.reporter != nullptr ? *turn.reporter : reporter_;
        Recognition recognised;
        JudgeCopy judge_copy;
        if (turn.rows != nullptr) {
            judge_copy = [&](const uint8_t* copy) { return judge(copy, turn, image, reporter, recognised); };
        }
        const GuardedResult result = back_up_and_program(device, rules, backup, reporter, judge_copy);
        const ProgrammingResult& programming = result.programming;
        // The turn's row, which the device's copy may have changed.
        const uint8_t* record = records_.record_for(turn.row);

        DeviceDone done;
        if (result.done_already) {
            done.holds_done_row = recognised.row;
            return done;
        }
        if (result.left_alone) return left_alone(*recognised.row, device.state.read_back);
        done.outcome = programming.outcome;
        done.tally = result.unchanged            ? DeviceOutcome::kUnchanged
                     : programming.outcome.ok() ? DeviceOutcome::kProgrammed
                                                : DeviceOutcome::kFailed;
        done.line_tail = retries_text(programming.programming_retries);
        if (!result.backup.empty()) done.details = "Gesichert: " + shown_name(result.backup);
        if (result.erased) done.details = "Keine Sicherung: " + std::string(kNoConfiguration);
        done.ends_series = result.backup_failed;

        done.event = {{"programmed", programming.programmed},
                      {"attempts", programming.attempts},
                      {"file", json_name(settings_.file)},
                      {"sha256", sha256_hex(record, kRecordBytes)},
                      {"backup", result.backup.empty() ? nlohmann::json() : nlohmann::json(json_name(result.backup))},
                      {"erased", result.erased}};
        if (programming.verify_reads > 0 || result.unchanged) {
            done.event["verified"] = programming.verified;
            done.event["verify_reads"] = result.unchanged ? result.backup_reads : programming.verify_reads;
            if (programming.first_difference >= 0) done.event["first_difference"] = programming.first_difference;
        }
        done.audit.file = settings_.file;
        done.audit.record = record_array(record);
        done.audit.backup = result.backup;
        done.audit.retries = result.retries();
        done.audit.first_message = programming.first_failure;
        done.audit.written = programming.programmed || programming.last_block_sent;
        done.record_left_unverified = programming.written_unverified();
        done.held_before = result.unchanged;
        done.went_silent = programming.went_silent;
        return done;
    }

    DeviceDone refused(const DeviceTurn& turn, const Outcome& outcome) override {
        DeviceDone done = refused_device(outcome, settings_.file);
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
                {DeviceOutcome::kFailed, "fehlgeschlagen", true, "failed_devices"},
                {DeviceOutcome::kNeedsAttention, "zu klären", false, "attention_devices"}};
    }

    bool row_done_by(DeviceOutcome tally) const override {
        return tally == DeviceOutcome::kProgrammed || tally == DeviceOutcome::kUnchanged;
    }
    bool row_record_held_by(DeviceOutcome tally) const override { return row_done_by(tally); }
    bool continues_from_log() const override { return true; }

private:
    // What the device's copy, another row's record, means for it. Held
    // before the write for all but an open row's, which it takes instead
    // (not with --always, which wants the turn's row written).
    CopyVerdict judge(const uint8_t* copy, DeviceTurn& turn, ConfigImage& image, const Reporter& reporter,
                      Recognition& recognised) {
        const PlanRow* taken = turn.row;
        recognised = turn.recognise(copy, !settings_.backup.always);
        switch (recognised.kind) {
            case Recognition::kNone: return CopyVerdict::kProgram;
            case Recognition::kOpenRow:
                std::memcpy(image.bytes, records_.record_for(turn.row), kRecordBytes);
                return CopyVerdict::kUnchanged;
            case Recognition::kDoneRow: return CopyVerdict::kDoneAlready;
            case Recognition::kUnclear:
                // Never by default: the device may be the done row's own.
                return ask_to_give_row(reporter, *recognised.row, *taken) ? CopyVerdict::kProgram
                                                                          : CopyVerdict::kLeave;
        }
        return CopyVerdict::kLeave;
    }

    // A device left for the user: logged with the row whose record it
    // holds, and the record it holds.
    DeviceDone left_alone(const PlanRow& held, const uint8_t* copy) {
        DeviceDone done;
        done.holds_done_row = &held;
        done.tally = DeviceOutcome::kNeedsAttention;
        done.outcome = left_for_the_user(held);
        done.event = {{"programmed", false},
                      {"attempts", 0},
                      {"file", json_name(settings_.file)},
                      {"sha256", sha256_hex(copy, kRecordBytes)},
                      {"backup", nullptr},
                      {"erased", false}};
        done.audit.file = settings_.file;
        done.audit.record = record_array(copy);
        done.audit.written = false;
        return done;
    }

    const Reporter& reporter_;
    const ProgramSettings& settings_;
    std::string backup_folder_;
};

class ProgramCommand final : public Command {
public:
    ProgramCommand() : help_(with_shared_options(kHelp)) {}
    const char* name() const override { return "program"; }
    const char* overview() const override {
        return "  program DATEI            Gerät sichern, die Datei prüfen wie das Fenster,\n"
               "                           programmieren und verifizieren\n"
               "    zavctl --port /dev/ttyUSB0 program wache-3.zcf\n"
               "  program DATEI --series   eine Serie: ein Gerät nach dem anderen am selben\n"
               "                           Port; mit --plan jedes mit seinen eigenen Werten\n"
               "    zavctl --port /dev/ttyUSB0 program fahrzeug.toml --series \\\n"
               "           --plan fahrzeuge.csv --log fahrzeuge.jsonl\n";
    }
    const char* help() const override { return help_.c_str(); }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("DATEI", settings_.file)->required();
        subcommand.add_flag("--series", series_);
        subcommand.add_option("--plan", plan_);
        subcommand.add_option("--setup", settings_.setup);
        add_retries_option(subcommand, settings_.retries);
        add_backup_options(subcommand, settings_.backup);
        add_log_options(subcommand, settings_.log);
    }
    bool takes_several_ports() const override { return series_; }
    int run(const CommonOptions& common) override {
        if (!series_ && !plan_.empty()) {
            return Reporter(common.json, common.quiet).fail(only_with_series("--plan"));
        }
        return series_ ? program_series(common) : program_one_device(common, settings_, FileAsTheWindowTakesIt());
    }

private:
    int program_series(const CommonOptions& common);

    std::string help_;
    ProgramSettings settings_;
    bool series_ = false;
    std::string plan_;  // --plan: each device's own values (series)
};

int ProgramCommand::program_series(const CommonOptions& common) {
    const Reporter reporter(common.json, common.quiet);
    ConfigurationSource file;
    Outcome outcome = read_configuration_file(settings_.file, file);
    if (!outcome.ok()) return reporter.fail(outcome);
    std::string backup_folder;
    if (!settings_.backup.none) {
        outcome = prepare_backup_folder(settings_.backup.folder, backup_folder);
        if (!outcome.ok()) return reporter.fail(outcome);
    }
    SeriesStart start;
    std::optional<PlannedRecords> records;
    outcome = start_planned_series(common, file, settings_.setup, plan_, reporter, start, records);
    if (!outcome.ok()) return reporter.fail(outcome);
    outcome = open_series_log(settings_.log, start);
    if (!outcome.ok()) return reporter.fail(outcome);
    if (start.with_plan) {
        start.setup.logged = rows_in_log(*records, start.plan, start.log, start.setup.given_type, reporter);
    }
    ProgramWork work(reporter, settings_, *records, backup_folder);
    return run_series(reporter, work, start.setup);
}

}  // namespace

std::unique_ptr<Command> make_program_command() { return std::make_unique<ProgramCommand>(); }

}  // namespace zav::cli
