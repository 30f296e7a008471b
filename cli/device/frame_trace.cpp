#include "cli/device/frame_trace.h"

#include <cstdio>

#include "cli/platform/console.h"
#include "fleet/base/hex.h"
#include "fleet/base/text_encoding.h"

namespace zav::cli {

namespace {

// Says which field is which, for whoever opens the file; readers skip it.
constexpr const char kColumnsLine[] =
    "# ms seit dem Öffnen des Ports, Port, Ereignis, Bytes auf der Leitung (hex) | Bedeutung";

}  // namespace

FrameTrace::FrameTrace(std::unique_ptr<TraceSink> sink) : sink_(std::move(sink)) {
    write(std::string(kTraceFormatLine) + "\n# zavctl " ZAV_VERSION_TEXT "\n" + utf8_from_cp1252(kColumnsLine) + "\n");
}

void FrameTrace::event(const std::string& port, uint32_t ms, const char* kind, const uint8_t* bytes, size_t count,
                       const std::string& meaning) {
    write(trace_line(port, ms, kind, bytes, count, meaning));
}

std::string FrameTrace::error() {
    Held held(lock_);
    return error_;
}

void FrameTrace::write(const std::string& utf8) {
    Held held(lock_);
    if (!error_.empty()) return;
    std::string why;
    if (!sink_->write(utf8, why)) error_ = why.empty() ? "Schreibfehler" : why;
}

std::string trace_line(const std::string& port, uint32_t ms, const char* kind, const uint8_t* bytes, size_t count,
                       const std::string& meaning) {
    char time[16];
    std::snprintf(time, sizeof time, "%7u", static_cast<unsigned>(ms));
    std::string line = std::string(time) + " " + port + " " + kind;
    if (count > 0) line += " " + hex_text(bytes, count, " ");
    if (!meaning.empty()) line += " | " + utf8_from_cp1252(escaped_controls(meaning));
    return line + "\n";
}

}  // namespace zav::cli
