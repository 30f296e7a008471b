#include "cli/console.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "cli/text_encoding.h"

namespace zav::cli {

namespace {

std::FILE* file_of(Stream stream) { return stream == Stream::kOut ? stdout : stderr; }

HANDLE handle_of(Stream stream) {
    return GetStdHandle(stream == Stream::kOut ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool is_console(Stream stream) {
    DWORD mode = 0;
    return GetConsoleMode(handle_of(stream), &mode) != 0;
}

// A console shows wide characters whatever its code page; bytes written to
// it would be read in the console's OEM code page and garble the umlauts.
void write_console(Stream stream, const char* text, int length, UINT code_page) {
    if (length == 0) return;
    const int wide_length = MultiByteToWideChar(code_page, 0, text, length, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<size_t>(wide_length));
    MultiByteToWideChar(code_page, 0, text, length, wide.data(), wide_length);
    DWORD written = 0;
    WriteConsoleW(handle_of(stream), wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

}  // namespace

void write_utf8(Stream stream, const std::string& utf8) {
    if (is_console(stream)) {
        std::fflush(file_of(stream));
        write_console(stream, utf8.data(), static_cast<int>(utf8.size()), CP_UTF8);
        return;
    }
    std::FILE* file = file_of(stream);
    std::fwrite(utf8.data(), 1, utf8.size(), file);
    std::fflush(file);
}

void write_text(Stream stream, const std::string& text) {
    if (is_console(stream)) {
        std::fflush(file_of(stream));
        write_console(stream, text.data(), static_cast<int>(text.size()), 1252);
        return;
    }
    write_utf8(stream, utf8_from_cp1252(text));
}

bool is_terminal(Stream stream) { return is_console(stream); }

std::string shown_name(const std::string& argument) { return argument; }

}  // namespace zav::cli
