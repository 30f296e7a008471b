// zavsim: the virtual ZAV 160 on a pseudo-terminal.
//
// One thread, one poll loop over the pty master, the control listener and
// its clients. The program under Wine talks to the pty slave (through a
// dosdevices/comN link); a test talks to the control port to set faults
// between transactions and to read back the frame log and what the device
// stored.
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/device.h"
#include "sim/trace_replay.h"

namespace {

using zav::sim::Device;

const char kUsage[] =
    "Usage: zavsim [options]\n"
    "The virtual ZAV 160 on a pseudo-terminal: it answers identification ('+'),\n"
    "configuration read ('-'), programming ('.') and setup write ('*') at 2400 8N1.\n"
    "\n"
    "  --link PATH        make PATH a symbolic link to the device's terminal, for\n"
    "                     example $WINEPREFIX/dosdevices/com1 (replaces what is there)\n"
    "  --control PORT     listen for control commands on 127.0.0.1:PORT (0: any free port)\n"
    "  --control-file F   write the control port number to F once listening\n"
    "  --log FILE         log every frame in both directions with a timestamp\n"
    "  --setup HEX        the setup block, 10 hex digits (byte 1, byte 2, check, major, minor)\n"
    "  --options HEX      setup bytes 1 and 2 (4 hex digits); the check byte is computed\n"
    "  --version M.m      the software version it reports, for example 3.1\n"
    "  --record HEX       the stored configuration record, 216 hex digits (sum is added)\n"
    "  --erased           start with an erased configuration memory (all FF)\n"
    "  --fault FAULT      misbehave; may be repeated (see FAULTS)\n"
    "  --pace             send at the pace of the line (2400 baud: about 4.17 ms a byte)\n"
    "  --baud N           the line's speed for --pace and --loopback (default 2400)\n"
    "  --loopback         be a loopback plug instead of a device: every byte that\n"
    "                     comes goes back, at the pace of the line (zavctl selftest)\n"
    "  --replay TRACE     answer as the device of a zavctl trace (--trace) did: the\n"
    "                     program's requests must come in the trace's order, byte for\n"
    "                     byte, and each gets the answers that followed it in the\n"
    "                     trace, after the same pauses; a request that departs from\n"
    "                     the trace is reported on standard error with the trace's\n"
    "                     line, and nothing more is answered\n"
    "  --replay-port NAME the port of the trace to replay (default: the first it names)\n"
    "  --quiet            print nothing but errors\n"
    "  --help             this text\n"
    "\n"
    "Default device: alarms 0..4 fitted, 10 addresses, relays up to 2, set A,\n"
    "version 2.30, three 5-tone addresses and a few alarm actions.\n"
    "\n"
    "FAULTS\n"
    "  silent              answer nothing\n"
    "  reject              answer every command with F1\n"
    "  wrong-length K      send the next K identification frames with 4 bytes\n"
    "  bad-check           report the setup block with a wrong check byte\n"
    "  out-of-order        start every read with block 1 instead of block 0\n"
    "  read-silent-after N read: send nothing more after block N\n"
    "  request N [M]       programming: answer block N once with a request for block M (default N)\n"
    "  refuse-block N      programming: F1 instead of 60 after acknowledging block N (65535: last)\n"
    "  silent-block N      programming: no answer to block N\n"
    "  refuse-setup        setup write: F1 instead of 60 after the acknowledgement\n"
    "  ignore-setup        setup write: complete it but keep the old setup block\n"
    "  stall-block N       programming: acknowledge block N, then never confirm it\n"
    "  stall-setup         setup write: acknowledge the block, then never confirm it\n"
    "  vanish-after-frames N  hang the line up when the Nth program frame from now\n"
    "                      arrives (1: the next one), without answering it\n"
    "  vanish-after-bytes N   hang the line up once N more bytes have arrived\n"
    "\n"
    "CONTROL COMMANDS (one per line; each answer line starts with 'ok' or 'error')\n"
    "  ping | reset | clear              reset: default device, no faults, empty log, pace as started\n"
    "  fault FAULT                       add a fault (as above); clear removes all\n"
    "  setup HEX | options HEX | version M.m | record HEX | erase | pace on|off\n"
    "  get setup | get record | get stats    record: 110 bytes with sum and complement\n"
    "  get start    'ok SECONDS': when the frame log's times begin (CLOCK_MONOTONIC)\n"
    "  log          'ok N' and then N lines 'SECONDS pc>dev|dev>pc HEX...'\n"
    "  log clear    empty the frame log\n"
    "  get replay   'ok matched=K requests=N departed=L', L the trace's line the\n"
    "               program departed from (0: none), then where and what it sent\n"
    "  vanish       hang the line up now: the terminal is closed and the link removed,\n"
    "               as when a USB adapter is pulled; the device loses what it was doing\n"
    "  appear       bring the line back on a new terminal behind the same link\n"
    "  hold         the port is taken: the link points at a folder, so opening it\n"
    "               fails, while the device and an open line stay as they are\n"
    "  release      the port is free again\n"
    "  openers PID  'ok N': how many descriptors process PID has open on the line\n"
    "               (a terminal it has had, or the folder of a held or vanished line)\n"
    "  noise seed S                     seed the line noise (printed by tests to repeat a run)\n"
    "  noise KIND to-program|to-device N   one frame hit: let N frames of that direction\n"
    "                                   pass, then garbage (rubbish bytes before it),\n"
    "                                   corrupt (one wire byte changed), drop or duplicate;\n"
    "                                   frames to the device are only dropped or duplicated\n"
    "  noise random PERCENT [to-program]  hit any frame (or any frame to the program)\n"
    "                                   with this chance\n"
    "  noise off                        no more noise\n"
    "The frame log shows what each side meant to send, before the noise.\n"
    "'reset' also brings a vanished line back and ends the noise.\n";

struct Client {
    int fd;
    std::string input;
};

struct Sim {
    Device device;
    int master = -1;
    int slave = -1;
    int listener = -1;
    std::vector<Client> clients;
    FILE* log_file = nullptr;
    std::vector<std::string> log;  // the frame log the control channel hands out
    bool pace = false;
    bool pace_at_start = false;  // what "reset" returns to
    bool quiet = false;
    timespec start{};
    std::string link_path;        // where the terminal is linked, if anywhere
    std::string slave_name;
    std::vector<std::string> terminals;  // every terminal the line has had
    bool vanished = false;        // the line is hung up
    long vanish_after_bytes = -1; // bytes still let through before the line dies
    long byte_time_ns = 4166667;  // 10 bits at 2400 baud
    bool loopback = false;        // a loopback plug, not a device
    bool replaying = false;       // a traced device, not this one
    zav::sim::TraceReplay replay;
    // Bytes for the line, each to go out at its time (monotonic ns), in order.
    struct Due {
        long long at_ns;
        std::vector<uint8_t> bytes;
    };
    std::deque<Due> due;
};

Sim g_sim;
volatile sig_atomic_t g_stop = 0;

void on_signal(int) { g_stop = 1; }

long long now_ns() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

double seconds_since_start() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec - g_sim.start.tv_sec) +
           static_cast<double>(now.tv_nsec - g_sim.start.tv_nsec) / 1e9;
}

