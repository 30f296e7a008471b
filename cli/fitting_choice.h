// The fitting a command works on files with: given as a setup block
// (--setup HEX), read from the device at --port on the command line, or
// assumed, and then said so. show, diff, export, import and report choose
// it the same way. $ZAV_PORT alone does not make them ask a device: they
// work on files, and a device that is not there would cost seconds.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "cli/config_text.h"
#include "cli/outcome.h"
#include "cli/reporter.h"
#include "core/config/config_image.h"

namespace zav::cli {

struct Fitting {
    uint8_t setup[kSetupBlockBytes] = {};
    std::string source;      // how it was found, for the user
    std::string source_key;  // the same for JSON: "option", "device", "assumed"
    std::string port;        // the port asked, for "device"

    SetupFitting setup_bytes() const { return {setup[0], setup[1]}; }
};

// Checks --setup alone (10 hex digits with a fitting check byte): exit 1
// when it is wrong. Nothing else is looked at before the call is right.
Outcome parse_setup_option(const std::string& setup_text, uint8_t* setup);

// Chooses: --setup, else the device at common.port (identified), else the
// full fitting, with a note that it was assumed.
Outcome choose_fitting(const CommonOptions& common, const std::string& setup_text, const Reporter& reporter,
                       Fitting& fitting);

// "Ausstattung  Setup 7F0111021E, aus --setup" and below it what the block
// says, the tone set included.
void tell_fitting(const Reporter& reporter, const Fitting& fitting);

// {"setup", "source", "info", "port"?}
nlohmann::json fitting_json(const Fitting& fitting);

}  // namespace zav::cli
