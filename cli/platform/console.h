// The tool's two output streams. Texts inside the program are Windows-1252
// (the core's texts are); what reaches the terminal or a file is UTF-8, or,
// on a Windows console, the console's own wide characters.
//
// A write to standard output that fails (a full disk, a pipe whose reader
// has gone) is remembered, and the run ends with exit 2 and a message on
// standard error (finish_output): a report that was not written is no
// success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "fleet/base/outcome.h"

namespace zav::cli {

enum class Stream { kOut, kError };

// Before anything is written: a closed pipe or a file-size limit becomes a
// write error that the tool reports, not a signal that ends it unheard.
void prepare_console();

// Writes text (Windows-1252) as it is, no newline added.
void write_text(Stream stream, const std::string& text);

// Writes text that already is UTF-8 (JSON), no newline added.
void write_utf8(Stream stream, const std::string& utf8);

// Writes bytes unchanged (a configuration file sent to standard output).
void write_bytes(Stream stream, const uint8_t* bytes, size_t count);

// True when the stream goes to a terminal (a console window).
bool is_terminal(Stream stream);

// A name from the command line (a file, a port) as a text of the program,
// for its messages: on Linux the argument is UTF-8, on Windows it already
// is Windows-1252.
std::string shown_name(const std::string& argument);

// A name from the command line exactly as given, in UTF-8, for JSON: a name
// the terminal cannot show (shown_name) keeps every character here. Only
// bytes that are no UTF-8 at all become U+FFFD, as JSON must be UTF-8.
std::string json_name(const std::string& argument);

// Flushes standard output; the reason the first write to it failed, in the
// tool's words, or "" while everything went out.
std::string standard_output_error();

// The lost output as a failure (exit 2) for a command that can tell it
// where it happens; finish_output then does not tell it again.
Outcome standard_output_lost();

// The last step of every run: flushes standard output and, when something
// written to it was lost and no one said so yet, says so on standard error.
// A run that would have ended with success ends with exit 2 then.
int finish_output(int exit_code);

}  // namespace zav::cli
