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

// Writes bytes as a new file at path, complete or not at all, and never
// over anything already there: a temporary file beside it, flushed, is put
// in place by one step that fails when the name is taken (a hard link on
// POSIX, a move that does not replace on Windows). So two writers that
// chose the same free name at once cannot replace each other's file. On
// failure false with the reason in error, exists set when the name was
// taken; no temporary file is left.
bool create_whole_file(const std::string& path, const uint8_t* bytes, size_t count, bool& exists,
                       std::string& error);

}  // namespace zav::cli
