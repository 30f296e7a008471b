// The system's words for a Windows error code, for the tool's messages.
#pragma once

#include <windows.h>

#include <string>

namespace zav::cli {

// FormatMessage's text without its trailing full stop and line break, in
// the ANSI code page (the program's own); "Systemfehler N" when the system
// has none.
std::string windows_error_text(DWORD error);

}  // namespace zav::cli
