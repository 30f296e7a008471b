// The files the tool writes: checked before the work that fills them begins
// (before a device is touched), written whole or not at all, never over an
// existing file without --force, never over anything but a regular file.
// The name "-" stands for standard output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "fleet/base/outcome.h"

namespace zav::cli {

bool is_standard_output(const std::string& name);

// Whether name may be written: its folder exists and takes a new file, it
// is no folder, device or FIFO, and an existing file only with force
// ("Datei existiert bereits: NAME (--force ersetzt sie)"). All failures
// exit 2. "-" always may.
Outcome check_output_path(const std::string& name, bool force);

// Checks name again (a file may have come meanwhile) and writes bytes to it
// as one complete file (file_replace.h), through a symbolic link to its
// target; "-" sends them to standard output.
Outcome write_output_file(const std::string& name, const uint8_t* bytes, size_t count, bool force);

}  // namespace zav::cli
