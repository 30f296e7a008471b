#include "cli/device/traced_line.h"

#include <map>

#include "cli/device/port_short_name.h"

namespace zav::cli {

namespace {

FrameTrace* g_trace = nullptr;

// At most this many reads empty the input before a transaction: a line that
// keeps babbling must not hold the transaction up.
constexpr int kMostFlushReads = 16;

const char* dropped_piece(WirePiece::Kind kind) {
    switch (kind) {
        case WirePiece::kCutShort: return "unvollständiger Rahmen, verworfen";
        case WirePiece::kTooLong: return "zu langer Rahmen, verworfen";
        default: return "außerhalb eines Rahmens, verworfen";
    }
}

}  // namespace

TracedLine::TracedLine(std::unique_ptr<SerialLine> line, FrameTrace& trace, const std::string& port, Clock& clock)
    : line_(std::move(line)), trace_(trace), port_(port_short_name(port)), clock_(clock), opened_ms_(clock.now_ms()) {
    event(trace_event::kOpen, nullptr, 0, "2400 8N1");
}

TracedLine::~TracedLine() {
    std::vector<WirePiece> pieces;
    incoming_.finish(pieces);
    received(pieces);
    const uint32_t closed_ms = clock_.now_ms() - opened_ms_;
    line_.reset();
    trace_.event(port_, closed_ms, trace_event::kClose, nullptr, 0, std::string());
}

void TracedLine::event(const char* kind, const uint8_t* bytes, size_t count, const std::string& meaning) {
    trace_.event(port_, clock_.now_ms() - opened_ms_, kind, bytes, count, meaning);
}

void TracedLine::received(const std::vector<WirePiece>& pieces) {
    for (const WirePiece& piece : pieces) {
        if (piece.kind == WirePiece::kFrame) {
            std::vector<uint8_t> payload;
            frame_payload(piece.wire.data(), piece.wire.size(), payload);
            event(trace_event::kReceived, piece.wire.data(), piece.wire.size(), meaning_.received(payload));
        } else {
            event(trace_event::kNoise, piece.wire.data(), piece.wire.size(), dropped_piece(piece.kind));
        }
    }
}

bool TracedLine::status_told(LineStatus status) {
    if (status == LineStatus::kGone) event(trace_event::kGone, nullptr, 0, "Leitung weg");
    if (status == LineStatus::kInterrupted) event(trace_event::kInterrupt, nullptr, 0, "Strg+C");
    return status == LineStatus::kGone || status == LineStatus::kInterrupted;
}

LineStatus TracedLine::write(const uint8_t* bytes, size_t n) {
    const LineStatus status = line_->write(bytes, n);
    std::vector<uint8_t> payload;
    const std::string meaning = frame_payload(bytes, n, payload)
                                    ? meaning_.sent(payload)
                                    : "kein Rahmen (" + std::to_string(n) + (n == 1 ? " Byte)" : " Bytes)");
    event(trace_event::kSent, bytes, n, meaning);
    if (status == LineStatus::kTimedOut) {
        event(trace_event::kWriteTimeout, nullptr, 0, "nicht in " + std::to_string(100 + 10 * n) + " ms gesendet");
    }
    status_told(status);
    return status;
}

LineStatus TracedLine::read(uint8_t* buffer, size_t size, uint32_t timeout_ms, size_t& count) {
    const LineStatus status = line_->read(buffer, size, timeout_ms, count);
    if (status == LineStatus::kOk) {
        std::vector<WirePiece> pieces;
        incoming_.feed(buffer, count, pieces);
        received(pieces);
    } else if (status == LineStatus::kTimedOut) {
        event(trace_event::kTimeout, nullptr, 0, "nichts in " + std::to_string(timeout_ms) + " ms");
    } else {
        status_told(status);
    }
    return status;
}

void TracedLine::discard_pending() {
    std::vector<uint8_t> dropped;
    uint8_t buffer[256];
    for (int i = 0; i < kMostFlushReads; ++i) {
        size_t count = 0;
        if (line_->read(buffer, sizeof buffer, 0, count) != LineStatus::kOk) break;
        dropped.insert(dropped.end(), buffer, buffer + count);
    }
    line_->discard_pending();
    if (!dropped.empty()) {
        event(trace_event::kFlush, dropped.data(), dropped.size(), "vor der Übertragung verworfen");
    }
}

namespace {

// The last failure told per port, so that a series that looks for a
// missing adapter every second tells it once, and again after the port has
// been open in between. The ports of a series may one day be opened on
// threads of their own.
struct OpenFailures {
    Lock lock;
    std::map<std::string, std::string> last;
};

OpenFailures& open_failures() {
    static OpenFailures failures;
    return failures;
}

}  // namespace

void set_port_trace(FrameTrace* trace) { g_trace = trace; }

std::unique_ptr<SerialLine> traced_port(std::unique_ptr<SerialLine> line, const std::string& port, Clock& clock) {
    if (g_trace == nullptr || !line) return line;
    {
        OpenFailures& failures = open_failures();
        Held held(failures.lock);
        failures.last.erase(port_short_name(port));
    }
    return std::make_unique<TracedLine>(std::move(line), *g_trace, port, clock);
}

void trace_open_failure(const std::string& port, const std::string& why) {
    if (g_trace == nullptr) return;
    const std::string name = port_short_name(port);
    {
        OpenFailures& failures = open_failures();
        Held held(failures.lock);
        std::string& last = failures.last[name];
        if (last == why) return;
        last = why;
    }
    g_trace->event(name, 0, trace_event::kOpenFailed, nullptr, 0, why);
}

}  // namespace zav::cli
