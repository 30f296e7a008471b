#!/usr/bin/env python3
"""Measures one zavctl series on 1, 2 and 4 ports: each port a virtual
device paced at 2400 baud (zavsim --pace), each device swapped for the next
the moment its line is told, as by a technician with no time of his own.
Devices an hour of line time, and the CPU the zavctl process took (its own
clock, every thread, from wait4), per device and per port.
tools/bench --zavctl runs this after zavctl_bench.py.
"""
import argparse
import os
import shutil
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench import machine_facts, tell_device, write_markdown  # noqa: E402

PORT_COUNTS = (1, 2, 4)
TARGET_SCALING = 0.95      # N ports: at least 0.95 x N the devices an hour of one
TARGET_CPU_PER_PORT = 1.0  # percent of one core
MARKERS = ("<!-- bench-zavctl-ports:begin (written by tools/bench --zavctl) -->", "<!-- bench-zavctl-ports:end -->")


class Device:
    """zavsim paced at the line's speed behind a link of its own."""

    def __init__(self, zavsim, folder, name):
        self.port = os.path.join(folder, name)
        control_file = os.path.join(folder, name + ".control")
        self.process = subprocess.Popen([zavsim, "--link", self.port, "--control", "0", "--control-file",
                                         control_file, "--pace", "--quiet"])
        deadline = time.monotonic() + 10
        while not (os.path.exists(control_file) and open(control_file).read().strip()):
            if time.monotonic() > deadline:
                raise RuntimeError("zavsim did not start")
            time.sleep(0.02)
        self.control_port = int(open(control_file).read())

    def control(self, command):
        tell_device(self.control_port, command)

    def swap(self, number):
        """The next device: another record, so that it is no done row's."""
        self.control("vanish")
        self.control("record " + bytes([number % 250 + 1] * 108).hex())
        self.control("appear")

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


def run_series(zavctl, zavsim, template, work, ports, rows_per_port):
    folder = os.path.join(work, "ports-%d" % ports)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    rows = ports * rows_per_port
    plan = os.path.join(folder, "plan.csv")
    with open(plan, "w", encoding="utf-8") as f:
        f.write("bezeichnung;adressen.nummern.1\n" + "".join("Messung %d;%d\n" % (n, 21400 + n)
                                                             for n in range(1, rows + 1)))
    devices = [Device(zavsim, folder, "tty%d" % n) for n in range(ports)]
    try:
        arguments = [zavctl]
        for device in devices:
            arguments += ["--port", device.port]
        arguments += ["program", template, "--series", "--plan", plan, "--log", os.path.join(folder, "log.jsonl"),
                      "--backup-dir", os.path.join(folder, "backups")]
        started = time.monotonic()
        process = subprocess.Popen(arguments, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        by_tag = {"[%s]" % os.path.basename(device.port): device for device in devices}
        told = [0]

        def follow():
            for raw in process.stdout:
                line = raw.decode()
                tag = line.split(" ", 1)[0] if ports > 1 else None
                if (" Gerät " in line or line.startswith("Gerät ")) and ": V2.30, " in line:
                    told[0] += 1
                    if told[0] < rows:
                        (by_tag[tag] if tag else devices[0]).swap(told[0])
        reader = threading.Thread(target=follow)
        reader.start()
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.monotonic() - started
        reader.join()
        if os.waitstatus_to_exitcode(status) != 0 or told[0] != rows:
            raise RuntimeError("the series on %d ports ended with %d after %d devices"
                               % (ports, os.waitstatus_to_exitcode(status), told[0]))
        cpu = usage.ru_utime + usage.ru_stime
        return {"ports": ports, "rows": rows, "wall": wall, "cpu": cpu, "per_hour": 3600.0 * rows / wall,
                "cpu_per_device_ms": 1000.0 * cpu / rows, "cpu_share_per_port": 100.0 * cpu / wall / ports}
    finally:
        for device in devices:
            device.stop()


def render(results, rows_per_port):
    machine = results["machine"]
    one = results[1]["per_hour"]
    lines = [
        "Measured %s on %s (%d CPUs, %s, shared with other work), %s." % (
            time.strftime("%Y-%m-%d %H:%M"), machine["cpu"], machine["cpus"], machine["load"],
            os.uname().sysname + " " + os.uname().release),
        "One `program --series --plan` with a `--port` per virtual device (zavsim --pace: 2400 baud), %d rows a port; "
        "each device swapped for the next the moment its line is told. Devices an hour: rows over the series' "
        "wall time from start to end; CPU: the zavctl process's own clock (every thread, `wait4`), not wall-clock "
        "ratios." % rows_per_port,
        "",
        "| Ports | Devices | Wall time | Devices an hour | Against 1 port | Target %.2f x N | CPU per device | "
        "CPU per port | Target %.0f %% |" % (TARGET_SCALING, TARGET_CPU_PER_PORT),
        "|---|---|---|---|---|---|---|---|---|",
    ]
    for ports in PORT_COUNTS:
        m = results[ports]
        scaling = m["per_hour"] / one
        lines.append("| %d | %d | %.1f s | %.0f | %.2f x | %s | %.1f ms | %.3f %% | %s |" % (
            ports, m["rows"], m["wall"], m["per_hour"], scaling,
            "met" if scaling >= TARGET_SCALING * ports else "missed", m["cpu_per_device_ms"],
            m["cpu_share_per_port"], "met" if m["cpu_share_per_port"] < TARGET_CPU_PER_PORT else "missed"))
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--zavctl", required=True)
    parser.add_argument("--zavsim", required=True)
    parser.add_argument("--template", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--rows-per-port", type=int, default=3)
    parser.add_argument("--markdown", help="write the table into this file between its markers")
    args = parser.parse_args()
    results = {"machine": machine_facts()}
    for ports in PORT_COUNTS:
        results[ports] = run_series(args.zavctl, args.zavsim, args.template, args.work, ports, args.rows_per_port)
    table = render(results, args.rows_per_port)
    print(table)
    if args.markdown:
        write_markdown(args.markdown, table, MARKERS)
    return 0


if __name__ == "__main__":
    sys.exit(main())