std::string hex(const uint8_t* bytes, size_t n, const char* separator) {
    std::string text;
    char digits[4];
    for (size_t i = 0; i < n; ++i) {
        if (i) text += separator;
        snprintf(digits, sizeof digits, "%02X", bytes[i]);
        text += digits;
    }
    return text;
}

bool parse_hex(const std::string& text, uint8_t* out, size_t n) {
    if (text.size() != 2 * n) return false;
    for (size_t i = 0; i < n; ++i) {
        char pair[3] = {text[2 * i], text[2 * i + 1], 0};
        char* end = nullptr;
        unsigned long value = strtoul(pair, &end, 16);
        if (*end != 0) return false;
        out[i] = static_cast<uint8_t>(value);
    }
    return true;
}

bool parse_number(const std::string& text, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = strtol(text.c_str(), &end, 0);
    return *end == 0;
}

void log_frame(void*, bool from_device, const uint8_t* payload, size_t length) {
    char stamp[32];
    snprintf(stamp, sizeof stamp, "%.3f", seconds_since_start());
    std::string line = std::string(stamp) + (from_device ? " dev>pc " : " pc>dev ") + hex(payload, length, " ");
    g_sim.log.push_back(line);
    if (g_sim.log_file) {
        fprintf(g_sim.log_file, "%s\n", line.c_str());
        fflush(g_sim.log_file);
    }
}

