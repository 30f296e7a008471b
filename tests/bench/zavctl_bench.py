#!/usr/bin/env python3
"""Measures zavctl natively against zavsim on the modelled 2400 baud line
(wire.py): each command from its first byte on the line to the end of the
exchange, against the line's lower bound; its CPU time while it runs; and
the time from the process's start to its first byte on the line.
tools/bench --zavctl runs this.
"""
import argparse
import os
import signal
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench import (BYTE_SECONDS, READ_CLOSING_SILENCE, Wire, analyse, benchmark_record, machine_facts, median,  # noqa: E402
                   tell_device, write_markdown)

COMMANDS = [
    # key, title, arguments, closing wait the protocol imposes
    ("identify", "identify", ["identify"], 0.0),
    ("read", "read -o FILE --force", ["read", "-o", "{work}/bench-read.zcf", "--force"], READ_CLOSING_SILENCE),
    # The device holds the file: --always writes it all the same, and without a
    # backup the exchange is the one the program's "Programmieren" makes.
    ("program", "program FILE --always --no-backup (identify, program, verify)",
     ["program", "{work}/bench-read.zcf", "--always", "--no-backup"], READ_CLOSING_SILENCE),
]
# A series device with a plan of one row, so that the series ends by itself:
# found, backed up, programmed, verified and logged ("programmed"), or found
# holding its row already and logged ("unchanged").
SERIES = [
    # key, title, reads that end in their closing silence
    ("series_programmed", "program --series --plan, backup and log (identify, read, program, read)", 2),
    ("series_unchanged", "the same device again: unchanged (identify, read)", 1),
]
SERIES_TARGET_RATIO = 1.02
ACKNOWLEDGEMENT_BYTES = 3  # FF 60 FE
SERIES_TARGET_SECONDS = 5.0
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


def series_arguments(work, run):
    """The series' command line, with a log and a backup folder of this run's own."""
    return ["program", os.path.join(work, "bench-read.zcf"), "--series", "--plan", os.path.join(work, "bench-plan.csv"),
            "--log", os.path.join(work, "bench-series-%d.jsonl" % run), "--backup-dir", os.path.join(work, "bench-backups")]


