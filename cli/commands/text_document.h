// export and import: a configuration as text, for an editor and for version
// control, and back into the window's file (docs/Textformat.md). A text
// names the fitting whose fields it holds, or none; both commands name the
// fitting they used, where there is one, in the same JSON document.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/commands/fitting_choice.h"

namespace zav::cli {

// What export and import are given.
struct TextCall {
    std::string input;       // the configuration file (export) or the text (import)
    std::string output;      // -o; "" or "-": standard output (export only)
    std::string setup_text;  // --setup: the fitting whose fields the text holds
    bool force = false;      // --force: an existing output is replaced
};

// {"input", "output" ("-" for standard output), "fitting" (or null),
// "sha256" of the record}.
nlohmann::json text_document(const std::string& input, const std::string& output, const Fitting& fitting,
                             const uint8_t* record);

}  // namespace zav::cli
