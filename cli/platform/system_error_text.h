// The C library's error numbers in the tool's language.
#pragma once

#include <string>

namespace zav::cli {

// German words for an error number (errno), to follow a file or port name
// in a message: "nicht vorhanden", "kein Platz mehr auf dem Datenträger".
// A number without words of its own gives "Systemfehler N"; the system's
// own text, which is English, never reaches the user.
std::string system_error_text(int error_number);

}  // namespace zav::cli
