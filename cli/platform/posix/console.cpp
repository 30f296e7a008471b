#include "cli/platform/console.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "cli/platform/lock.h"
#include "cli/platform/system_error_text.h"
#include "fleet/base/text_encoding.h"

namespace zav::cli {

namespace {

std::FILE* file_of(Stream stream) { return stream == Stream::kOut ? stdout : stderr; }

// The first failure on standard output (an errno), 0 while all went out.
int g_output_error = 0;

// One writer at a time: each text (a whole line, or a report's lines) goes
// out whole, whichever port of a series writes it.
Lock& output_lock() {
    static Lock lock;
    return lock;
}

void write_and_flush(Stream stream, const char* data, size_t size) {
    const Held held(output_lock());
    std::FILE* file = file_of(stream);
    errno = 0;
    const bool written = std::fwrite(data, 1, size, file) == size && std::fflush(file) == 0;
    // Nothing can be said about a lost standard error; standard output's
    // loss is told at the end of the run.
    if (!written && stream == Stream::kOut && g_output_error == 0) g_output_error = errno != 0 ? errno : EIO;
}

}  // namespace

void prepare_console() {
    // A reader that went away and a file-size limit then show as EPIPE and
    // EFBIG from write(): the tool says so and removes a half-written file.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

void write_utf8(Stream stream, const std::string& utf8) { write_and_flush(stream, utf8.data(), utf8.size()); }

void write_text(Stream stream, const std::string& text) { write_utf8(stream, utf8_from_cp1252(text)); }

void write_bytes(Stream stream, const uint8_t* bytes, size_t count) {
    write_and_flush(stream, reinterpret_cast<const char*>(bytes), count);
}

bool is_terminal(Stream stream) { return isatty(fileno(file_of(stream))) == 1; }

std::string shown_name(const std::string& argument) { return cp1252_from_utf8(argument); }

std::string json_name(const std::string& argument) {
    // A Linux name is bytes, nearly always UTF-8: taken as it is. The JSON
    // library's own check decides what is UTF-8, so a name that passes here
    // is never refused when the document is written.
    const std::string quoted = nlohmann::json(argument).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return nlohmann::json::parse(quoted).get<std::string>();
}

std::string standard_output_error() {
    if (g_output_error == 0 && std::fflush(stdout) != 0) g_output_error = errno != 0 ? errno : EIO;
    return g_output_error == 0 ? std::string() : system_error_text(g_output_error);
}

}  // namespace zav::cli
