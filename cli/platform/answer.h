// An answer typed at the terminal, for the one question a series may ask
// (cli/series/unclear_device.h): read as a line, given up on Ctrl+C.
#pragma once

#include <string>

namespace zav::cli {

// True when standard input is a terminal (a console window) that a person
// can type into.
bool input_is_terminal();

// The next line typed (without its end, in the program's code page); false
// at the end of the input, on a failure, and when Ctrl+C was pressed while
// waiting (or before).
bool read_answer(std::string& line);

}  // namespace zav::cli
