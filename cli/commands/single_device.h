// The one device of program, restore and verify, reached the same way: the
// log opened before the device is touched, the time the work began taken,
// the port opened and the device identified and accepted. A failure on the
// way ends the command there, told and (once a device was asked) logged.
// The device's identification begins the command's JSON document, and the
// command's end is logged and told through here too.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "cli/app/command_options.h"
#include "cli/app/common_options.h"
#include "cli/commands/single_log.h"
#include "cli/device/connection.h"
#include "cli/device/device_session.h"
#include "cli/device/programming.h"
#include "cli/output/reporter.h"
#include "fleet/base/outcome.h"

namespace zav::cli {

class SingleDevice {
public:
    // command: the log's word ("program", "restore", "verify"); file: the
    // file given.
    SingleDevice(const CommonOptions& common, const Reporter& reporter, const LogOptions& log, const char* command,
                 const std::string& file);

    // True once the device is reached and accepted; false when the command
    // ended on the way, told and logged: exit_code() then.
    bool open();
    int exit_code() const { return exit_code_; }

    DeviceLink& device() { return *connection_.device; }
    const Identification& found() const { return found_; }
    SingleLog& log() { return log_; }
    // The command's document: the identification, and what the command adds.
    nlohmann::json& document() { return document_; }
    // The file, the SHA-256 of the record in the device's image, the port,
    // the start and the time so far, into the document.
    void stamp_record();
    // When the work began (ISO 8601), for a backup's name.
    const std::string& started() const { return stamp_.started; }

    // Logs outcome as the command's end, then tells it with the document
    // (tell_end); returns the exit code.
    int end(const Outcome& outcome);

private:
    const CommonOptions& common_;
    const Reporter& reporter_;
    const std::string file_;
    SingleLog log_;
    RecordStamp stamp_;
    Connection connection_;
    Identification found_ = {};
    nlohmann::json document_;
    int exit_code_ = kExitOk;
};

}  // namespace zav::cli
