// The copies of a device's configuration taken before it is written, and
// the files of a fleet's backup: each a configuration file of its own in a
// folder, named so that a technician finds the right one by vehicle and
// date, and never written over another.
#pragma once

#include <cstdint>
#include <string>

#include "fleet/base/outcome.h"

namespace zav::cli {

// The backup folder: option (--backup-dir) or the user's default, made now,
// before any device is touched, so that a folder that cannot take files is
// told at once. Failure: exit 2.
Outcome prepare_backup_folder(const std::string& option, std::string& folder);

// Writes the configuration file of record (108 bytes) into folder as
// name, or, when that name is taken by another file, as name with "-2",
// "-3", ... before its extension; a file of that name with the very same
// bytes is that copy already. Never replaces a file. path: the file that
// holds the copy.
Outcome store_configuration(const std::string& folder, const std::string& name, const uint8_t* record,
                            std::string& path);

}  // namespace zav::cli
