// zavctl export FILE [-o TEXT] [--setup HEX | --port PORT] [--force]: the
// configuration as text (commands/text_document.h, docs/Textformat.md).
#include <optional>
#include <string>

#include "cli/app/command.h"
#include "cli/app/setup_option.h"
#include "cli/commands/fitting_choice.h"
#include "cli/commands/text_document.h"
#include "cli/output/config_file_io.h"
#include "cli/output/output_file.h"
#include "cli/output/reporter.h"
#include "cli/platform/console.h"
#include "core/config/config_form.h"
#include "fleet/record/record_view.h"
#include "fleet/text/config_text.h"

namespace zav::cli {

namespace {

class ExportCommand final : public Command {
public:
    const char* name() const override { return "export"; }
    const char* overview() const override {
        return "  export DATEI             die Konfiguration als Text (TOML), für Editor und\n"
               "                           Versionsverwaltung\n"
               "    zavctl export wache-3.zcf --setup BF073C020A -o wache-3.toml\n";
    }
    const char* help() const override {
        return "Aufruf: zavctl export DATEI [-o TEXT] [--setup HEX | --port PORT] [--force]\n"
               "\n"
               "Schreibt die Konfiguration als Text: jedes Feld, das das Konfigurationsfenster\n"
               "zeigt, unter seinem Namen und mit dem Wert, wie das Fenster ihn schreibt, dazu\n"
               "in [rohdaten] die Bytes, die kein Feld zeigt. \"zavctl import\" macht aus dem\n"
               "Text wieder genau dieselbe Datei. DATEI darf auch ein Text sein.\n"
               "\n"
               "Mit --setup oder --port hält der Text die Felder dieser Ausstattung und nennt\n"
               "sie (ausstattung = \"03 01\"): import, show, diff und program nehmen sie dann\n"
               "aus dem Text. Ohne beides nennt er keine und hält jeden Alarm und jedes\n"
               "Relais, das das Fenster so annimmt; welche davon ein Gerät hat, entscheidet\n"
               "beim Programmieren seine Ausstattung. Den Setup-Block nennen identify und read.\n"
               "\n"
               "Optionen:\n"
               "  -o, --output TEXT   die Datei für den Text; ohne -o die Standardausgabe\n"
               "  --setup HEX         die Ausstattung als Setup-Block (10 Hex-Ziffern)\n"
               "  --force             eine vorhandene Datei ersetzen\n"
               "\n"
               "Beispiele:\n"
               "  zavctl export wache-3.zcf --setup BF073C020A -o wache-3.toml\n"
               "  zavctl export wache-3.zcf --setup BF073C020A | less\n";
    }
    void add_to(CLI::App& subcommand) override {
        subcommand.add_option("DATEI", options_.input)->required();
        subcommand.add_option("-o,--output", options_.output);
        subcommand.add_option("--setup", options_.setup_text);
        subcommand.add_flag("--force", options_.force);
    }
    int run(const CommonOptions& common) override;

private:
    TextCall options_;
};

int ExportCommand::run(const CommonOptions& common) {
    const Reporter reporter(common.json, common.quiet);
    const std::string output = options_.output.empty() ? std::string("-") : options_.output;
    // With --json the document takes standard output; the text needs a file.
    if (common.json && is_standard_output(output)) {
        return reporter.fail(failure(kExitUsage, "Mit --json braucht export -o DATEI.",
                                     "Die Standardausgabe trägt dann das JSON-Dokument."));
    }
    uint8_t setup[kSetupBlockBytes];
    Outcome outcome = options_.setup_text.empty() ? success() : parse_setup_option(options_.setup_text, setup);
    if (outcome.ok()) outcome = check_output_path(output, options_.force);
    ConfigurationSource source;
    if (outcome.ok()) outcome = read_configuration_file(options_.input, source);
    if (outcome.ok()) tell_warnings(reporter, source);
    Fitting fitting;
    if (outcome.ok()) {
        outcome = choose_fitting(common, options_.setup_text, {&source}, WithoutFitting::kNone, reporter, fitting);
    }
    if (!outcome.ok()) return reporter.fail(outcome);
    const uint8_t* record = source.image.bytes;

    // Without a fitting the text names none, and holds what every device
    // may have whose fitting takes the record.
    const std::optional<SetupFitting> named =
        fitting.known() ? std::optional<SetupFitting>(fitting.setup_bytes()) : std::nullopt;
    const std::string text = export_text(record, named);
    outcome = write_output_file(output, reinterpret_cast<const uint8_t*>(text.data()), text.size(), options_.force);
    if (!outcome.ok()) return reporter.fail(outcome);

    // The text is written all the same; an import for this fitting would
    // refuse it, and the user must know that now, not then.
    const SetupFitting written_for = named.value_or(described_fitting(record));
    const RecordView view = view_record(record, written_for.setup_byte1, written_for.setup_byte2);
    if (!named) {
        reporter.note("Hinweis: Der Text nennt keine Ausstattung; beim Programmieren entscheidet die des Geräts. Mit "
                      "--setup HEX oder --port PORT hält er die Felder dieser Ausstattung und nennt sie.");
    }
    if (view.check_code != 0) {
        reporter.note(std::string("Hinweis: Das Konfigurationsfenster nähme diese Konfiguration ") +
                      (named ? "für diese Ausstattung nicht" : "für keine Ausstattung") + " an (" +
                      config_error_text(view.check_code) + ")." +
                      (named ? " Mit --setup HEX gilt die Ausstattung des Geräts." : ""));
    }
    if (!is_standard_output(output)) reporter.line("Text geschrieben: " + shown_name(output));
    nlohmann::json document = text_document(options_.input, options_.output, fitting, record);
    document["accepted"] = view.check_code == 0;
    reporter.document(document);
    return kExitOk;
}

}  // namespace

std::unique_ptr<Command> make_export_command() { return std::make_unique<ExportCommand>(); }

}  // namespace zav::cli
