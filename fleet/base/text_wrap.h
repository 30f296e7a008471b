// Text for a terminal of 80 columns. The program's texts are Windows-1252,
// one byte a column.
#pragma once

#include <cstddef>
#include <string>

namespace zav {

constexpr size_t kTextColumns = 80;

// text broken into lines of at most width columns, at blanks only and never
// inside "quoted text" (a command to type stays whole); every line after the
// first starts with indent. A word longer than a line stands alone on its
// line, unbroken: a long path is better long than cut. Lines are joined by
// '\n', with none at the end.
std::string wrapped(const std::string& text, const std::string& indent, size_t width = kTextColumns);

}  // namespace zav
