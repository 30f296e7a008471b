#include "sim/zavsim_options.h"

#include <cstdio>
#include <cstdlib>

#include "sim/device_settings.h"
#include "sim/words.h"

namespace zav::sim {

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
    "                      (a control command only: --fault does not take it)\n"
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

namespace {

bool need_value(int argc, int i) {
    if (i + 1 < argc) return true;
    fprintf(stderr, "zavsim: option needs a value\n");
    return false;
}

}  // namespace

int read_command_line(int argc, char** argv, StartOptions& options) {
    device_init(options.device);
    Device& device = options.device;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        bool ok = true;
        if (option == "--help" || option == "-h") {
            fputs(kUsage, stdout);
            return 0;
        } else if (option == "--pace") {
            options.pace = true;
        } else if (option == "--quiet") {
            options.quiet = true;
        } else if (option == "--loopback") {
            options.loopback = true;
        } else if (option == "--erased") {
            erase_record(device);
        } else if (!need_value(argc, i)) {
            return 2;
        } else {
            std::string value = argv[++i];
            if (option == "--link") options.link_path = value;
            else if (option == "--control") options.control_port = atoi(value.c_str());
            else if (option == "--control-file") options.control_file = value;
            else if (option == "--log") options.log_path = value;
            else if (option == "--setup") ok = set_setup(device, value);
            else if (option == "--options") ok = set_options(device, value);
            else if (option == "--version") ok = set_version(device, value);
            else if (option == "--record") ok = set_record(device, value);
            else if (option == "--fault") ok = add_fault(device.faults, split_words(value));
            else if (option == "--replay") options.replay_path = value;
            else if (option == "--replay-port") options.replay_port = value;
            else if (option == "--baud") {
                long baud = 0;
                ok = parse_number(value, baud) && baud >= 50 && baud <= 1000000;
                if (ok) options.byte_time_ns = 10000000000L / baud;
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
    return -1;
}

}  // namespace zav::sim
