// Appending to a log so that what was written survives a crash or a pulled
// plug: the audit log gets one line per device, and a device programmed
// must never be missing from it.
#pragma once

#include <string>

namespace zav::cli {

// Appends bytes to the file at path, making it when it is missing, and
// returns only once they are on the disk (the file synced, and the folder
// too when the file is new). Returns false with the reason in the tool's
// words; then nothing may be assumed written.
bool append_durably(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace zav::cli
