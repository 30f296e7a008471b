#include "cli/platform/console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "cli/platform/lock.h"
#include "cli/platform/system_error_text.h"
#include "cli/platform/win32/windows_error_text.h"
#include "fleet/base/text_encoding.h"

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

// Why the first write to standard output failed; "" while all went out.
std::string g_output_error;

void note_failure(Stream stream, const std::string& reason) {
    if (stream == Stream::kOut && g_output_error.empty()) g_output_error = reason;
}

// A console shows wide characters whatever its code page; bytes written to
// it would be read in the console's OEM code page and garble the umlauts.
// One writer at a time: each text (a whole line, or a report's lines) goes
// out whole, whichever port of a series or the Ctrl+C handler's thread
// writes it.
Lock& output_lock() {
    static Lock lock;
    return lock;
}

void write_console(Stream stream, const char* text, int length, UINT code_page) {
    if (length == 0) return;
    const Held held(output_lock());
    const int wide_length = MultiByteToWideChar(code_page, 0, text, length, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<size_t>(wide_length));
    MultiByteToWideChar(code_page, 0, text, length, wide.data(), wide_length);
    DWORD written = 0;
    if (!WriteConsoleW(handle_of(stream), wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr)) {
        note_failure(stream, windows_error_text(GetLastError()));
    }
}

void write_file(Stream stream, const char* data, size_t size) {
    const Held held(output_lock());
    std::FILE* file = file_of(stream);
    errno = 0;
    if (std::fwrite(data, 1, size, file) != size || std::fflush(file) != 0) {
        note_failure(stream, system_error_text(errno != 0 ? errno : EIO));
    }
}

}  // namespace

void prepare_console() {}

void write_utf8(Stream stream, const std::string& utf8) {
    if (is_console(stream)) {
        std::fflush(file_of(stream));
        write_console(stream, utf8.data(), static_cast<int>(utf8.size()), CP_UTF8);
        return;
    }
    write_file(stream, utf8.data(), utf8.size());
}

void write_text(Stream stream, const std::string& text) {
    if (is_console(stream)) {
        std::fflush(file_of(stream));
        write_console(stream, text.data(), static_cast<int>(text.size()), 1252);
        return;
    }
    write_utf8(stream, utf8_from_cp1252(text));
}

void write_bytes(Stream stream, const uint8_t* bytes, size_t count) {
    // In text mode the C library would turn every 0x0A into 0x0D 0x0A.
    std::fflush(file_of(stream));
    const int previous = _setmode(_fileno(file_of(stream)), _O_BINARY);
    write_file(stream, reinterpret_cast<const char*>(bytes), count);
    if (previous != -1) _setmode(_fileno(file_of(stream)), previous);
}

bool is_terminal(Stream stream) { return is_console(stream); }

std::string shown_name(const std::string& argument) { return argument; }

std::string json_name(const std::string& argument) { return utf8_from_cp1252(argument); }

std::string standard_output_error() {
    if (g_output_error.empty() && std::fflush(stdout) != 0) {
        g_output_error = system_error_text(errno != 0 ? errno : EIO);
    }
    return g_output_error;
}

}  // namespace zav::cli
