// zavsim: the virtual ZAV 160 on a pseudo-terminal.
//
// One thread, one poll loop over the line, the control listener and its
// clients. The program under Wine talks to the pty slave (through a
// dosdevices/comN link); a test talks to the control port to set faults
// between transactions and to read back the frame log and what the device
// stored. What answers on the line is the device, a replayed trace or a
// loopback plug (sim/*_mode.h).
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim/control_commands.h"
#include "sim/control_server.h"
#include "sim/station.h"
#include "sim/zavsim_options.h"

namespace {

using zav::sim::ControlServer;
using zav::sim::Station;
using zav::sim::StartOptions;

// The one thing a signal handler may touch.
volatile sig_atomic_t g_stop = 0;

void on_signal(int) { g_stop = 1; }

void on_line_readable(Station& station) {
    uint8_t buffer[256];
    ssize_t n = read(station.line.fd(), buffer, sizeof buffer);
    if (n <= 0) return;
    if (!station.answering().receive(buffer, static_cast<size_t>(n))) station.hang_up();
}

void run_loop(Station& station, ControlServer& control) {
    const ControlServer::Handler handle = [&station](const std::string& line) {
        return zav::sim::carry_out_control(station, line);
    };
    while (!g_stop) {
        std::vector<pollfd> fds;
        // While the line is down, a placeholder (-1) keeps the indices fixed.
        fds.push_back({station.line.fd(), POLLIN, 0});
        control.add_to_poll(fds);
        const int ready = poll(fds.data(), fds.size(), station.output.ms_until_due());
        station.output.send_due();
        if (ready <= 0) continue;
        if (station.line.fd() >= 0 && (fds[0].revents & POLLIN)) on_line_readable(station);
        control.serve(fds.data() + 1, handle);
    }
}

// Written last: whoever waits for this file may use the device at once.
bool write_control_file(const std::string& path, int port) {
    std::string temporary = path + ".tmp";
    FILE* file = fopen(temporary.c_str(), "w");
    if (!file) return false;
    fprintf(file, "%d\n", port);
    fclose(file);
    rename(temporary.c_str(), path.c_str());
    return true;
}

// Everything before the loop; the exit code when it cannot start, else -1.
int start(const StartOptions& options, Station& station, ControlServer& control) {
    if (!options.replay_path.empty()) {
        station.replay = std::make_unique<zav::sim::ReplayMode>(station.output);
        std::string error;
        if (!station.replay->load(options.replay_path, options.replay_port, error)) {
            fprintf(stderr, "zavsim: %s\n", error.c_str());
            return 2;
        }
    }
    if (station.replay && options.loopback) {
        fprintf(stderr, "zavsim: --replay and --loopback exclude each other\n");
        return 2;
    }
    if (options.loopback) station.loopback = std::make_unique<zav::sim::LoopbackMode>(station.line, station.output);

    if (!station.line.open()) {
        fprintf(stderr, "zavsim: cannot open a pseudo-terminal: %s\n", strerror(errno));
        return 1;
    }
    if (!options.log_path.empty() && !station.frame_log.write_to(options.log_path)) {
        fprintf(stderr, "zavsim: cannot write %s\n", options.log_path.c_str());
        return 1;
    }
    if (options.control_port >= 0 && !control.listen(options.control_port)) {
        fprintf(stderr, "zavsim: cannot listen on 127.0.0.1:%d\n", options.control_port);
        return 1;
    }
    if (station.line.has_link() && !station.line.attach_link()) {
        fprintf(stderr, "zavsim: cannot link %s: %s\n", options.link_path.c_str(), strerror(errno));
        return 1;
    }
    if (!options.control_file.empty() && !write_control_file(options.control_file, control.port())) return 1;
    if (!options.quiet) {
        printf("zavsim: %s attached to %s", station.answering().describe().c_str(), station.line.terminal().c_str());
        if (station.line.has_link()) printf(", linked as %s", options.link_path.c_str());
        if (control.listening()) printf(", control on 127.0.0.1:%d", control.port());
        printf("\n");
        fflush(stdout);
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    // A session of our own, so that the device's terminal can be ours
    // (Line::open); fails harmlessly when we lead a process group already.
    setsid();
    StartOptions options;
    const int early_end = zav::sim::read_command_line(argc, argv, options);
    if (early_end >= 0) return early_end;

    Station station(options.device, options.link_path, options.byte_time_ns, options.pace, options.quiet);
    ControlServer control;
    const int failed = start(options, station, control);
    if (failed >= 0) return failed;

    struct sigaction action{};
    action.sa_handler = on_signal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    // Hanging up our own terminal sends us SIGHUP (see Line::open).
    signal(SIGHUP, SIG_IGN);
    signal(SIGPIPE, SIG_IGN);

    run_loop(station, control);

    station.line.detach_link();
    return 0;
}
