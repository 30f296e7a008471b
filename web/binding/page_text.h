// The one place where the program's texts meet the page's. Inside the
// module every text is Windows-1252, as in the windowed program and
// zavctl (the sources are compiled from a Windows-1252 copy, see
// web/CMakeLists.txt); JavaScript strings are Unicode. Every text leaves
// through page_text and every text the user typed comes in through
// program_text, so no other line of the binding converts.
#pragma once

#include <string>
#include <string_view>

#include <emscripten/val.h>

namespace zav::web {

// A text of the program (Windows-1252) as a JavaScript string.
emscripten::val page_text(std::string_view cp1252);

// A string from the page (embind hands it over as UTF-8) as the program's
// text: a character Windows-1252 lacks becomes '?', as it does in the
// windowed program's edit fields.
std::string program_text(const std::string& utf8);

// Bytes from the page (a Uint8Array) and to it.
std::string bytes_from_page(const emscripten::val& array);
emscripten::val bytes_to_page(const void* data, size_t length);

}  // namespace zav::web