void reset_device() {
    zav::sim::device_init(g_sim.device);
    g_sim.device.log = log_frame;
}

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) ++i;
        size_t begin = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r') ++i;
        if (i > begin) words.push_back(text.substr(begin, i - begin));
    }
    return words;
}

// Applies one fault given as words; false when it is not understood.
bool add_fault(const std::vector<std::string>& words) {
    zav::sim::Faults& faults = g_sim.device.faults;
    if (words.empty()) return false;
    const std::string& name = words[0];
    long n = 0, m = 0;
    bool has_n = words.size() >= 2 && parse_number(words[1], n);
    if (name == "silent") faults.silent = true;
    else if (name == "reject") faults.reject_commands = true;
    else if (name == "bad-check") faults.bad_check = true;
    else if (name == "out-of-order") faults.read_out_of_order = true;
    else if (name == "refuse-setup") faults.refuse_setup = true;
    else if (name == "ignore-setup") faults.ignore_setup = true;
    else if (name == "stall-setup") faults.stall_setup = true;
    else if (name == "stall-block" && has_n) faults.program_stall_block = static_cast<int32_t>(n);
    else if (name == "wrong-length" && has_n) faults.wrong_length_idents = static_cast<uint32_t>(n);
    else if (name == "read-silent-after" && has_n) faults.read_silent_after = static_cast<int32_t>(n);
    else if (name == "vanish-after-frames" && has_n && n >= 1)
        faults.vanish_after_frames = static_cast<int32_t>(n);
    else if (name == "refuse-block" && has_n) faults.program_refuse_block = static_cast<int32_t>(n);
    else if (name == "silent-block" && has_n) faults.program_silent_block = static_cast<int32_t>(n);
    else if (name == "request" && has_n) {
        faults.program_request_block = static_cast<int32_t>(n);
        faults.program_requested = static_cast<int32_t>(n);
        if (words.size() >= 3) {
            if (!parse_number(words[2], m)) return false;
            faults.program_requested = static_cast<int32_t>(m);
        }
    } else return false;
    return true;
}

bool set_version(const std::string& text) {
    unsigned major = 0, minor = 0;
    char tail = 0;
    if (sscanf(text.c_str(), "%u.%u%c", &major, &minor, &tail) != 2 || major > 255 || minor > 255) return false;
    g_sim.device.setup[3] = static_cast<uint8_t>(major);
    g_sim.device.setup[4] = static_cast<uint8_t>(minor);
    return true;
}

bool set_options(const std::string& text) {
    uint8_t bytes[2];
    if (!parse_hex(text, bytes, 2)) return false;
    g_sim.device.setup[0] = bytes[0];
    g_sim.device.setup[1] = bytes[1];
    zav::sim::seal_setup(g_sim.device.setup);
    return true;
}

bool set_record(const std::string& text) {
    uint8_t record[zav::sim::kRecordBytes];
    if (!parse_hex(text, record, sizeof record)) return false;
    zav::sim::store_record(g_sim.device, record);
    return true;
}

bool open_terminal(std::string& slave_name);
bool relink(const std::string& target);
bool point_link_at_folder();
bool count_openers(long pid, long& count);
void hang_up();
bool appear();

bool set_noise(const std::vector<std::string>& words) {
    zav::sim::LineNoise& noise = g_sim.device.noise;
    long n = 0;
    if (words.size() == 2 && words[1] == "off") {
        zav::sim::clear_noise(noise);
        return true;
    }
    if (words.size() == 3 && words[1] == "seed" && parse_number(words[2], n)) {
        zav::sim::set_noise_seed(noise, static_cast<uint32_t>(n));
        return true;
    }
    if ((words.size() == 3 || (words.size() == 4 && words[3] == "to-program")) && words[1] == "random" &&
        parse_number(words[2], n) && n >= 0 && n <= 100) {
        noise.random_percent = static_cast<uint32_t>(n);
        noise.random_to_program = words.size() == 4;
        return true;
    }
    if (words.size() != 4 || !parse_number(words[3], n) || n < 0) return false;
    const bool to_device = words[2] == "to-device";
    if (!to_device && words[2] != "to-program") return false;
    zav::sim::NoiseKind kind;
    if (words[1] == "garbage" && !to_device) kind = zav::sim::NoiseKind::garbage;
    else if (words[1] == "corrupt" && !to_device) kind = zav::sim::NoiseKind::corrupt;
    else if (words[1] == "drop") kind = zav::sim::NoiseKind::drop;
    else if (words[1] == "duplicate") kind = zav::sim::NoiseKind::duplicate;
    else return false;
    zav::sim::set_one_shot_noise(noise, kind, to_device, static_cast<uint32_t>(n));
    return true;
}

