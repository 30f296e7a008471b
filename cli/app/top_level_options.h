// The options zavctl takes before or after any command (--port, --json,
// --quiet, --trace) and those of the tool itself (--help, --version): the
// grammar that main() parses with and the help lists.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "cli/app/common_options.h"

namespace zav::cli {

struct TopLevelOptions {
    CommonOptions common;
    std::string trace_name;  // --trace; "" for none
    bool help = false;
    bool version = false;
};

void add_top_level_options(CLI::App& app, TopLevelOptions& options);

}  // namespace zav::cli
