// show and diff: configuration files read as the configuration window shows
// them, for a fitting given by --setup, read from the device at --port,
// named by a text among the files, or assumed (and then said so). $ZAV_PORT
// alone does not make them ask a device: they work on files, and a device
// that is not there would cost seconds of waiting.
#include <cctype>
#include <cstring>
#include <memory>

#include "cli/app/commands.h"
#include "cli/app/setup_option.h"
#include "cli/commands/fitting_choice.h"
#include "cli/device/device_session.h"
#include "cli/device/port_opening.h"
#include "cli/output/config_file_io.h"
#include "cli/output/console.h"
#include "cli/output/reporter.h"
#include "cli/platform/serial_port.h"
#include "core/config/config_form.h"
#include "core/setup/setup_block.h"
#include "fleet/record/fitting_report.h"
#include "fleet/record/record_fields.h"
#include "fleet/record/record_report.h"
#include "fleet/record/record_view.h"

namespace zav::cli {

namespace {

// A wrong --setup is told first: nothing is read before the call is right;
// then the files (a file that cannot be read is told before a device is
// asked); then the fitting, for which a text's fields are checked.
Outcome prepare(const CommonOptions& common, const std::string& setup_text, const Reporter& reporter,
                const std::vector<std::string>& files, Fitting& fitting, std::vector<ConfigImage>& images) {
    uint8_t setup[kSetupBlockBytes];
    Outcome outcome = setup_text.empty() ? success() : parse_setup_option(setup_text, setup);
    if (!outcome.ok()) return outcome;
    std::vector<ConfigurationSource> sources(files.size());
    std::vector<const ConfigurationSource*> read;
    for (size_t i = 0; i < files.size() && outcome.ok(); ++i) {
        outcome = read_configuration_file(files[i], sources[i]);
        if (outcome.ok()) tell_warnings(reporter, sources[i]);
        read.push_back(&sources[i]);
    }
    // A text that names its fitting gives it to the other file as well.
    if (outcome.ok()) {
        outcome = choose_fitting(common, setup_text, read, WithoutFitting::kAssumeFull, reporter, fitting);
    }
    images.assign(files.size(), ConfigImage{});
    for (size_t i = 0; i < files.size() && outcome.ok(); ++i) {
        set_image_start_values(images[i]);
        outcome = configuration_for_fitting(sources[i], fitting.setup_bytes(), images[i]);
    }
    return outcome;
}

}  // namespace

int command_show(const CommonOptions& common, const std::string& file, const std::string& setup_text) {
    const Reporter reporter(common.json, common.quiet);
    Fitting fitting;
    std::vector<ConfigImage> images;
    const Outcome outcome = prepare(common, setup_text, reporter, {file}, fitting, images);
    if (!outcome.ok()) return reporter.fail(outcome);
    const ConfigImage& image = images[0];

    const uint8_t setup_byte1 = fitting.setup[0], setup_byte2 = fitting.setup[1];
    const RecordView view = view_record(image.bytes, setup_byte1, setup_byte2);
    reporter.line("Datei        " + shown_name(file));
    tell_fitting(reporter, fitting);
    reporter.line("");
    reporter.block(record_report(view));
    nlohmann::json document = record_json(view);
    document["file"] = json_name(file);
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

int command_diff(const CommonOptions& common, const std::string& first, const std::string& second,
                 const std::string& setup_text) {
    const Reporter reporter(common.json, common.quiet);
    Fitting fitting;
    std::vector<ConfigImage> images;
    const Outcome outcome = prepare(common, setup_text, reporter, {first, second}, fitting, images);
    if (!outcome.ok()) return reporter.fail(outcome);
    const ConfigImage& first_image = images[0];
    const ConfigImage& second_image = images[1];

    const RecordDifferences differences =
        compare_records(first_image.bytes, second_image.bytes, fitting.setup[0], fitting.setup[1]);
    tell_fitting(reporter, fitting);
    if (differences.empty()) {
        reporter.line("Keine Unterschiede.");
    } else {
        reporter.paragraph("Unterschiede (" + shown_name(first) + " -> " + shown_name(second) + "):", "  ");
        reporter.block(differences_report(differences), "  ");
    }
    nlohmann::json document = differences_json(differences, "a", "b");
    document["files"] = {{"a", json_name(first)}, {"b", json_name(second)}};
    document["fitting"] = fitting_json(fitting);
    document["same"] = differences.empty();
    reporter.document(document);
    return differences.empty() ? kExitOk : kExitDiffers;
}

}  // namespace zav::cli