// Carries out one control command; the answer's lines end in '\n'.
std::string control(const std::string& line) {
    std::vector<std::string> words = split(line);
    if (words.empty()) return "error empty command\n";
    const std::string& verb = words[0];
    std::string argument = words.size() >= 2 ? words[1] : "";
    Device& device = g_sim.device;
    if (verb == "ping") return "ok\n";
    if (verb == "reset") {
        if (g_sim.vanished && !appear()) return "error cannot open a terminal\n";
        if (!g_sim.link_path.empty()) relink(g_sim.slave_name);
        g_sim.vanish_after_bytes = -1;
        reset_device();
        g_sim.log.clear();
        g_sim.pace = g_sim.pace_at_start;
        return "ok\n";
    }
    if (verb == "clear") {
        g_sim.vanish_after_bytes = -1;
        zav::sim::clear_faults(device.faults);
        return "ok\n";
    }
    if (verb == "vanish") {
        if (!g_sim.vanished) hang_up();
        return "ok\n";
    }
    if (verb == "appear") {
        if (!g_sim.vanished) return "ok\n";
        return appear() ? "ok\n" : "error cannot open a terminal\n";
    }
    if (verb == "hold") {
        if (g_sim.link_path.empty()) return "error no --link\n";
        return point_link_at_folder() ? "ok\n" : "error cannot relink\n";
    }
    if (verb == "release") {
        if (g_sim.link_path.empty() || g_sim.vanished) return "error no line to release\n";
        return relink(g_sim.slave_name) ? "ok\n" : "error cannot relink\n";
    }
    if (verb == "openers") {
        long pid = 0;
        long count = 0;
        if (words.size() != 2 || !parse_number(words[1], pid) || pid < 1) return "error openers PID\n";
        if (!count_openers(pid, count)) return "error cannot read the descriptors of process " + words[1] + "\n";
        return "ok " + std::to_string(count) + "\n";
    }
    if (verb == "noise") return set_noise(words) ? "ok\n" : "error noise: see --help\n";
    if (verb == "fault" && words.size() == 3 && words[1] == "vanish-after-bytes") {
        long n = 0;
        if (!parse_number(words[2], n) || n < 1) return "error vanish-after-bytes N\n";
        g_sim.vanish_after_bytes = n;
        return "ok\n";
    }
    if (verb == "fault") {
        std::vector<std::string> fault_words(words.begin() + 1, words.end());
        return add_fault(fault_words) ? "ok\n" : "error unknown fault\n";
    }
    if (verb == "setup") return parse_hex(argument, device.setup, zav::sim::kSetupBytes) ? "ok\n" : "error setup HEX\n";
    if (verb == "options") return set_options(argument) ? "ok\n" : "error options HEX\n";
    if (verb == "version") return set_version(argument) ? "ok\n" : "error version M.m\n";
    if (verb == "record") return set_record(argument) ? "ok\n" : "error record HEX\n";
    if (verb == "erase") {
        zav::sim::erase_record(device);
        return "ok\n";
    }
    if (verb == "pace") {
        g_sim.pace = argument == "on";
        return "ok\n";
    }
    if (verb == "get" && argument == "setup") return "ok " + hex(device.setup, zav::sim::kSetupBytes, "") + "\n";
    if (verb == "get" && argument == "record")
        return "ok " + hex(device.stored, zav::sim::kStoredBytes, "") + "\n";
    // The frame log's times count from here: a test that compares the logs
    // of several devices adds it (CLOCK_MONOTONIC, as Python's monotonic()).
    if (verb == "get" && argument == "start") {
        char start[48];
        snprintf(start, sizeof start, "%.6f", static_cast<double>(g_sim.start.tv_sec) + g_sim.start.tv_nsec / 1e9);
        return std::string("ok ") + start + "\n";
    }
    if (verb == "get" && argument == "stats") {
        char text[128];
        snprintf(text, sizeof text, "ok reads=%u programmings=%u setup_writes=%u noise_hits=%u line=%s\n",
                 device.reads, device.programmings, device.setup_writes, device.noise.hits,
                 g_sim.vanished ? "down" : "up");
        return text;
    }
    if (verb == "get" && argument == "replay") {
        if (!g_sim.replaying) return "error no --replay\n";
        const zav::sim::TraceReplay& replay = g_sim.replay;
        return "ok matched=" + std::to_string(replay.matched()) + " requests=" + std::to_string(replay.requests()) +
               " departed=" + std::to_string(replay.departed_at()) +
               (replay.departure().empty() ? "" : " " + replay.departure()) + "\n";
    }
    if (verb == "log" && argument == "clear") {
        g_sim.log.clear();
        return "ok\n";
    }
    if (verb == "log") {
        std::string answer = "ok " + std::to_string(g_sim.log.size()) + "\n";
        for (const std::string& entry : g_sim.log) answer += entry + "\n";
        return answer;
    }
    return "error unknown command\n";
}

