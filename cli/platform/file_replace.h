// Writing a file so that it is either the complete new one or untouched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zav::cli {

// Writes bytes to a temporary file beside path, flushes it to the disk and
// renames it over path. A symbolic link is followed: its target gets the
// new content and the link stays. Something that is not a regular file (a
// device, a folder, a FIFO) is never replaced. The new file keeps the
// permissions of the file it replaces, and the folder is synced after the
// rename. Returns false with the reason in error (the tool's words); no
// temporary file is left then.
bool replace_file(const std::string& path, const uint8_t* bytes, size_t count, std::string& error);

}  // namespace zav::cli
