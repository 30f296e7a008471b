// The tool's two output streams. Texts inside the program are Windows-1252
// (the core's texts are); what reaches the terminal or a file is UTF-8, or,
// on a Windows console, the console's own wide characters.
#pragma once

#include <string>

namespace zav::cli {

enum class Stream { kOut, kError };

// Writes text (Windows-1252) as it is, no newline added.
void write_text(Stream stream, const std::string& text);

// Writes text that already is UTF-8 (JSON), no newline added.
void write_utf8(Stream stream, const std::string& utf8);

// True when the stream goes to a terminal (a console window).
bool is_terminal(Stream stream);

// A name from the command line (a file, a port) as a text of the program,
// for its messages: on Linux the argument is UTF-8, on Windows it already
// is Windows-1252.
std::string shown_name(const std::string& argument);

}  // namespace zav::cli
