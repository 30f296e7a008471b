#include "cli/app/top_level_options.h"

namespace zav::cli {

void add_top_level_options(CLI::App& app, TopLevelOptions& options) {
    app.add_flag("-h,--help", options.help);
    app.add_flag("--version", options.version);
    app.add_option("--port", options.common.ports)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)->expected(1);
    app.add_flag("--json", options.common.json);
    app.add_flag("-q,--quiet", options.common.quiet);
    app.add_option("--trace", options.trace_name);
}

}  // namespace zav::cli
