// export and import: a configuration as text, for an editor and for version
// control, and back into the window's file. The text holds the fields the
// window shows for one fitting; both commands name the fitting they used.
#include <cstring>

#include "cli/commands.h"
#include "cli/config_file_io.h"
#include "cli/config_text.h"
#include "cli/console.h"
#include "cli/fitting_choice.h"
#include "cli/output_file.h"
#include "cli/record_view.h"
#include "cli/reporter.h"
#include "cli/sha256.h"
#include "core/config/config_form.h"

namespace zav::cli {

namespace {

nlohmann::json text_document(const TextOptions& options, const Fitting& fitting, const uint8_t* record) {
    return {{"input", json_name(options.input)},
            {"output", json_name(options.output.empty() ? std::string("-") : options.output)},
            {"fitting", fitting_json(fitting)},
            {"sha256", sha256_hex(record, kRecordBytes)}};
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
    Fitting fitting;
    if (outcome.ok()) outcome = choose_fitting(common, options.setup_text, reporter, fitting);
    ConfigImage image;
    set_image_start_values(image);
    if (outcome.ok()) outcome = configuration_for_fitting(source, fitting.setup_bytes(), image);
    if (!outcome.ok()) return reporter.fail(outcome);

    const std::string text = export_text(image.bytes, fitting.setup_bytes());
    outcome = write_output_file(output, reinterpret_cast<const uint8_t*>(text.data()), text.size(), options.force);
    if (!outcome.ok()) return reporter.fail(outcome);

    // The text is written all the same; an import for this fitting would
    // refuse it, and the user must know that now, not then.
    const RecordView view = view_record(image.bytes, fitting.setup[0], fitting.setup[1]);
    if (view.check_code != 0) {
        reporter.note(std::string("Hinweis: Das Konfigurationsfenster nähme diese Konfiguration für diese Ausstattung "
                                  "nicht an (") +
                      config_error_text(view.check_code) + "). Mit --setup HEX gilt die Ausstattung des Geräts.");
    }
    if (!is_standard_output(output)) reporter.line("Text geschrieben: " + shown_name(output));
    nlohmann::json document = text_document(options, fitting, image.bytes);
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
    Fitting fitting;
    if (outcome.ok()) outcome = choose_fitting(common, options.setup_text, reporter, fitting);
    ConfigImage image;
    set_image_start_values(image);
    if (outcome.ok()) outcome = configuration_for_fitting(source, fitting.setup_bytes(), image);
    if (outcome.ok()) outcome = save_configuration_file(options.output, image, options.force);
    if (!outcome.ok()) return reporter.fail(outcome);

    if (!is_standard_output(options.output)) reporter.line("Konfigurationsdatei geschrieben: " + shown_name(options.output));
    reporter.document(text_document(options, fitting, image.bytes));
    return kExitOk;
}

}  // namespace zav::cli