def run_series(zavctl, port, wire, work, run, reads):
    """One series device: from the first byte on the line (the look that
    finds it) to the end of the process, after its line is logged and the
    summary told. The lower bound is the exchange's with the closing silence
    of each read: 500 ms from the moment the acknowledgement of the last
    block is handed to the line, for the silence is the device's, and the
    acknowledgement's three bytes are on the wire within it."""
    for attempt in range(5):
        arguments = series_arguments(work, 100 * run + attempt)
        # A log of an earlier bench would say the plan is done already.
        log = arguments[arguments.index("--log") + 1]
        if os.path.exists(log):
            os.remove(log)
        wire.sync()
        started = time.clock_gettime(time.CLOCK_MONOTONIC_RAW)
        process = subprocess.Popen([zavctl, "--port", port, "--quiet"] + arguments,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        wire.tell("pids %d 0" % process.pid)
        _, status, _ = os.wait4(process.pid, 0)
        ended = time.clock_gettime(time.CLOCK_MONOTONIC_RAW)
        if os.waitstatus_to_exitcode(status) != 0:
            raise RuntimeError("zavctl series failed: %s" % process.stderr.read().decode())
        wire.sync()
        events = wire.events(started - 0.001, ended + 0.5)
        result = analyse(events, started, ended, READ_CLOSING_SILENCE)
        result["lower_bound"] += (reads - 1) * READ_CLOSING_SILENCE - reads * ACKNOWLEDGEMENT_BYTES * BYTE_SECONDS
        result["device_seconds"] = result["wall"]
        result["device_ratio"] = result["wall"] / result["lower_bound"]
        return result
    raise RuntimeError("no series run could be measured")


def device_answer(control, command):
    """zavsim's answer to a control command, after its "ok"."""
    with socket.create_connection(("127.0.0.1", control), timeout=5) as connection:
        connection.sendall((command + "\n").encode())
        reply = connection.makefile().readline().strip()
    if not reply.startswith("ok"):
        raise RuntimeError("zavsim: %s -> %s" % (command, reply))
    return reply[2:].strip()


def run_pulled(zavctl, port, control, work, run):
    """A series device that falls silent in the middle of its programming,
    as when its cable is pulled (the adapter stays): from that moment to the
    line that leaves its row open, and to "abgeklemmt", after which the next
    device may come. Ctrl+C ends the series then."""
    tell_device(control, "clear")
    tell_device(control, "record " + benchmark_record())
    arguments = series_arguments(work, 1000 + run)
    log = arguments[arguments.index("--log") + 1]
    if os.path.exists(log):
        os.remove(log)
    reads_before = int(device_answer(control, "get stats").split("reads=")[1].split()[0])
    process = subprocess.Popen([zavctl, "--port", port] + arguments, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    told = []

    def collect(stream):
        for line in stream:
            told.append((time.clock_gettime(time.CLOCK_MONOTONIC_RAW), line.decode(errors="replace")))
    readers = [threading.Thread(target=collect, args=(stream,)) for stream in (process.stdout, process.stderr)]
    for reader in readers:
        reader.start()

    def when(text, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = [at for at, line in list(told) if text in line]
            if found:
                return found[0]
            time.sleep(0.005)
        raise RuntimeError("zavctl never said %r: %s" % (text, "".join(line for _, line in told)))
    try:
        # The backup read is done: the programming starts right after it.
        deadline = time.monotonic() + 30
        while int(device_answer(control, "get stats").split("reads=")[1].split()[0]) == reads_before:
            if time.monotonic() > deadline:
                raise RuntimeError("the device was never read")
            time.sleep(0.005)
        time.sleep(0.2)  # a few blocks into the programming
        tell_device(control, "fault silent")
        pulled = time.clock_gettime(time.CLOCK_MONOTONIC_RAW)
        left_open = when("bleibt offen", 60)
        gone = when("Gerät 1 abgeklemmt.", 60)
        process.send_signal(signal.SIGINT)
        process.wait(timeout=10)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
        for reader in readers:
            reader.join(timeout=5)
    return {"open": left_open - pulled, "gone": gone - pulled}


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
    lines += [
        "",
        "A series device (`program --series --plan` with one row, `--log`, `--backup-dir`), median of %d runs: "
        "from the first byte of the look that finds it to the end of zavctl, its line logged (fsync), the backup "
        "written (fsync) and the summary told; the lower bound is the line's for the exchanges named, each read's "
        "closing silence of 500 ms included, counted from the acknowledgement of its last block (whose 12.5 ms on the "
        "wire lie within the silence)." % runs,
        "",
        "| Device | Bytes | Lower bound | First byte to logged end | Ratio (worst) | Target %.2f | Devices per hour "
        "(machine time) | Under %.0f s |" % (SERIES_TARGET_RATIO, SERIES_TARGET_SECONDS),
        "|---|---|---|---|---|---|---|---|",
    ]
    for key, title, _ in SERIES:
        measured = results[key]
        ratio = [m["device_ratio"] for m in measured]
        seconds = [m["device_seconds"] for m in measured]
        lines.append("| %s | %d | %.1f ms | %.1f ms (worst %.1f ms) | %.4f (%.4f) | %s | %.0f | %s |" % (
            title, measured[0]["bytes"], 1000 * median([m["lower_bound"] for m in measured]), 1000 * median(seconds),
            1000 * max(seconds), median(ratio), max(ratio), "met" if max(ratio) <= SERIES_TARGET_RATIO else "missed",
            3600.0 / median(seconds), "met" if max(seconds) < SERIES_TARGET_SECONDS else "missed"))
    pulled = results["pulled"]
    lines += [
        "",
        "A series device that falls silent a few blocks into its programming (`fault silent`, as when its cable is "
        "pulled and the adapter stays), default retries: from that moment to the line that leaves its row open "
        "(\"bleibt offen\") and to \"abgeklemmt\", after which the next device may come; median of %d runs." % len(pulled),
        "",
        "| Device | Until \"bleibt offen\" (worst) | Until \"abgeklemmt\" (worst) |",
        "|---|---|---|",
        "| silent in the middle of its programming | %.1f s (%.1f s) | %.1f s (%.1f s) |" % (
            median([m["open"] for m in pulled]), max(m["open"] for m in pulled),
            median([m["gone"] for m in pulled]), max(m["gone"] for m in pulled)),
    ]
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
        # The plan's one row gives the device other addresses than it holds.
        with open(os.path.join(args.work, "bench-plan.csv"), "w", encoding="utf-8") as plan:
            plan.write("bezeichnung;adressen.nummern.1\nMessung;54321\n")
        programmed, unchanged = [], []
        for run in range(args.runs + 1):  # the first is the warm-up
            tell_device(args.control, "record " + benchmark_record())
            first = run_series(args.zavctl, port, wire, args.work, 2 * run, 2)
            second = run_series(args.zavctl, port, wire, args.work, 2 * run + 1, 1)
            if run > 0:
                programmed.append(first)
                unchanged.append(second)
        results["series_programmed"], results["series_unchanged"] = programmed, unchanged
        results["pulled"] = [run_pulled(args.zavctl, port, args.control, args.work, run) for run in range(3)]
        tell_device(args.control, "clear")
    finally:
        wire.close()
    table = render(results, args.runs)
    print(table)
    if args.markdown:
        write_markdown(args.markdown, table, MARKERS)
    return 0


if __name__ == "__main__":
    sys.exit(main())
