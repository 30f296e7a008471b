// The C library's error numbers in the tool's language.
#pragma once

#include <string>

namespace zav::cli {

// German words for the common errors of files and ports; the system's own
// text for the rest.
std::string system_error_text(int error_number);

}  // namespace zav::cli
