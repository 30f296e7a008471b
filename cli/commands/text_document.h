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

// {"input", "output" ("-" for standard output), "fitting" (or null),
// "sha256" of the record}.
nlohmann::json text_document(const std::string& input, const std::string& output, const Fitting& fitting,
                             const uint8_t* record);

}  // namespace zav::cli
