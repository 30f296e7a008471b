// The fitting a command works on files with: given as a setup block
// (--setup HEX), read from the device at --port on the command line, named
// by a configuration text ("ausstattung"), or none; show, diff and report
// then assume the full fitting, and say so. show, diff, export and import
// choose it the same way. $ZAV_PORT alone does not make them ask a device:
// they work on files, and a device that is not there would cost seconds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/app/common_options.h"
#include "cli/output/config_file_io.h"
#include "cli/output/reporter.h"
#include "core/config/config_image.h"
#include "fleet/base/outcome.h"
#include "fleet/text/config_text.h"

namespace zav::cli {

struct Fitting {
    uint8_t setup[kSetupBlockBytes] = {};
    std::string source;      // how it was found, for the user
    std::string source_key;  // the same for JSON: "option", "device", "text", "assumed", or "none"
    std::string port;        // the port asked, for "device"
    std::string file;        // the text that names it, for "text"

    SetupFitting setup_bytes() const { return {setup[0], setup[1]}; }
    // Whether there is one ("none": a text is then written and read
    // without one).
    bool known() const { return source_key != "none"; }
};

// What a command does when neither an option, a device nor a text names a
// fitting: work without one (export, import), or assume the full fitting
// and say so (show, diff, report).
enum class WithoutFitting { kNone, kAssumeFull };

// Chooses for files already read: --setup, else the device at common.port
// (identified), else the fitting the texts among files name, else as
// without says. A text that names another fitting than --setup, the device
// or another text is refused (exit 4), with both named.
Outcome choose_fitting(const CommonOptions& common, const std::string& setup_text,
                       const std::vector<const ConfigurationSource*>& files, WithoutFitting without,
                       const Reporter& reporter, Fitting& fitting);

// The same for a command whose files are no texts of their own choosing
// (report): --setup, the device, or the full fitting assumed.
Outcome choose_fitting(const CommonOptions& common, const std::string& setup_text, const Reporter& reporter,
                       Fitting& fitting);

// "Ausstattung  Setup 7F0111021E, aus --setup" and below it what the block
// says, the tone set included.
void tell_fitting(const Reporter& reporter, const Fitting& fitting);

// {"setup", "source", "info", "port"?}
nlohmann::json fitting_json(const Fitting& fitting);

}  // namespace zav::cli
