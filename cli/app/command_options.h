// Options that several commands share, with their lines for each
// command's help, so that they are spelt and explained alike everywhere.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "cli/app/commands.h"
#include "fleet/base/outcome.h"

namespace zav::cli {

// --log FILE and --operator NAME.
void add_log_options(CLI::App& subcommand, LogOptions& log);
extern const char kLogOptionsHelp[];

// --backup-dir DIR, --no-backup and --always (program, restore).
void add_backup_options(CLI::App& subcommand, ProgramOptions& options);
extern const char kBackupOptionsHelp[];

// An option that only a series takes, given without --series: exit 1.
Outcome only_with_series(const std::string& option);

}  // namespace zav::cli
