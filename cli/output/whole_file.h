// Reading a file the tool takes whole: an audit log, a plan.
#pragma once

#include <string>

#include "fleet/base/outcome.h"

namespace zav::cli {

// Appends the bytes of the file at path to bytes. Failure (exit 2):
// "Datei nicht vorhanden !" or "Dateifehler", the name and the reason in
// the detail.
Outcome read_whole_file(const std::string& path, std::string& bytes);

}  // namespace zav::cli
