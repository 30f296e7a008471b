// Windows error codes in the tool's language.
#pragma once

#include <windows.h>

#include <string>

namespace zav::cli {

// German words for an error code (GetLastError), to follow a file or port
// name in a message, in the program's code page: "nicht vorhanden",
// "kein Platz mehr auf dem Datenträger". A code without words of its own
// gives "Systemfehler N". The system's own text is not asked for: on most
// Windows installations it is not German, and on none is it the tool's.
std::string windows_error_text(DWORD error);

}  // namespace zav::cli
