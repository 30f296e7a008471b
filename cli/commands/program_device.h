// program and restore: one device identified, checked for the type, backed
// up, given a record and verified, with one JSON document and one log line
// that say what was done. What the device is given is each command's own.
#pragma once

#include <string>

#include "cli/app/command_options.h"
#include "cli/app/common_options.h"
#include "cli/device/device_session.h"
#include "cli/output/reporter.h"
#include "fleet/base/outcome.h"
#include "fleet/text/configuration_source.h"

namespace zav::cli {

// The options of program and restore (and of program --series).
struct ProgramSettings {
    std::string file;
    std::string setup;  // --setup: the type, ten hex digits; "" for the (first) device's
    int retries = kDefaultRetries;
    BackupOptions backup;
    LogOptions log;
};

// How a command gives the file to the device: program takes it as the
// window would, restore gives a backup back as it stands.
class RecordForDevice {
public:
    virtual ~RecordForDevice() = default;
    // The log's word for the command: "program", "restore".
    virtual const char* log_command() const = 0;
    // Puts the file's record into device.state.image, whose setup block is
    // the device's just identified; a refusal is told as the end.
    virtual Outcome take(const ConfigurationSource& file, DeviceLink& device, const Reporter& reporter) const = 0;
};

// Runs it for the device at --port and returns the exit code.
int program_one_device(const CommonOptions& common, const ProgramSettings& options, const RecordForDevice& given);

}  // namespace zav::cli
