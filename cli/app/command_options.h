// Options that several commands share, with their lines for each
// command's help, so that they are spelt and explained alike everywhere.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "fleet/base/outcome.h"

namespace zav::cli {

// How often a failed programming, or a read the line spoiled, is tried
// again unless --retries says otherwise.
constexpr int kDefaultRetries = 2;

// --retries N: 0 to 10.
void add_retries_option(CLI::App& subcommand, int& retries);

// --log and --operator: the audit log that gets one line per device, and
// who did the work.
struct LogOptions {
    std::string file;           // --log FILE; "" for none (a series then makes its own)
    std::string operator_name;  // --operator NAME; "" for the login name
};
void add_log_options(CLI::App& subcommand, LogOptions& log);
extern const char kLogOptionsHelp[];

// --backup-dir DIR, --no-backup and --always (program, restore).
struct BackupOptions {
    std::string folder;  // --backup-dir; "" for the user's default folder
    bool none = false;   // --no-backup
    bool always = false; // --always: write a device that holds the record already
};
void add_backup_options(CLI::App& subcommand, BackupOptions& backup);
extern const char kBackupOptionsHelp[];

// A help text with the shared options' lines put in for "%BACKUP%" and
// "%LOG%", where it has them.
std::string with_shared_options(std::string help);

// An option that only a series takes, given without --series: exit 1.
Outcome only_with_series(const std::string& option);

}  // namespace zav::cli
