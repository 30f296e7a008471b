// zavctl show FILE [--setup HEX]: the configuration as a report, each field
// as the configuration window shows it (commands/record_files.h).
#include <string>
#include <vector>

#include "cli/app/command.h"
#include "cli/commands/fitting_choice.h"
#include "cli/commands/record_files.h"
#include "cli/output/reporter.h"
#include "cli/platform/console.h"
#include "core/config/config_form.h"
#include "fleet/record/record_fields.h"
#include "fleet/record/record_report.h"
#include "fleet/record/record_view.h"

namespace zav::cli {

namespace {

class ShowCommand final : public Command {
public:
    const char* name() const override { return "show"; }
    const char* overview() const override {
        return "  show DATEI               die Konfiguration als Bericht, wie im Fenster\n"
               "    zavctl show wache-3.zcf --setup BF073C020A\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl show DATEI [--setup HEX | --port PORT]\n"
               "\n"
               "Zeigt die Konfiguration als Bericht, jedes Feld unter dem Namen, den das\n"
               "Konfigurationsfenster ihm gibt. Die Ausstattung kommt aus --setup, vom Gerät an\n"
               "--port oder aus dem Text, der sie nennt; sonst wird die Vollausstattung\n"
               "angenommen, und der Bericht sagt das. $ZAV_PORT allein befragt kein Gerät.\n"
               "\n"
               "Am Ende steht die Feldprüfung des Fensters. Nähme das Fenster die Datei nicht\n"
               "an, nennt show das Feld und endet mit Exit-Code 4: so taugt show als Prüfung\n"
               "vor dem Programmieren. Erhielte ein Gerät dieser Ausstattung etwas anderes als\n"
               "die Datei, steht es darunter.\n"
               "\n"
               "Optionen:\n"
               "  --setup HEX  die Ausstattung als Setup-Block (10 Hex-Ziffern, wie identify ihn\n"
               "               zeigt)\n"
               "\n"
               "Beispiele:\n"
               "  zavctl show wache-3.zcf --setup BF073C020A\n"
               "  zavctl --port /dev/ttyUSB0 show wache-3.zcf\n";
    }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("DATEI", file_)->required();
        subcommand.add_option("--setup", setup_);
    }
    int run(const CommonOptions& common) override;

private:
    std::string file_;
    std::string setup_;
};

int ShowCommand::run(const CommonOptions& common) {
    const Reporter reporter(common.json, common.quiet);
    Fitting fitting;
    std::vector<ConfigImage> images;
    const Outcome outcome = read_for_one_fitting(common, setup_, reporter, {file_}, fitting, images);
    if (!outcome.ok()) return reporter.fail(outcome);
    const ConfigImage& image = images[0];

    const uint8_t setup_byte1 = fitting.setup[0], setup_byte2 = fitting.setup[1];
    const RecordView view = view_record(image.bytes, setup_byte1, setup_byte2);
    reporter.line("Datei        " + shown_name(file_));
    tell_fitting(reporter, fitting);
    reporter.line("");
    reporter.block(record_report(view));
    nlohmann::json document = record_json(view);
    document["file"] = json_name(file_);
    document["fitting"] = fitting_json(fitting);
    document["device_receives"] = nullptr;
    if (view.check_code == 0) {
        // What "Programmieren" would send to a device of this fitting.
        uint8_t taken[kRecordBytes];
        record_as_window_takes_it(image.bytes, setup_byte1, setup_byte2, taken);
        const RecordDifferences changes = compare_records(image.bytes, taken, setup_byte1, setup_byte2);
        const std::string beyond = beyond_fitting_report(view);
        if (!changes.empty() || !beyond.empty()) reporter.line("");
        reporter.block(beyond);
        reporter.block(device_receives_report(changes));
        document["device_receives"] = differences_json(changes, "file", "device");
    }
    reporter.document(document);
    if (view.check_code == 0) return kExitOk;
    // A script may take show as the window's check before it programs.
    return reporter.fail(failure(kExitRefused, config_error_text(view.check_code), field_error_detail(view)), true);
}

}  // namespace

std::unique_ptr<Command> make_show_command() { return std::make_unique<ShowCommand>(); }

}  // namespace zav::cli
