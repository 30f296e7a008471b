#include "cli/commands/device_end.h"

#include "core/config/config_image.h"
#include "fleet/base/json_text.h"
#include "fleet/record/record_fields.h"
#include "fleet/record/record_report.h"

namespace zav::cli {

namespace {

// Tells a verify that found differences: the first address, as the window
// says it, then every field that differs, file against device.
int tell_differences(const Reporter& reporter, const Outcome& verified, DeviceLink& device,
                     nlohmann::json document) {
    const uint8_t* expected = device.state.image.bytes;
    const RecordDifferences differences =
        compare_records(expected, device.state.read_back, expected[kSetupByte1], expected[kSetupByte2]);
    reporter.line(verified.message);
    reporter.line("Unterschiede (Datei -> Gerät):");
    reporter.block(differences_report(differences), "  ");
    document["differences"] = differences_json(differences, "file", "device");
    reporter.document(document);
    return verified.exit_code;
}

// How a program or verify ended, for a script: the verdict beside what was
// done, and the failure in the same words as on standard error.
void add_end(nlohmann::json& document, const Outcome& outcome) {
    document["exit_code"] = outcome.exit_code;
    document["message"] = json_text(outcome.message);
    if (!outcome.ok() && outcome.exit_code != kExitDiffers) {
        nlohmann::json error = {{"exit_code", outcome.exit_code}, {"message", json_text(outcome.message)}};
        if (!outcome.detail.empty()) error["detail"] = json_text(outcome.detail);
        document["error"] = error;
    }
}

}  // namespace

int tell_end(const Reporter& reporter, const Outcome& outcome, DeviceLink& device, nlohmann::json document) {
    add_end(document, outcome);
    if (outcome.exit_code == kExitDiffers) return tell_differences(reporter, outcome, device, document);
    if (outcome.ok()) {
        reporter.line(outcome.message);
        reporter.document(document);
        return kExitOk;
    }
    reporter.fail(outcome, true);
    reporter.document(document);
    return outcome.exit_code;
}

}  // namespace zav::cli
