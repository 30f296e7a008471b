#include "sim/trace_replay.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace zav::sim {

namespace {

constexpr const char kFormatName[] = "zavctl-trace";
constexpr int kKnownVersion = 1;

bool hex_pair(const std::string& word, uint8_t& value) {
    if (word.size() != 2) return false;
    char* end = nullptr;
    const unsigned long number = std::strtoul(word.c_str(), &end, 16);
    if (*end != '\0' || !std::isxdigit(static_cast<unsigned char>(word[0]))) return false;
    value = static_cast<uint8_t>(number);
    return true;
}

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char digits[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(digits, sizeof digits, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += digits;
    }
    return text.empty() ? "nothing" : text;
}

bool parse_event(const std::string& text, int line, TraceEvent& event) {
    const size_t bar = text.find(" | ");
    std::istringstream words(bar == std::string::npos ? text : text.substr(0, bar));
    std::string time;
    if (!(words >> time >> event.port >> event.kind)) return false;
    char* end = nullptr;
    const unsigned long ms = std::strtoul(time.c_str(), &end, 10);
    if (time.empty() || *end != '\0' || !std::isdigit(static_cast<unsigned char>(time[0]))) return false;
    event.line = line;
    event.ms = static_cast<uint32_t>(ms);
    event.bytes.clear();
    for (std::string word; words >> word;) {
        uint8_t value = 0;
        if (!hex_pair(word, value)) return false;
        event.bytes.push_back(value);
    }
    return true;
}

bool is_request(const TraceEvent& event) { return event.kind == "pc>dev"; }
// What the device sent: whole frames and the bytes around them, which the
// program's decoder drops but which a replay must send as they came.
bool is_answer(const TraceEvent& event) { return event.kind == "dev>pc" || event.kind == "noise"; }
// The port was opened or closed: the times start again, and what the
// device sent before the next request went nowhere.
bool ends_answers(const TraceEvent& event) { return event.kind == "open" || event.kind == "close"; }

}  // namespace

bool parse_trace(const std::string& text, std::vector<TraceEvent>& events, std::string& error) {
    events.clear();
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (number == 1) {
            int version = 0;
            char name[32] = {};
            if (std::sscanf(line.c_str(), "%31s %d", name, &version) != 2 || std::string(name) != kFormatName) {
                error = "line 1: not a zavctl trace (it starts with \"zavctl-trace 1\")";
                return false;
            }
            if (version != kKnownVersion) {
                error = "line 1: trace format " + std::to_string(version) + ", this zavsim reads format 1";
                return false;
            }
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        TraceEvent event;
        if (!parse_event(line, number, event)) {
            error = "line " + std::to_string(number) + ": not an event (ms port event [hex bytes] [| meaning])";
            return false;
        }
        events.push_back(event);
    }
    if (number == 0) {
        error = "the trace is empty";
        return false;
    }
    return true;
}

bool TraceReplay::start(const std::vector<TraceEvent>& events, const std::string& port, std::string& error) {
    port_ = port;
    requests_.clear();
    next_ = 0;
    so_far_.clear();
    departed_at_ = 0;
    departure_.clear();
    for (const TraceEvent& event : events) {
        if (port_.empty() && (is_request(event) || is_answer(event))) port_ = event.port;
        if (event.port != port_) continue;
        // A write of no bytes put nothing on the line: the program cannot
        // be waited for there, and what the device sent after it still
        // answers the request before.
        if (is_request(event) && event.bytes.empty()) continue;
        if (is_request(event)) {
            requests_.push_back(Request{event.line, event.bytes, {}});
            request_ms_ = event.ms;
            collecting_ = true;
        } else if (ends_answers(event)) {
            collecting_ = false;
        } else if (is_answer(event) && collecting_ && !event.bytes.empty()) {
            const uint32_t delay = event.ms >= request_ms_ ? event.ms - request_ms_ : 0;
            requests_.back().answers.push_back(TracedAnswer{delay, event.bytes});
        }
    }
    if (requests_.empty()) {
        error = port_.empty() ? "the trace holds no request" : "the trace holds no request on port " + port_;
        return false;
    }
    return true;
}

void TraceReplay::depart(const std::vector<uint8_t>& got) {
    if (next_ < requests_.size()) {
        const Request& expected = requests_[next_];
        departed_at_ = expected.line;
        departure_ = "at line " + std::to_string(expected.line) + " (request " + std::to_string(next_ + 1) + " of " +
                     std::to_string(requests_.size()) + "): expected " + hex(expected.bytes) + ", got " + hex(got);
    } else {
        departed_at_ = requests_.back().line + 1;
        departure_ = "after its last request (line " + std::to_string(requests_.back().line) + "): got " + hex(got);
    }
}

void TraceReplay::receive(const uint8_t* bytes, size_t count, std::vector<TracedAnswer>& answers) {
    for (size_t i = 0; i < count && departed_at_ == 0; ++i) {
        so_far_.push_back(bytes[i]);
        const bool beyond = next_ >= requests_.size();
        if (beyond || so_far_.size() > requests_[next_].bytes.size() ||
            so_far_.back() != requests_[next_].bytes[so_far_.size() - 1]) {
            // What came with the byte that departs, to show it whole.
            so_far_.insert(so_far_.end(), bytes + i + 1, bytes + count);
            depart(so_far_);
            return;
        }
        if (so_far_.size() == requests_[next_].bytes.size()) {
            const std::vector<TracedAnswer>& traced = requests_[next_].answers;
            answers.insert(answers.end(), traced.begin(), traced.end());
            so_far_.clear();
            ++next_;
        }
    }
}

}  // namespace zav::sim
