#include "sim/replay_mode.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace zav::sim {

bool ReplayMode::load(const std::string& path, const std::string& port, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    std::vector<TraceEvent> events;
    std::string reason;
    if (!file || !parse_trace(text.str(), events, reason) || !replay_.start(events, port, reason)) {
        error = path + ": " + (file ? reason : "cannot read it");
        return false;
    }
    return true;
}

bool ReplayMode::receive(const uint8_t* bytes, size_t n) {
    const bool had_departed = replay_.departed_at() != 0;
    std::vector<TracedAnswer> answers;
    replay_.receive(bytes, n, answers);
    if (!answers.empty()) {
        // What the traced device sent before this request came goes out
        // first, at once: it must not arrive after the answers to it.
        output_.send_all_now();
        const long long now = now_ns();
        for (auto& answer : answers)
            output_.send_at(now + static_cast<long long>(answer.delay_ms) * 1000000LL, answer.bytes);
    }
    if (!had_departed && replay_.departed_at() != 0) {
        fprintf(stderr, "zavsim: replay: the program departs from the trace %s\n", replay_.departure().c_str());
        fflush(stderr);
    }
    return true;
}

std::string ReplayMode::describe() const {
    return "replaying " + std::to_string(replay_.requests()) + " requests of port " + replay_.port() + ",";
}

std::string ReplayMode::status() const {
    return "matched=" + std::to_string(replay_.matched()) + " requests=" + std::to_string(replay_.requests()) +
           " departed=" + std::to_string(replay_.departed_at()) +
           (replay_.departure().empty() ? "" : " " + replay_.departure());
}

}  // namespace zav::sim
