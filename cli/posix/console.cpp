#include "cli/console.h"

#include <unistd.h>

#include <cstdio>

#include "cli/text_encoding.h"

namespace zav::cli {

namespace {

std::FILE* file_of(Stream stream) { return stream == Stream::kOut ? stdout : stderr; }

}  // namespace

void write_utf8(Stream stream, const std::string& utf8) {
    std::FILE* file = file_of(stream);
    std::fwrite(utf8.data(), 1, utf8.size(), file);
    std::fflush(file);
}

void write_text(Stream stream, const std::string& text) { write_utf8(stream, utf8_from_cp1252(text)); }

bool is_terminal(Stream stream) { return isatty(fileno(file_of(stream))) == 1; }

std::string shown_name(const std::string& argument) { return cp1252_from_utf8(argument); }

}  // namespace zav::cli
