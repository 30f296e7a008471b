// export and import: a configuration as text, for an editor and for version
// control, and back into the window's file. A text names the fitting whose
// fields it holds, or none (config_text.h); both commands name the fitting
// they used, where there is one.
#include <cstring>

#include "cli/app/commands.h"
#include "cli/app/setup_option.h"
#include "cli/commands/fitting_choice.h"
#include "cli/output/config_file_io.h"
#include "cli/output/console.h"
#include "cli/output/output_file.h"
#include "cli/output/reporter.h"
#include "core/config/config_form.h"
#include "fleet/base/sha256.h"
#include "fleet/record/record_report.h"
#include "fleet/record/record_view.h"
#include "fleet/text/config_text.h"

namespace zav::cli {

namespace {

nlohmann::json text_document(const TextOptions& options, const Fitting& fitting, const uint8_t* record) {
    return {{"input", json_name(options.input)},
            {"output", json_name(options.output.empty() ? std::string("-") : options.output)},
            {"fitting", fitting.known() ? fitting_json(fitting) : nlohmann::json(nullptr)},
            {"sha256", sha256_hex(record, kRecordBytes)}};
}

// The window's verdict on a record for a fitting, as program gives it.
Outcome window_check(const uint8_t* record, SetupFitting fitting, const std::string& why) {
    const RecordView view = view_record(record, fitting.setup_byte1, fitting.setup_byte2);
    if (view.check_code == 0) return success();
    const std::string field = field_error_detail(view);
    return failure(kExitRefused, config_error_text(view.check_code), (field.empty() ? "" : field + ". ") + why);
}

}  // namespace

int command_export(const CommonOptions& common, const TextOptions& options) {
    const Reporter reporter(common.json, common.quiet);
    const std::string output = options.output.empty() ? std::string("-") : options.output;
    // With --json the document takes standard output; the text needs a file.
    if (common.json && is_standard_output(output)) {
        return reporter.fail(failure(kExitUsage, "Mit --json braucht export -o DATEI.",
                                     "Die Standardausgabe trägt dann das JSON-Dokument."));
    }
    uint8_t setup[kSetupBlockBytes];
    Outcome outcome = options.setup_text.empty() ? success() : parse_setup_option(options.setup_text, setup);
    if (outcome.ok()) outcome = check_output_path(output, options.force);
    ConfigurationSource source;
    if (outcome.ok()) outcome = read_configuration_file(options.input, source);
    if (outcome.ok()) tell_warnings(reporter, source);
    Fitting fitting;
    if (outcome.ok()) {
        outcome = choose_fitting(common, options.setup_text, {&source}, WithoutFitting::kNone, reporter, fitting);
    }
    if (!outcome.ok()) return reporter.fail(outcome);
    const uint8_t* record = source.image.bytes;

    // Without a fitting the text names none, and holds what every device
    // may have whose fitting takes the record.
    const std::optional<SetupFitting> named =
        fitting.known() ? std::optional<SetupFitting>(fitting.setup_bytes()) : std::nullopt;
    const std::string text = export_text(record, named);
    outcome = write_output_file(output, reinterpret_cast<const uint8_t*>(text.data()), text.size(), options.force);
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
    nlohmann::json document = text_document(options, fitting, record);
    document["accepted"] = view.check_code == 0;
    reporter.document(document);
    return kExitOk;
}

int command_import(const CommonOptions& common, const TextOptions& options) {
    const Reporter reporter(common.json, common.quiet);
    uint8_t setup[kSetupBlockBytes];
    Outcome outcome = options.setup_text.empty() ? success() : parse_setup_option(options.setup_text, setup);
    if (outcome.ok()) outcome = check_output_path(options.output, options.force);
    ConfigurationSource source;
    if (outcome.ok()) outcome = read_configuration_file(options.input, source);
    if (outcome.ok() && !source.text) {
        outcome = failure(kExitFile, "Das ist kein Konfigurationstext: " + shown_name(options.input),
                          "Eine Konfigurationsdatei des Programms braucht keinen import; \"zavctl export\" macht "
                          "einen Text aus ihr.");
    }
    if (outcome.ok()) tell_warnings(reporter, source);
    Fitting fitting;
    if (outcome.ok()) {
        outcome = choose_fitting(common, options.setup_text, {&source}, WithoutFitting::kNone, reporter, fitting);
    }
    // A text that names its fitting was checked for it when it was read;
    // one that names none meets the fitting given here as a device would.
    if (outcome.ok() && fitting.known() && !source.fitting) {
        outcome = window_check(source.image.bytes, fitting.setup_bytes(),
                               "Das Konfigurationsfenster nähme diesen Text für diese Ausstattung nicht an.");
    }
    if (outcome.ok()) outcome = save_configuration_file(options.output, source.image, options.force);
    if (!outcome.ok()) return reporter.fail(outcome);

    if (!fitting.known()) {
        reporter.note("Hinweis: Der Text nennt keine Ausstattung: geprüft ist, was für jede gilt. Beim Programmieren "
                      "entscheidet die Ausstattung des Geräts.");
    }
    if (!is_standard_output(options.output)) reporter.line("Konfigurationsdatei geschrieben: " + shown_name(options.output));
    reporter.document(text_document(options, fitting, source.image.bytes));
    return kExitOk;
}

}  // namespace zav::cli
