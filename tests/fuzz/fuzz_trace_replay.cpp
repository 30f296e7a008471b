// A trace as zavsim --replay reads it (parse_trace, TraceReplay): sent in
// by a technician, edited by hand, cut short.
//
// Properties:
//  - a refused trace names its line (from 1 up to its number of lines), or
//    says it is empty;
//  - an accepted trace's events stand in the order of their lines;
//  - a replay it starts (of the first port, or of the port its last event
//    names) answers the requests of that port, sent in the trace's order in
//    pieces of any size, with exactly the bytes the device sent after each
//    request, in order and with their pauses, and departs from none;
//  - a request that departs (one byte changed) is named by its line, gets
//    no answer, and nothing is answered after it.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "sim/trace_replay.h"

using namespace zav::sim;

namespace {

size_t line_count(const std::string& text) {
    size_t lines = 0;
    for (const char c : text) lines += c == '\n' ? 1 : 0;
    return lines + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

// "line 12: ..." -> 12; 0 for anything else.
size_t named_line(const std::string& error) {
    if (error.compare(0, 5, "line ") != 0) return 0;
    return static_cast<size_t>(std::strtoul(error.c_str() + 5, nullptr, 10));
}

struct Expected {
    int line;
    std::vector<uint8_t> bytes;
    std::vector<TracedAnswer> answers;
};

// The requests of a port and what followed each, read from the events as
// the trace's format describes them: a request is what the program wrote
// (a write of no bytes is none); the device's frames and the bytes around
// them (noise) after it are its answers, timed from it, until the next
// request or until the port is opened or closed again.
std::vector<Expected> requests_of(const std::vector<TraceEvent>& events, const std::string& port) {
    std::vector<Expected> requests;
    bool collecting = false;
    uint32_t request_ms = 0;
    for (const TraceEvent& event : events) {
        if (event.port != port) continue;
        if (event.kind == "pc>dev" && !event.bytes.empty()) {
            requests.push_back({event.line, event.bytes, {}});
            request_ms = event.ms;
            collecting = true;
        } else if (event.kind == "open" || event.kind == "close") {
            collecting = false;
        } else if ((event.kind == "dev>pc" || event.kind == "noise") && collecting && !event.bytes.empty()) {
            requests.back().answers.push_back({event.ms >= request_ms ? event.ms - request_ms : 0, event.bytes});
        }
    }
    return requests;
}

bool same(const TracedAnswer& a, const TracedAnswer& b) { return a.delay_ms == b.delay_ms && a.bytes == b.bytes; }

void check_replay(const std::vector<TraceEvent>& events, const std::string& chosen, uint32_t pieces) {
    TraceReplay replay;
    std::string error;
    if (!replay.start(events, chosen, error)) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    const std::vector<Expected> requests = requests_of(events, replay.port());
    FUZZ_CHECK(!requests.empty() && replay.requests() == requests.size());
    FUZZ_CHECK(chosen.empty() || replay.port() == chosen);

    // The whole exchange, in pieces of 1 to 8 bytes.
    std::vector<uint8_t> sent;
    std::vector<TracedAnswer> expected;
    for (const Expected& request : requests) {
        sent.insert(sent.end(), request.bytes.begin(), request.bytes.end());
        expected.insert(expected.end(), request.answers.begin(), request.answers.end());
    }
    std::vector<TracedAnswer> answers;
    for (size_t at = 0; at < sent.size();) {
        const size_t piece = std::min<size_t>(1 + (pieces >> (at % 29)) % 8, sent.size() - at);
        replay.receive(sent.data() + at, piece, answers);
        at += piece;
    }
    FUZZ_CHECK(replay.departed_at() == 0 && replay.matched() == requests.size());
    FUZZ_CHECK(answers.size() == expected.size());
    for (size_t i = 0; i < answers.size(); ++i) FUZZ_CHECK(same(answers[i], expected[i]));
    // One byte more than the trace holds departs after its last request.
    replay.receive(sent.data(), sent.empty() ? 0 : 1, answers);
    FUZZ_CHECK(sent.empty() || replay.departed_at() == requests.back().line + 1);

    // A request with one byte changed departs there, answered by nothing.
    const size_t k = pieces % requests.size();
    if (requests[k].bytes.empty()) return;
    TraceReplay again;
    FUZZ_CHECK(again.start(events, chosen, error));
    std::vector<uint8_t> wrong;
    size_t answered = 0;
    for (size_t r = 0; r < k; ++r) {
        wrong.insert(wrong.end(), requests[r].bytes.begin(), requests[r].bytes.end());
        answered += requests[r].answers.size();
    }
    std::vector<uint8_t> changed = requests[k].bytes;
    changed[(pieces >> 8) % changed.size()] ^= 0x01;
    wrong.insert(wrong.end(), changed.begin(), changed.end());
    wrong.insert(wrong.end(), sent.begin(), sent.end());
    answers.clear();
    again.receive(wrong.data(), wrong.size(), answers);
    FUZZ_CHECK(again.departed_at() == requests[k].line);
    FUZZ_CHECK(answers.size() == answered && again.matched() == k);
    FUZZ_CHECK(!again.departure().empty());
    again.receive(sent.data(), sent.size(), answers);
    FUZZ_CHECK(answers.size() == answered);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<TraceEvent> events;
    std::string error;
    if (!parse_trace(text, events, error)) {
        const size_t line = named_line(error);
        FUZZ_CHECK(line >= 1 ? line <= line_count(text) : line_count(text) == 0);
        return 0;
    }
    for (size_t i = 0; i < events.size(); ++i) {
        FUZZ_CHECK(events[i].line >= 2 && static_cast<size_t>(events[i].line) <= line_count(text));
        FUZZ_CHECK(i == 0 || events[i].line > events[i - 1].line);
    }
    // How the exchange is cut into pieces, from the trace itself.
    uint32_t pieces = 2166136261u;
    for (size_t i = 0; i < size; ++i) pieces = (pieces ^ data[i]) * 16777619u;
    check_replay(events, "", pieces);
    if (!events.empty()) check_replay(events, events.back().port, pieces);
    return 0;
}
