#include "sim/control_commands.h"

#include <cstdio>
#include <vector>

#include "sim/device_settings.h"
#include "sim/words.h"

namespace zav::sim {

namespace {

// ping, reset, clear and what the line does: vanish, appear, hold, release,
// openers. An empty answer: not one of them.
std::string line_command(Station& station, const std::vector<std::string>& words) {
    const std::string& verb = words[0];
    Line& line = station.line;
    if (verb == "ping") return "ok\n";
    if (verb == "reset") {
        if (line.down() && !station.come_back()) return "error cannot open a terminal\n";
        if (line.has_link()) line.release();
        station.device.reset();
        station.frame_log.clear();
        return "ok\n";
    }
    if (verb == "clear") {
        station.device.clear_faults();
        return "ok\n";
    }
    if (verb == "vanish") {
        if (!line.down()) station.hang_up();
        return "ok\n";
    }
    if (verb == "appear") {
        if (!line.down()) return "ok\n";
        return station.come_back() ? "ok\n" : "error cannot open a terminal\n";
    }
    if (verb == "hold") {
        if (!line.has_link()) return "error no --link\n";
        return line.hold() ? "ok\n" : "error cannot relink\n";
    }
    if (verb == "release") {
        if (!line.has_link() || line.down()) return "error no line to release\n";
        return line.release() ? "ok\n" : "error cannot relink\n";
    }
    if (verb == "openers") {
        long pid = 0;
        long count = 0;
        if (words.size() != 2 || !parse_number(words[1], pid) || pid < 1) return "error openers PID\n";
        if (!line.count_openers(pid, count)) return "error cannot read the descriptors of process " + words[1] + "\n";
        return "ok " + std::to_string(count) + "\n";
    }
    return "";
}

// What changes the device: noise, faults, its setup, record and pace.
std::string device_command(Station& station, const std::vector<std::string>& words) {
    const std::string& verb = words[0];
    const std::string argument = words.size() >= 2 ? words[1] : "";
    Device& device = station.device.device();
    if (verb == "noise") return set_noise(device.noise, words) ? "ok\n" : "error noise: see --help\n";
    if (verb == "fault" && words.size() == 3 && words[1] == "vanish-after-bytes") {
        long n = 0;
        if (!parse_number(words[2], n) || n < 1) return "error vanish-after-bytes N\n";
        station.device.vanish_after_bytes(n);
        return "ok\n";
    }
    if (verb == "fault") {
        std::vector<std::string> fault_words(words.begin() + 1, words.end());
        return add_fault(device.faults, fault_words) ? "ok\n" : "error unknown fault\n";
    }
    if (verb == "setup") return set_setup(device, argument) ? "ok\n" : "error setup HEX\n";
    if (verb == "options") return set_options(device, argument) ? "ok\n" : "error options HEX\n";
    if (verb == "version") return set_version(device, argument) ? "ok\n" : "error version M.m\n";
    if (verb == "record") return set_record(device, argument) ? "ok\n" : "error record HEX\n";
    if (verb == "erase") {
        erase_record(device);
        return "ok\n";
    }
    if (verb == "pace") {
        station.device.set_pace(argument == "on");
        return "ok\n";
    }
    return "";
}

// What can be read back: get ..., log.
std::string query(Station& station, const std::vector<std::string>& words) {
    const std::string& verb = words[0];
    const std::string argument = words.size() >= 2 ? words[1] : "";
    const Device& device = station.device.device();
    if (verb == "get" && argument == "setup") return "ok " + hex(device.setup, kSetupBytes, "") + "\n";
    if (verb == "get" && argument == "record") return "ok " + hex(device.stored, kStoredBytes, "") + "\n";
    // The frame log's times count from here: a test that compares the logs
    // of several devices adds it (CLOCK_MONOTONIC, as Python's monotonic()).
    if (verb == "get" && argument == "start") return "ok " + station.frame_log.start_text() + "\n";
    if (verb == "get" && argument == "stats") {
        char text[128];
        snprintf(text, sizeof text, "ok reads=%u programmings=%u setup_writes=%u noise_hits=%u line=%s\n",
                 device.reads, device.programmings, device.setup_writes, device.noise.hits,
                 station.line.down() ? "down" : "up");
        return text;
    }
    if (verb == "get" && argument == "replay") {
        if (!station.replay) return "error no --replay\n";
        return "ok " + station.replay->status() + "\n";
    }
    if (verb == "log" && argument == "clear") {
        station.frame_log.clear();
        return "ok\n";
    }
    if (verb == "log") {
        const std::vector<std::string>& lines = station.frame_log.lines();
        std::string answer = "ok " + std::to_string(lines.size()) + "\n";
        for (const std::string& entry : lines) answer += entry + "\n";
        return answer;
    }
    return "";
}

}  // namespace

std::string carry_out_control(Station& station, const std::string& line) {
    const std::vector<std::string> words = split_words(line);
    if (words.empty()) return "error empty command\n";
    std::string answer = line_command(station, words);
    if (answer.empty()) answer = device_command(station, words);
    if (answer.empty()) answer = query(station, words);
    return answer.empty() ? "error unknown command\n" : answer;
}

}  // namespace zav::sim
