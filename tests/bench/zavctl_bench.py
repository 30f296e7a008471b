#!/usr/bin/env python3
"""Measures zavctl natively against zavsim on the modelled 2400 baud line
(wire.py): each command from its first byte on the line to the end of the
exchange, against the line's lower bound; its CPU time while it runs; and
the time from the process's start to its first byte on the line.
tools/bench --zavctl runs this.
"""
import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench import (READ_CLOSING_SILENCE, Wire, analyse, benchmark_record, machine_facts, median,  # noqa: E402
                   tell_device, write_markdown)

COMMANDS = [
    # key, title, arguments, closing wait the protocol imposes
    ("identify", "identify", ["identify"], 0.0),
    ("read", "read -o FILE", ["read", "-o", "{work}/bench-read.zcf"], READ_CLOSING_SILENCE),
    ("program", "program FILE (identify, program, verify)", ["program", "{work}/bench-read.zcf"],
     READ_CLOSING_SILENCE),
]
TARGET_RATIO = 1.01
TARGET_CPU_SHARE = 0.5      # percent of one core while the command runs
TARGET_FIRST_BYTE = 0.020   # seconds from the process's start to its first byte
MARKERS = ("<!-- bench-zavctl:begin (written by tools/bench --zavctl) -->", "<!-- bench-zavctl:end -->")


def run_command(zavctl, port, arguments, wire, closing_wait):
    """One run. The wire model reads the process's CPU clock at every byte,
    once it knows the pid; a run whose first byte came before that is
    repeated, so that the CPU is measured over the exchange and nothing
    else."""
    for _ in range(5):
        wire.sync()
        started = time.clock_gettime(time.CLOCK_MONOTONIC_RAW)
        process = subprocess.Popen([zavctl, "--port", port, "--quiet"] + arguments,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        wire.tell("pids %d 0" % process.pid)
        _, status, usage = os.wait4(process.pid, 0)
        ended = time.clock_gettime(time.CLOCK_MONOTONIC_RAW)
        if os.waitstatus_to_exitcode(status) != 0:
            raise RuntimeError("zavctl %s failed: %s" % (" ".join(arguments), process.stderr.read().decode()))
        wire.sync()
        events = wire.events(started - 0.001, ended + 0.5)
        first_program_byte = next(e for e in events if e[0] == "P")
        if int(first_program_byte[5]) == 0:
            continue
        result = analyse(events, started, ended, closing_wait)
        result["process_cpu_seconds"] = usage.ru_utime + usage.ru_stime
        result["cpu_share"] = 100.0 * result["cpu_program"] / result["exchange_seconds"]
        return result
    raise RuntimeError("the wire model never learnt the pid before the first byte")


def render(results, runs):
    machine = results["machine"]
    lines = [
        "Measured %s on %s (%d CPUs, %s), %s." % (time.strftime("%Y-%m-%d %H:%M"), machine["cpu"], machine["cpus"],
                                                 machine["load"], os.uname().sysname + " " + os.uname().release),
        "zavctl natively (build/native, a debug build), median of %d runs per command after one warm-up." % runs,
        "",
        "| Command | Bytes | Lower bound | First byte to end of exchange | Ratio (worst) | Target %.2f "
        "| CPU during the exchange (worst) | Target %.1f %% | Start to first byte (worst) | Target %d ms |"
        % (TARGET_RATIO, TARGET_CPU_SHARE, TARGET_FIRST_BYTE * 1000),
        "|---|---|---|---|---|---|---|---|---|---|",
    ]
    for key, title, _, _ in COMMANDS:
        measured = results[key]
        ratio = [m["exchange_ratio"] for m in measured]
        share = [m["cpu_share"] for m in measured]
        first = [m["post_to_first_byte"] for m in measured]
        lines.append("| `%s` | %d | %.1f ms | %.1f ms | %.4f (%.4f) | %s | %.3f %% (%.3f %%) | %s | %.1f ms (%.1f ms) | %s |" % (
            title, measured[0]["bytes"], 1000 * median([m["lower_bound"] for m in measured]),
            1000 * median([m["exchange_wall"] for m in measured]), median(ratio), max(ratio),
            "met" if max(ratio) <= TARGET_RATIO else "missed", median(share), max(share),
            "met" if max(share) <= TARGET_CPU_SHARE else "missed", 1000 * median(first), 1000 * max(first),
            "met" if max(first) <= TARGET_FIRST_BYTE else "missed"))
    whole = [m["process_cpu_seconds"] for key, _, _, _ in COMMANDS for m in results[key]]
    lines += [
        "",
        "CPU during the exchange: the process's CPU clock (every thread, kernel time included) read by the wire "
        "model at zavctl's first byte and at the delivery of the device's last byte, over that time. The whole "
        "process, start-up and file included, took %.1f to %.1f ms of CPU a run (`wait4`)."
        % (1000 * min(whole), 1000 * max(whole)),
    ]
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--zavctl", required=True)
    parser.add_argument("--device", required=True, help="zavsim's terminal link")
    parser.add_argument("--control", type=int, required=True, help="zavsim's control port")
    parser.add_argument("--work", required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--markdown", help="write the table into this file between its zavctl markers")
    args = parser.parse_args()

    tell_device(args.control, "record " + benchmark_record())
    port = os.path.join(args.work, "zavctl-port")
    wire = Wire(os.path.join(os.path.dirname(os.path.abspath(__file__)), "wire.py"), port, args.device,
                os.path.join(args.work, "zavctl-wire.log"))
    results = {"machine": machine_facts()}
    try:
        for key, _, arguments, closing_wait in COMMANDS:
            arguments = [a.format(work=args.work) for a in arguments]
            run_command(args.zavctl, port, arguments, wire, closing_wait)  # warm-up (and the file for program)
            results[key] = [run_command(args.zavctl, port, arguments, wire, closing_wait) for _ in range(args.runs)]
    finally:
        wire.close()
    table = render(results, args.runs)
    print(table)
    if args.markdown:
        write_markdown(args.markdown, table, MARKERS)
    return 0


if __name__ == "__main__":
    sys.exit(main())