void write_all(int fd, const uint8_t* bytes, size_t n) {
    size_t done = 0;
    while (done < n) {
        ssize_t written = write(fd, bytes + done, n - done);
        if (written > 0) {
            done += static_cast<size_t>(written);
        } else if (written < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd wait{fd, POLLOUT, 0};
            poll(&wait, 1, 100);
        } else {
            return;
        }
    }
}

void flush_device_output() {
    Device& device = g_sim.device;
    if (g_sim.pace) {
        // One byte at a time at 2400 baud, 10 bits a byte.
        for (size_t i = 0; i < device.output_length; ++i) {
            write_all(g_sim.master, device.output + i, 1);
            timespec byte_time{0, g_sim.byte_time_ns};
            nanosleep(&byte_time, nullptr);
        }
    } else {
        write_all(g_sim.master, device.output, device.output_length);
    }
    device.output_length = 0;
}

// Queues bytes to go out at at_ns, after everything queued before them.
void send_at(long long at_ns, std::vector<uint8_t> bytes) {
    if (!g_sim.due.empty() && g_sim.due.back().at_ns > at_ns) at_ns = g_sim.due.back().at_ns;
    g_sim.due.push_back({at_ns, std::move(bytes)});
}

void send_due() {
    const long long now = now_ns();
    while (!g_sim.due.empty() && g_sim.due.front().at_ns <= now) {
        if (g_sim.master >= 0) write_all(g_sim.master, g_sim.due.front().bytes.data(), g_sim.due.front().bytes.size());
        g_sim.due.pop_front();
    }
}

// The poll's time-out: until the next bytes are due, at most 500 ms.
int ms_until_due() {
    if (g_sim.due.empty()) return 500;
    const long long left = g_sim.due.front().at_ns - now_ns();
    if (left <= 0) return 0;
    return left >= 500000000LL ? 500 : static_cast<int>((left + 999999) / 1000000);
}

// A loopback plug: each byte goes back once the line has carried it. The
// times are kept from one byte to the next, so that a late wake-up of this
// process does not make the line slower.
void echo(const uint8_t* bytes, size_t n) {
    long long at = g_sim.due.empty() ? now_ns() : std::max(now_ns(), g_sim.due.back().at_ns);
    for (size_t i = 0; i < n; ++i) {
        at += g_sim.byte_time_ns;
        g_sim.due.push_back({at, std::vector<uint8_t>(1, bytes[i])});
    }
}

void answer_as_traced(const uint8_t* bytes, size_t n) {
    zav::sim::TraceReplay& replay = g_sim.replay;
    const bool had_departed = replay.departed_at() != 0;
    std::vector<zav::sim::TracedAnswer> answers;
    replay.receive(bytes, n, answers);
    if (!answers.empty()) {
        // What the traced device sent before this request came goes out
        // first, at once: it must not arrive after the answers to it.
        for (auto& item : g_sim.due) item.at_ns = 0;
        send_due();
        const long long now = now_ns();
        for (auto& answer : answers) send_at(now + static_cast<long long>(answer.delay_ms) * 1000000LL, answer.bytes);
    }
    if (!had_departed && replay.departed_at() != 0) {
        fprintf(stderr, "zavsim: replay: the program departs from the trace %s\n", replay.departure().c_str());
        fflush(stderr);
    }
}

