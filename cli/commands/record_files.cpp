#include "cli/commands/record_files.h"

#include "cli/app/setup_option.h"
#include "cli/output/config_file_io.h"

namespace zav::cli {

Outcome read_for_one_fitting(const CommonOptions& common, const std::string& setup_text, const Reporter& reporter,
                             const std::vector<std::string>& files, Fitting& fitting,
                             std::vector<ConfigImage>& images) {
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

}  // namespace zav::cli
