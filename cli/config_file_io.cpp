#include "cli/config_file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "cli/console.h"
#include "cli/fitting_report.h"
#include "cli/output_file.h"
#include "cli/system_error_text.h"
#include "core/config/config_file.h"
#include "core/setup/setup_block.h"

namespace zav::cli {

namespace {

// An exported text is about 3 KB; a text may be much longer with comments,
// but not without bound.
constexpr size_t kMaxTextBytes = 256 * 1024;

// Reads at most limit bytes: whatever follows is ignored (a binary file's
// tail, as the window ignores it), so a large or endless file costs little.
bool read_head(std::FILE* file, std::string& bytes, size_t limit) {
    bytes.clear();
    char buffer[4096];
    while (bytes.size() < limit) {
        const size_t got = std::fread(buffer, 1, std::min(sizeof buffer, limit - bytes.size()), file);
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    return std::ferror(file) == 0;
}

// The fitting in the words of the info window ("2 Doppelton-Alarme, ...").
std::string fitting_line(SetupFitting fitting) {
    const uint16_t word = static_cast<uint16_t>(fitting.setup_byte1 | fitting.setup_byte2 << 8);
    const uint8_t setup[kSetupBlockBytes] = {fitting.setup_byte1, fitting.setup_byte2, setup_check_byte(word), 0, 0};
    return fitting_name(fitting) + ": " + fitting_text(setup);
}

}  // namespace

Outcome read_configuration_file(const std::string& path, ConfigurationSource& source) {
    source.path = path;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return failure(kExitFile, kConfigFileMissing, shown_name(path) + ": " + system_error_text(errno));
    }
    std::string bytes;
    errno = 0;
    const bool read_ok = read_head(file, bytes, kMaxTextBytes + 1);
    const int read_error = errno;
    std::fclose(file);
    if (!read_ok) {
        return failure(kExitFile, kConfigFileShort, shown_name(path) + ": " + system_error_text(read_error ? read_error : EIO));
    }
    source.text = is_config_text(bytes);
    set_image_start_values(source.image);
    if (source.text) {
        if (bytes.size() > kMaxTextBytes) {
            return failure(kExitFile, "Konfigurationstext zu lang (mehr als 256 KB)", shown_name(path));
        }
        const ImportedText imported = import_text(bytes);
        if (!imported.ok) {
            return failure(imported.error.field_check ? kExitRefused : kExitFile, text_error_line(imported.error),
                           shown_name(path));
        }
        std::copy(imported.record.begin(), imported.record.end(), source.image.bytes);
        source.fitting = imported.fitting;
        for (const TextError& warning : imported.warnings) {
            source.warnings.push_back(shown_name(path) + ", " + text_error_line(warning));
        }
        return success(kConfigFileLoaded);
    }
    const ConfigFileOutcome outcome =
        load_config_file(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), source.image);
    if (outcome != ConfigFileOutcome::kOk) return failure(kExitFile, config_file_outcome_text(outcome), shown_name(path));
    for (const TextError& warning : record_warnings(source.image.bytes)) {
        source.warnings.push_back(shown_name(path) + ": " + text_error_line(warning));
    }
    return success(kConfigFileLoaded);
}

void tell_warnings(const Reporter& reporter, const ConfigurationSource& source) {
    for (const std::string& warning : source.warnings) reporter.note("Warnung: " + warning);
}

Outcome check_text_fitting(const ConfigurationSource& source, SetupFitting fitting, const std::string& whose) {
    if (!source.fitting || same_fitting(*source.fitting, fitting)) return success();
    return failure(kExitRefused,
                   "Die Ausstattungen passen nicht zusammen: " + shown_name(source.path) +
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

Outcome load_configuration_file(const std::string& path, ConfigImage& image, SetupFitting fitting) {
    ConfigurationSource source;
    const Outcome read = read_configuration_file(path, source);
    if (!read.ok()) return read;
    return configuration_for_fitting(source, fitting, image);
}

Outcome save_configuration_file(const std::string& path, const ConfigImage& image, bool force) {
    uint8_t bytes[kConfigFileBytes];
    build_config_file(image, bytes);
    return write_output_file(path, bytes, sizeof bytes, force);
}

}  // namespace zav::cli