void on_line_readable() {
    uint8_t buffer[256];
    ssize_t n = read(g_sim.master, buffer, sizeof buffer);
    if (n <= 0) return;
    if (g_sim.loopback) {
        echo(buffer, static_cast<size_t>(n));
        return;
    }
    if (g_sim.replaying) {
        answer_as_traced(buffer, static_cast<size_t>(n));
        return;
    }
    size_t taken = static_cast<size_t>(n);
    bool dies = false;
    if (g_sim.vanish_after_bytes > 0) {
        if (static_cast<long>(taken) >= g_sim.vanish_after_bytes) {
            taken = static_cast<size_t>(g_sim.vanish_after_bytes);
            dies = true;
        }
        g_sim.vanish_after_bytes -= static_cast<long>(taken);
    }
    zav::sim::device_receive(g_sim.device, buffer, taken);
    if (g_sim.device.vanish_now) {
        g_sim.device.output_length = 0;
        dies = true;
    }
    if (dies) {
        g_sim.vanish_after_bytes = -1;
        hang_up();
        return;
    }
    flush_device_output();
}

void say(const char* what) {
    if (g_sim.quiet) return;
    printf("zavsim: %s\n", what);
    fflush(stdout);
}

// Points the link at target (atomically, so an open never finds no link).
bool relink(const std::string& target) {
    std::string temporary = g_sim.link_path + ".new";
    unlink(temporary.c_str());
    return symlink(target.c_str(), temporary.c_str()) == 0 && rename(temporary.c_str(), g_sim.link_path.c_str()) == 0;
}

// The folder the link points at while the line is held or hung up.
std::string link_folder() { return g_sim.link_path + ".gone"; }

// Wine would not refuse a second opening of a port that another Windows
// program has open unshared, nor can root be kept out of a terminal; a
// folder in its place makes the open fail, as a taken or absent port does.
bool point_link_at_folder() {
    const std::string gone = link_folder();
    mkdir(gone.c_str(), 0700);
    return relink(gone);
}

// The descriptors of process pid that are open on the line: on a terminal
// the line has had (a hung-up one included) or on the folder that stands in
// for a held or vanished line. What else the process has open is not the
// line's business. False when its descriptors cannot be read.
bool count_openers(long pid, long& count) {
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    DIR* descriptors = opendir(folder.c_str());
    if (descriptors == nullptr) return false;
    char absolute[PATH_MAX];
    const std::string link_folder_path =
        realpath(link_folder().c_str(), absolute) != nullptr ? std::string(absolute) : link_folder();
    count = 0;
    while (const dirent* entry = readdir(descriptors)) {
        if (entry->d_name[0] == '.') continue;
        char target[PATH_MAX];
        const ssize_t length = readlink((folder + "/" + entry->d_name).c_str(), target, sizeof target - 1);
        if (length <= 0) continue;
        std::string name(target, static_cast<size_t>(length));
        // A terminal or folder that is gone is still the line.
        const std::string deleted = " (deleted)";
        if (name.size() > deleted.size() && name.compare(name.size() - deleted.size(), deleted.size(), deleted) == 0)
            name.resize(name.size() - deleted.size());
        bool on_line = !g_sim.link_path.empty() && name == link_folder_path;
        for (const std::string& terminal : g_sim.terminals) on_line = on_line || name == terminal;
        if (on_line) ++count;
    }
    closedir(descriptors);
    return true;
}

// Closing the master hangs the program's side up. The link then points at a
// folder, so opening the port fails until the line comes back, as with a
// pulled adapter. (Without any link Wine would fall back to /dev/ttyS0.)
void hang_up() {
    g_sim.due.clear();
    if (g_sim.master >= 0) close(g_sim.master);
    if (g_sim.slave >= 0) close(g_sim.slave);
    g_sim.master = g_sim.slave = -1;
    if (!g_sim.link_path.empty()) point_link_at_folder();
    zav::sim::device_restart(g_sim.device);
    g_sim.vanished = true;
    say("line hung up");
}

bool appear() {
    std::string slave_name;
    if (!open_terminal(slave_name)) return false;
    g_sim.slave_name = slave_name;
    if (!g_sim.link_path.empty() && !relink(slave_name)) return false;
    zav::sim::device_restart(g_sim.device);
    g_sim.vanished = false;
    say(("line back on " + slave_name).c_str());
    return true;
}

