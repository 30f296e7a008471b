#include "fleet/text/configuration_source.h"

#include <algorithm>

#include "core/config/config_file.h"
#include "core/setup/setup_block.h"
#include "fleet/record/fitting_report.h"

namespace zav {

namespace {

// The fitting in the words of the info window ("2 Doppelton-Alarme, ...").
std::string fitting_line(SetupFitting fitting) {
    const uint16_t word = static_cast<uint16_t>(fitting.setup_byte1 | fitting.setup_byte2 << 8);
    const uint8_t setup[kSetupBlockBytes] = {fitting.setup_byte1, fitting.setup_byte2, setup_check_byte(word), 0, 0};
    return fitting_name(fitting) + ": " + fitting_text(setup);
}

}  // namespace

Outcome configuration_from_bytes(std::string_view bytes, ConfigurationSource& source) {
    source.text = is_config_text(bytes);
    set_image_start_values(source.image);
    if (source.text) {
        if (bytes.size() > kMaxConfigTextBytes) {
            return failure(kExitFile, "Konfigurationstext zu lang (mehr als 256 KB)", source.name);
        }
        const ImportedText imported = import_text(bytes);
        if (!imported.ok) {
            return failure(imported.error.field_check ? kExitRefused : kExitFile, text_error_line(imported.error),
                           source.name);
        }
        std::copy(imported.record.begin(), imported.record.end(), source.image.bytes);
        source.fitting = imported.fitting;
        for (const TextError& warning : imported.warnings) {
            source.warnings.push_back(source.name + ", " + text_error_line(warning));
        }
        return success(kConfigFileLoaded);
    }
    const ConfigFileOutcome outcome =
        load_config_file(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), source.image);
    if (outcome != ConfigFileOutcome::kOk) return failure(kExitFile, config_file_outcome_text(outcome), source.name);
    for (const TextError& warning : record_warnings(source.image.bytes)) {
        source.warnings.push_back(source.name + ": " + text_error_line(warning));
    }
    return success(kConfigFileLoaded);
}

Outcome check_text_fitting(const ConfigurationSource& source, SetupFitting fitting, const std::string& whose) {
    if (!source.fitting || same_fitting(*source.fitting, fitting)) return success();
    return failure(kExitRefused,
                   "Die Ausstattungen passen nicht zusammen: " + source.name +
                       " ist für die Setup-Bytes " + fitting_name(*source.fitting) + " geschrieben, " + whose + " " +
                       fitting_name(fitting) + ".",
                   fitting_line(*source.fitting) + "\n" + fitting_line(fitting));
}

Outcome configuration_for_fitting(const ConfigurationSource& source, SetupFitting fitting, ConfigImage& image,
                                  const std::string& whose) {
    const Outcome fits = check_text_fitting(source, fitting, whose);
    if (!fits.ok()) return fits;
    std::copy(source.image.bytes, source.image.bytes + kRecordBytes, image.bytes);
    return success(kConfigFileLoaded);
}

}  // namespace zav
