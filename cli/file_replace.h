// Writing a file so that it is either the complete new one or untouched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zav::cli {

// Writes bytes to a temporary file beside path, flushes it to the disk and
// renames it over path. Returns false with the system's reason in error;
// the temporary file is removed then.
bool replace_file(const std::string& path, const uint8_t* bytes, size_t count, std::string& error);

}  // namespace zav::cli