void on_client_readable(Client& client) {
    char buffer[4096];
    ssize_t n = read(client.fd, buffer, sizeof buffer);
    if (n <= 0) {
        close(client.fd);
        client.fd = -1;
        return;
    }
    client.input.append(buffer, static_cast<size_t>(n));
    size_t end;
    while ((end = client.input.find('\n')) != std::string::npos) {
        std::string answer = control(client.input.substr(0, end));
        client.input.erase(0, end + 1);
        write_all(client.fd, reinterpret_cast<const uint8_t*>(answer.data()), answer.size());
    }
}

bool open_terminal(std::string& slave_name) {
    g_sim.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (g_sim.master < 0 || grantpt(g_sim.master) != 0 || unlockpt(g_sim.master) != 0) return false;
    slave_name = ptsname(g_sim.master);
    g_sim.terminals.push_back(slave_name);
    // Holding the slave open keeps the master readable while the program has
    // the port closed (between transactions); otherwise it reads EIO.
    g_sim.slave = open(slave_name.c_str(), O_RDWR | O_NOCTTY);
    if (g_sim.slave < 0) return false;
    // The terminal becomes our own controlling terminal, so that no process
    // of the program's side (Wine's server opens ports without O_NOCTTY)
    // takes it as its own and is sent SIGHUP when the line is hung up.
    ioctl(g_sim.slave, TIOCSCTTY, 0);
    termios raw;
    tcgetattr(g_sim.slave, &raw);
    cfmakeraw(&raw);
    cfsetispeed(&raw, B2400);
    cfsetospeed(&raw, B2400);
    tcsetattr(g_sim.slave, TCSANOW, &raw);
    fcntl(g_sim.master, F_SETFL, fcntl(g_sim.master, F_GETFL) | O_NONBLOCK);
    return true;
}

