// zavctl's commands. Each returns the process's exit code (exit_codes.h)
// and has told the user everything by then.
#pragma once

#include <string>
#include <vector>

namespace zav::cli {

struct CommonOptions {
    std::string port;  // --port, or "" for $ZAV_PORT
    bool json = false;
    bool quiet = false;
};

int command_ports(const CommonOptions& common);
int command_identify(const CommonOptions& common);
// The line's self-test with a loopback plug (loop_test.h).
int command_selftest(const CommonOptions& common);
// file "-": standard output; force: an existing file may be replaced.
// How often a failed programming, or a read the line spoiled, is tried
// again unless --retries says otherwise.
constexpr int kDefaultRetries = 2;

// --log and --operator: the audit log that gets one line per device, and
// who did the work.
struct LogOptions {
    std::string file;           // --log FILE; "" for none (a series then makes its own)
    std::string operator_name;  // --operator NAME; "" for the login name
};

struct ReadOptions {
    std::string output;  // -o: the file ("-": standard output); with series, the folder
    bool force = false;  // an existing file may be replaced
    bool series = false;
    std::string plan;    // --plan: the devices' labels and order (series)
    int retries = kDefaultRetries;
    LogOptions log;
};
int command_read(const CommonOptions& common, const ReadOptions& options);
int command_read_series(const CommonOptions& common, const ReadOptions& options);

struct ProgramOptions {
    std::string file;
    std::string setup;  // --setup: the type, ten hex digits; "" for the (first) device's
    int retries = kDefaultRetries;
    std::string plan;         // --plan: each device's own values (series)
    std::string backup_dir;   // --backup-dir; "" for the user's default folder
    bool no_backup = false;   // --no-backup
    bool always = false;      // --always: write a device that holds the record already
    // restore: the file is a backup, given back as it stands, byte for byte
    bool restore = false;
    LogOptions log;
};

int command_program(const CommonOptions& common, const ProgramOptions& options);
int command_program_series(const CommonOptions& common, const ProgramOptions& options);

struct VerifyOptions {
    std::string file;
    std::string setup;  // --setup: the series' type
    int retries = kDefaultRetries;
    std::string plan;   // --plan (series)
    LogOptions log;
};
int command_verify(const CommonOptions& common, const VerifyOptions& options);
int command_verify_series(const CommonOptions& common, const VerifyOptions& options);

// setup_text: --setup, ten hex digits, or "" (then the device's, with a
// port, else an assumed full fitting).
int command_show(const CommonOptions& common, const std::string& file, const std::string& setup_text);
int command_diff(const CommonOptions& common, const std::string& first, const std::string& second,
                 const std::string& setup_text);

struct ReportOptions {
    std::vector<std::string> inputs;  // audit logs and configuration files, told apart by their content
    std::string output;               // -o
    std::string setup_text;           // --setup, for the configuration files
    bool csv = false;                 // --csv: the inventory instead of the sheets
    bool force = false;               // --force: an existing output is replaced
};
int command_report(const CommonOptions& common, const ReportOptions& options);

// export and import: a configuration file as text and back (docs/Textformat.md).
struct TextOptions {
    std::string input;       // the configuration file (export) or the text (import)
    std::string output;      // -o; "" or "-": standard output (export only)
    std::string setup_text;  // --setup: the fitting whose fields the text holds
    bool force = false;      // --force: an existing output is replaced
};
int command_export(const CommonOptions& common, const TextOptions& options);
int command_import(const CommonOptions& common, const TextOptions& options);

}  // namespace zav::cli
