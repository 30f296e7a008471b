// zavctl's commands. Each returns the process's exit code (exit_codes.h)
// and has told the user everything by then.
#pragma once

#include <string>

namespace zav::cli {

struct CommonOptions {
    std::string port;  // --port, or "" for $ZAV_PORT
    bool json = false;
    bool quiet = false;
};

int command_ports(const CommonOptions& common);
int command_identify(const CommonOptions& common);
int command_read(const CommonOptions& common, const std::string& file);
// How often a failed programming, or a verify read the line spoiled, is
// tried again unless --retries says otherwise.
constexpr int kDefaultRetries = 2;

struct ProgramOptions {
    std::string file;
    std::string setup;  // --setup: the type, ten hex digits; "" for the (first) device's
    int retries = kDefaultRetries;
};

int command_program(const CommonOptions& common, const ProgramOptions& options);
int command_program_series(const CommonOptions& common, const ProgramOptions& options);
int command_verify(const CommonOptions& common, const std::string& file, int retries);
// setup_text: --setup, ten hex digits, or "" (then the device's, with a
// port, else an assumed full fitting).
int command_show(const CommonOptions& common, const std::string& file, const std::string& setup_text);
int command_diff(const CommonOptions& common, const std::string& first, const std::string& second,
                 const std::string& setup_text);

}  // namespace zav::cli