int open_control(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 8) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int bound_port(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

void run_loop() {
    while (!g_stop) {
        std::vector<pollfd> fds;
        // While the line is down, a placeholder keeps the indices fixed.
        fds.push_back({g_sim.master, POLLIN, 0});
        if (g_sim.listener >= 0) fds.push_back({g_sim.listener, POLLIN, 0});
        for (const Client& client : g_sim.clients) fds.push_back({client.fd, POLLIN, 0});
        const int ready = poll(fds.data(), fds.size(), ms_until_due());
        send_due();
        if (ready <= 0) continue;
        if (g_sim.master >= 0 && (fds[0].revents & POLLIN)) on_line_readable();
        size_t next = 1;
        if (g_sim.listener >= 0) {
            if (fds[next].revents & POLLIN) {
                int fd = accept(g_sim.listener, nullptr, nullptr);
                if (fd >= 0) g_sim.clients.push_back({fd, std::string()});
            }
            ++next;
        }
        for (size_t i = 0; next + i < fds.size(); ++i) {
            if (fds[next + i].revents & (POLLIN | POLLHUP | POLLERR)) on_client_readable(g_sim.clients[i]);
        }
        std::vector<Client> open_clients;
        for (Client& client : g_sim.clients)
            if (client.fd >= 0) open_clients.push_back(client);
        g_sim.clients.swap(open_clients);
    }
}

bool need_value(int argc, int i) {
    if (i + 1 < argc) return true;
    fprintf(stderr, "zavsim: option needs a value\n");
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    clock_gettime(CLOCK_MONOTONIC, &g_sim.start);
    // A session of our own, so that the device's terminal can be ours
    // (open_terminal); fails harmlessly when we lead a process group already.
    setsid();
    reset_device();
    std::string link_path, control_file, log_path, replay_path, replay_port;
    int control_port = -1;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        bool ok = true;
        if (option == "--help" || option == "-h") {
            fputs(kUsage, stdout);
            return 0;
        } else if (option == "--pace") {
            g_sim.pace = g_sim.pace_at_start = true;
        } else if (option == "--quiet") {
            g_sim.quiet = true;
        } else if (option == "--loopback") {
            g_sim.loopback = true;
        } else if (option == "--erased") {
            zav::sim::erase_record(g_sim.device);
        } else if (!need_value(argc, i)) {
            return 2;
        } else {
            std::string value = argv[++i];
            if (option == "--link") link_path = value;
            else if (option == "--control") control_port = atoi(value.c_str());
            else if (option == "--control-file") control_file = value;
            else if (option == "--log") log_path = value;
            else if (option == "--setup") ok = parse_hex(value, g_sim.device.setup, zav::sim::kSetupBytes);
            else if (option == "--options") ok = set_options(value);
            else if (option == "--version") ok = set_version(value);
            else if (option == "--record") ok = set_record(value);
            else if (option == "--fault") ok = add_fault(split(value));
            else if (option == "--replay") replay_path = value;
            else if (option == "--replay-port") replay_port = value;
            else if (option == "--baud") {
                long baud = 0;
                ok = parse_number(value, baud) && baud >= 50 && baud <= 1000000;
                if (ok) g_sim.byte_time_ns = 10000000000L / baud;
            }
            else {
                fprintf(stderr, "zavsim: unknown option %s (see --help)\n", option.c_str());
                return 2;
            }
        }
        if (!ok) {
            fprintf(stderr, "zavsim: bad value for %s (see --help)\n", option.c_str());
            return 2;
        }
    }

    if (!replay_path.empty()) {
        std::ifstream file(replay_path, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        std::vector<zav::sim::TraceEvent> events;
        std::string error;
        if (!file || !zav::sim::parse_trace(text.str(), events, error) ||
            !g_sim.replay.start(events, replay_port, error)) {
            fprintf(stderr, "zavsim: %s: %s\n", replay_path.c_str(), file ? error.c_str() : "cannot read it");
            return 2;
        }
        g_sim.replaying = true;
    }
    if (g_sim.replaying && g_sim.loopback) {
        fprintf(stderr, "zavsim: --replay and --loopback exclude each other\n");
        return 2;
    }

    std::string& slave_name = g_sim.slave_name;
    g_sim.link_path = link_path;
    if (!open_terminal(slave_name)) {
        fprintf(stderr, "zavsim: cannot open a pseudo-terminal: %s\n", strerror(errno));
        return 1;
    }
    if (!log_path.empty()) {
        g_sim.log_file = fopen(log_path.c_str(), "w");
        if (!g_sim.log_file) {
            fprintf(stderr, "zavsim: cannot write %s\n", log_path.c_str());
            return 1;
        }
    }
    if (control_port >= 0) {
        g_sim.listener = open_control(control_port);
        if (g_sim.listener < 0) {
            fprintf(stderr, "zavsim: cannot listen on 127.0.0.1:%d\n", control_port);
            return 1;
        }
        control_port = bound_port(g_sim.listener);
    }
    if (!link_path.empty()) {
        unlink(link_path.c_str());
        if (symlink(slave_name.c_str(), link_path.c_str()) != 0) {
            fprintf(stderr, "zavsim: cannot link %s: %s\n", link_path.c_str(), strerror(errno));
            return 1;
        }
    }
    // Written last: whoever waits for this file may use the device at once.
    if (!control_file.empty()) {
        std::string temporary = control_file + ".tmp";
        FILE* file = fopen(temporary.c_str(), "w");
        if (!file) return 1;
        fprintf(file, "%d\n", control_port);
        fclose(file);
        rename(temporary.c_str(), control_file.c_str());
    }
    if (!g_sim.quiet) {
        if (g_sim.loopback) {
            printf("zavsim: a loopback plug attached to %s", slave_name.c_str());
        } else if (g_sim.replaying) {
            printf("zavsim: replaying %zu requests of port %s, attached to %s", g_sim.replay.requests(),
                   g_sim.replay.port().c_str(), slave_name.c_str());
        } else {
            printf("zavsim: ZAV 160 (V%u.%u) attached to %s", g_sim.device.setup[3], g_sim.device.setup[4],
                   slave_name.c_str());
        }
        if (!link_path.empty()) printf(", linked as %s", link_path.c_str());
        if (control_port >= 0) printf(", control on 127.0.0.1:%d", control_port);
        printf("\n");
        fflush(stdout);
    }

    struct sigaction action{};
    action.sa_handler = on_signal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    // Hanging up our own terminal sends us SIGHUP (see open_terminal).
    signal(SIGHUP, SIG_IGN);
    signal(SIGPIPE, SIG_IGN);

    run_loop();

    if (!link_path.empty()) {
        char target[256] = {};
        const std::string gone = link_path + ".gone";
        ssize_t n = readlink(link_path.c_str(), target, sizeof target - 1);
        if (n > 0 && (g_sim.slave_name == target || gone == target)) unlink(link_path.c_str());
        rmdir(gone.c_str());
    }
    if (g_sim.log_file) fclose(g_sim.log_file);
    return 0;
}
