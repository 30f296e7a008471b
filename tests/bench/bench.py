#!/usr/bin/env python3
"""Measures zavkonfig.exe under Wine: transaction times against the line's
lower bound, CPU during transactions and at rest, start-up against a minimal
Win32 program, and peak memory. tools/bench prepares the display, the Wine
prefix, zavsim and the wire model, then runs this script.
"""
import argparse
import json
import os
import platform
import socket
import statistics
import subprocess
import sys
import time

BYTE_SECONDS = 10.0 / 2400.0
ACCESS_CODE = "618wqe402h9"
READ_CLOSING_SILENCE = 0.5  # the read ends after 500 ms without a frame

# Control ids of the windows and menu commands of the program.
MENU_CONFIGURATION, MENU_CONNECT, MENU_SETUP = 21, 22, 23
CONFIG_READ, CONFIG_PROGRAM, CONFIG_PROGRESS = 15, 17, 18
SETUP_READ, SETUP_PROGRAM = 16, 17

TRANSACTIONS = [
    # key, title, expected box text, closing wait the protocol imposes
    ("identify", "Identification (Verbinden)", "ZAV 160 erkannt", 0.0),
    ("read", "Configuration read (Lesen)", "Konfiguration gelesen !", READ_CLOSING_SILENCE),
    ("program", "Programming (identification + programming)", "Programmierung erfolgreich !", 0.0),
    ("setup", "Setup write", "Programmierung erfolgreich !", 0.0),
]

TARGET_RATIO = 1.03
TARGET_CPU_BUSY = 2.0
TARGET_CPU_IDLE = 0.1
TARGET_STARTUP = 1.2


def benchmark_record():
    """A configuration whose every alarm has an action, so that the form takes
    it back unchanged and "Programmieren" sends what "Lesen" fetched."""
    record = [0xFF] * 108
    record[0] = 3
    for n, entry in enumerate(["12345", "23456", "34567", "44444", "55555",
                               "66666", "77777", "88888", "99999", "00000"]):
        record[1 + 5 * n:6 + 5 * n] = entry.encode()
    for alarm, actions in enumerate([[0x45, 0x8C, 0x20, 0x05], [0xC3], [0x41], [0x0A], [0x7C]]):
        record[51 + 9 * alarm:51 + 9 * alarm + len(actions)] = actions
    record[96:102] = [30, 60, 2, 1, 0x01, 10]
    for relay in range(1, 4):
        record[100 + 2 * relay], record[101 + 2 * relay] = 0xFF, 0
    return "".join("%02X" % b for b in record)


def tell_device(port, command):
    with socket.create_connection(("127.0.0.1", port), timeout=5) as connection:
        connection.sendall((command + "\n").encode())
        reply = connection.makefile().readline().strip()
    if not reply.startswith("ok"):
        raise RuntimeError("zavsim: %s -> %s" % (command.split()[0], reply))


def now():
    return time.clock_gettime(time.CLOCK_MONOTONIC_RAW)


def cpu_seconds(pid):
    if not pid:
        return 0.0
    try:
        return time.clock_gettime_ns(((~pid) << 3) | 2) / 1e9
    except OSError:
        return 0.0


class Driver:
    """The Windows-side driver, one command line per answer line."""

    def __init__(self, exe):
        self.process = subprocess.Popen(["wine", exe], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, encoding="latin-1", bufsize=1)

    def ask(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()
        answer = self.process.stdout.readline().rstrip("\r\n")
        if not answer or answer.startswith("error"):
            raise RuntimeError("driver: %s -> %s" % (line, answer or "(no answer)"))
        return answer

    def close(self):
        try:
            self.process.stdin.write("quit\n")
            self.process.stdin.flush()
            self.process.wait(timeout=10)
        except (OSError, subprocess.TimeoutExpired):
            self.process.kill()


class Wire:
    def __init__(self, script, program_link, device, log):
        self.log = log
        self.process = subprocess.Popen([sys.executable, script, "--program-link", program_link, "--device", device,
                                         "--log", log], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                                        bufsize=1)
        self.process.stdout.readline()  # its greeting: the link is in place

    def tell(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def sync(self):
        self.tell("sync")
        self.process.stdout.readline()

    def events(self, start, end):
        events = []
        with open(self.log) as log:
            for line in log:
                words = line.split()
                if words and start <= float(words[1]) <= end:
                    events.append(words)
        return events

    def close(self):
        self.process.stdin.close()
        self.process.wait(timeout=10)


def unix_processes(name_part, prefix):
    """Unix pids of the Wine processes of this prefix whose command line names name_part."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                command = f.read().replace(b"\0", b" ").decode("latin-1")
            with open("/proc/%s/environ" % entry, "rb") as f:
                environment = f.read().split(b"\0")
        except OSError:
            continue
        if name_part.lower() in command.lower() and ("WINEPREFIX=" + prefix).encode() in environment:
            found.append(int(entry))
    return found


def wait_unix_process(name_part, prefix, not_these=(), timeout=10.0):
    deadline = now() + timeout
    while now() < deadline:
        pids = [p for p in unix_processes(name_part, prefix) if p not in not_these]
        if pids:
            return max(pids)
        time.sleep(0.01)
    raise RuntimeError("no Unix process for %s" % name_part)


def wineserver_pid(prefix):
    for pid in unix_processes("wineserver", prefix):
        try:
            with open("/proc/%d/comm" % pid) as f:
                if f.read().strip().startswith("wineserver"):
                    return pid
        except OSError:
            pass
    return 0


def status_kib(pid, field):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def analyse(events, t_post, t_box, closing_wait):
    """Splits one command's time on the wire model into the line's share and the program's."""
    program = [e for e in events if e[0] == "P"]
    device = [e for e in events if e[0] == "D"]
    delivered = [e for e in events if e[0] == "d"]
    if not program:
        raise RuntimeError("the program sent nothing")
    first = float(program[0][1])
    # Wire segments in time order: (kind, arrive, start, end).
    wire = sorted([("P", float(e[1]), float(e[2]), float(e[3])) for e in program] +
                  [("D", float(e[1]), float(e[2]), float(e[3])) for e in device], key=lambda w: w[2])
    byte_count = len(wire)
    device_delay = 0.0    # from a program frame's end to the device's first answer byte
    program_delay = 0.0   # from a device frame's end to the program's next byte
    previous = None
    for segment in wire:
        if previous is not None and segment[2] > previous[3] + 1e-6:
            gap = segment[2] - previous[3]
            if segment[0] == "D" and previous[0] == "P":
                device_delay += gap
            else:
                program_delay += gap
        previous = segment
    # The model hands the device's bytes on a little after their stop bit;
    # that delay belongs to the model, not to the program.
    late = [float(d[1]) - float(e[3]) for d, e in zip(delivered, device)]
    model_delay = max(late) if late else 0.0
    last_wire_end = max(float(delivered[-1][1]) if delivered else 0.0, float(program[-1][3]))
    lower_bound = byte_count * BYTE_SECONDS + device_delay + model_delay + closing_wait
    wall = t_box - first
    exchange_wall = last_wire_end + closing_wait - first
    # CPU over the exchange: from the program's first byte to its last byte
    # or the delivery of the device's last byte, whichever is later.
    cpu_start_program, cpu_start_server = int(program[0][5]), int(program[0][6])
    if delivered and float(delivered[-1][1]) > float(program[-1][1]):
        cpu_end_time = float(delivered[-1][1])
        cpu_end_program, cpu_end_server = int(delivered[-1][3]), int(delivered[-1][4])
    else:
        cpu_end_time = float(program[-1][1])
        cpu_end_program, cpu_end_server = int(program[-1][5]), int(program[-1][6])
    exchange = cpu_end_time - first
    return {
        "bytes": byte_count,
        "wire_seconds": byte_count * BYTE_SECONDS,
        "device_delay": device_delay + model_delay,
        "lower_bound": lower_bound,
        "wall": wall,
        "ratio": wall / lower_bound,
        "exchange_wall": exchange_wall,
        "exchange_ratio": exchange_wall / lower_bound,
        "post_to_first_byte": first - t_post,
        "program_reaction": program_delay,
        "last_byte_to_box": t_box - last_wire_end - closing_wait,
        "exchange_seconds": exchange,
        "cpu_program": (cpu_end_program - cpu_start_program) / 1e9,
        "cpu_server": (cpu_end_server - cpu_start_server) / 1e9,
    }


def median(values):
    return statistics.median(values) if values else float("nan")


def measure_startup(driver, args, prefix, results):
    programs = [("zavkonfig", "ZAV_DSP", args.exe), ("minimal", "ZavBenchMinimal", args.minimal),
                ("minimal_dlls", "ZavBenchMinimal", args.minimal_dlls)]
    runs = {name: [] for name, _, _ in programs}
    memory = {name: [] for name, _, _ in programs}
    for run in range(args.startup_runs + 1):  # the first round warms the caches and is not counted
        order = programs if run % 2 == 0 else list(reversed(programs))
        for name, window_class, path in order:
            words = driver.ask("start %s %s" % (window_class, windows_path(path))).split()
            pid = wait_unix_process(os.path.basename(path), prefix)
            if run > 0:
                runs[name].append(float(words[2]) - float(words[1]))
                memory[name].append(status_kib(pid, "VmHWM"))
            driver.ask("end")
    ratios = [z / m for z, m in zip(runs["zavkonfig"], runs["minimal"])]
    ratios_dlls = [z / m for z, m in zip(runs["zavkonfig"], runs["minimal_dlls"])]
    results["startup"] = {
        "runs": runs, "ratios": ratios, "ratios_dlls": ratios_dlls,
        "median": {name: median(values) for name, values in runs.items()},
        "median_ratio": median(ratios), "median_ratio_dlls": median(ratios_dlls),
        "vmhwm_kib": {name: median(values) for name, values in memory.items()},
    }


def measure_wine_box(driver, args, results):
    """How long Wine itself takes from a posted message to a visible message box."""
    driver.ask("start ZavBenchMinimal %s" % windows_path(args.minimal))
    latencies = []
    for run in range(args.runs + 1):
        words = driver.ask("user Minimal").split()
        if run > 0:
            latencies.append(float(words[2]) - float(words[1]))
        driver.ask("ok")
    driver.ask("end")
    results["wine_box"] = {"latencies": latencies, "median": median(latencies)}


def measure_reference(driver, wire, args, prefix, results):
    """The same configuration read done by the driver's single-threaded reader,
    and what the driver's polling costs the wineserver."""
    driver_pid = wait_unix_process(os.path.basename(args.driver), prefix)
    server_pid = wineserver_pid(prefix)
    wire.tell("pids %d %d" % (driver_pid, server_pid))
    runs = []
    for run in range(args.runs + 1):
        words = driver.ask("reference_read COM1").split()
        wire.sync()
        t_command, t_end = float(words[1]), float(words[2])
        result = analyse(wire.events(t_command - 0.001, t_end), t_command, t_end, READ_CLOSING_SILENCE)
        if run > 0:
            runs.append(result)
    results["reference_read"] = runs
    wire.tell("pids 0 0")
    before, t_before = cpu_seconds(server_pid), now()
    driver.ask("poll 5")
    results["polling_server_share"] = 100.0 * (cpu_seconds(server_pid) - before) / (now() - t_before)


def run_transaction(driver, wire, pids, command, closing_wait, expected):
    cpu_before = (cpu_seconds(pids[0]), cpu_seconds(pids[1]))
    t_before = now()
    words = driver.ask(command).split(None, 3)
    t_after = now()
    cpu_after = (cpu_seconds(pids[0]), cpu_seconds(pids[1]))
    text = words[3] if len(words) > 3 else ""
    if text != expected:
        raise RuntimeError("%s: box says %r, expected %r" % (command, text, expected))
    driver.ask("ok")
    wire.sync()
    t_post, t_box = float(words[1]), float(words[2])
    result = analyse(wire.events(t_post - 0.001, t_box + 0.5), t_post, t_box, closing_wait)
    result["cycle_seconds"] = t_after - t_before
    result["cycle_cpu_program"] = cpu_after[0] - cpu_before[0]
    result["cycle_cpu_server"] = cpu_after[1] - cpu_before[1]
    return result


def measure_transactions(driver, wire, args, prefix, results):
    server_pid = wineserver_pid(prefix)
    before, t_before = cpu_seconds(server_pid), now()
    time.sleep(args.idle_seconds)
    results["server_baseline"] = {"seconds": now() - t_before, "cpu_server": cpu_seconds(server_pid) - before}
    driver.ask("start ZAV_DSP %s %s" % (windows_path(args.exe), ACCESS_CODE))
    program_pid = wait_unix_process(os.path.basename(args.exe), prefix)
    server_pid = wineserver_pid(prefix)
    pids = (program_pid, server_pid)
    wire.tell("pids %d %d" % pids)
    runs = {key: [] for key, _, _, _ in TRANSACTIONS}
    closing = {key: wait for key, _, _, wait in TRANSACTIONS}
    expected = {key: text for key, _, text, _ in TRANSACTIONS}

    def repeat(key, command):
        for run in range(args.runs + 1):  # the first of each kind warms up and is not counted
            result = run_transaction(driver, wire, pids, command, closing[key], expected[key])
            if run > 0:
                runs[key].append(result)

    repeat("identify", "menu %d ZAV-Verbinden" % MENU_CONNECT)
    driver.ask("open %d Konfig %d" % (MENU_CONFIGURATION, CONFIG_PROGRESS))
    repeat("read", "click Konfig %d ZAV-Konfiguration" % CONFIG_READ)
    repeat("program", "click Konfig %d ZAV-Konfiguration" % CONFIG_PROGRAM)
    driver.ask("close Konfig")
    driver.ask("open %d Setup %d" % (MENU_SETUP, SETUP_PROGRAM))
    run_transaction(driver, wire, pids, "click Setup %d ZAV-Setup" % SETUP_READ, 0.0, "Setup gelesen !")
    repeat("setup", "click Setup %d ZAV-Setup" % SETUP_PROGRAM)
    driver.ask("close Setup")
    results["transactions"] = runs

    # At rest: the main window open, nothing going on.
    time.sleep(1.0)
    cpu_before = (cpu_seconds(program_pid), cpu_seconds(server_pid))
    t_before = now()
    time.sleep(args.idle_seconds)
    t_after = now()
    cpu_after = (cpu_seconds(program_pid), cpu_seconds(server_pid))
    results["idle"] = {
        "seconds": t_after - t_before,
        "cpu_program": cpu_after[0] - cpu_before[0],
        "cpu_server": cpu_after[1] - cpu_before[1],
    }
    results["vmhwm_kib"] = status_kib(program_pid, "VmHWM")
    results["vmrss_kib"] = status_kib(program_pid, "VmRSS")
    driver.ask("end")


def summarise(results):
    rows = []
    kinds = [(key, title) for key, title, _, _ in TRANSACTIONS]
    kinds.append(("reference", "Reference reader: configuration read, one thread, no window"))
    for key, title in kinds:
        runs = results["reference_read"] if key == "reference" else results["transactions"][key]
        cpu_shares = [100.0 * r["cpu_program"] / r["exchange_seconds"] for r in runs]
        server_shares = [100.0 * r["cpu_server"] / r["exchange_seconds"] for r in runs]
        rows.append({
            "key": key, "title": title,
            "bytes": runs[0]["bytes"],
            "lower_bound": median([r["lower_bound"] for r in runs]),
            "wall": median([r["wall"] for r in runs]),
            "ratio": median([r["ratio"] for r in runs]),
            "ratio_max": max(r["ratio"] for r in runs),
            "exchange_wall": median([r["exchange_wall"] for r in runs]),
            "exchange_ratio": median([r["exchange_ratio"] for r in runs]),
            "exchange_ratio_max": max(r["exchange_ratio"] for r in runs),
            "device_delay": median([r["device_delay"] for r in runs]),
            "program_reaction": median([r["program_reaction"] for r in runs]),
            "last_byte_to_box": median([r["last_byte_to_box"] for r in runs]),
            "post_to_first_byte": median([r["post_to_first_byte"] for r in runs]),
            "cpu_share": median(cpu_shares),
            "cpu_share_max": max(cpu_shares),
            "server_share": median(server_shares),
            "cycle_cpu_ms": 1000 * median([r.get("cycle_cpu_program", float("nan")) for r in runs]),
        })
    return rows


def verdict(ok):
    return "met" if ok else "MISSED"


def render(results, args):
    rows = summarise(results)
    startup, idle, box = results["startup"], results["idle"], results["wine_box"]
    baseline = results["server_baseline"]
    idle_share = 100.0 * idle["cpu_program"] / idle["seconds"]
    idle_server = 100.0 * idle["cpu_server"] / idle["seconds"]
    lines = []
    add = lines.append
    add("Measured %s on %s (%d CPUs, %s), %s, Linux %s." % (
        time.strftime("%Y-%m-%d %H:%M"), results["machine"]["cpu"], results["machine"]["cpus"],
        results["machine"]["load"], results["machine"]["wine"], platform.release()))
    add("Median of %d runs per transaction (after one warm-up run each), %d start-up pairs; idle %.0f s." % (
        args.runs, args.startup_runs, args.idle_seconds))
    add("")
    add("| Transaction | Bytes | Lower bound | First byte to end of exchange | Ratio (worst) | Target %.2f | First byte to box | Ratio to box |" % TARGET_RATIO)
    add("|---|---:|---:|---:|---:|---|---:|---:|")
    for row in rows:
        box_columns = ("%.1f ms | %.3f" % (1000 * row["wall"], row["ratio"])) if row["key"] != "reference" else "- | -"
        add("| %s | %d | %.1f ms | %.1f ms | %.3f (%.3f) | %s | %s |" % (
            row["title"], row["bytes"], 1000 * row["lower_bound"], 1000 * row["exchange_wall"],
            row["exchange_ratio"], row["exchange_ratio_max"], verdict(row["exchange_ratio"] <= TARGET_RATIO),
            box_columns))
    add("")
    add("Where the time over the lower bound goes (medians):")
    add("")
    add("| Transaction | Device answer delay (in the bound) | Program's reaction to frames | Last byte to box | Command to first byte (not timed) |")
    add("|---|---:|---:|---:|---:|")
    for row in rows:
        add("| %s | %.1f ms | %.1f ms | %.1f ms | %.1f ms |" % (
            row["title"], 1000 * row["device_delay"], 1000 * row["program_reaction"],
            1000 * row["last_byte_to_box"], 1000 * row["post_to_first_byte"]))
    add("")
    add("Wine alone, from a posted message to a visible message box in the minimal program: %.1f ms (median)." %
        (1000 * box["median"]))
    add("")
    add("| CPU, share of one core | Program | wineserver | Target | |")
    add("|---|---:|---:|---|---|")
    for row in rows:
        add("| %s, during the exchange | %.2f %% (worst %.2f %%) | %.1f %% | below %.0f %% | %s |" % (
            row["title"], row["cpu_share"], row["cpu_share_max"], row["server_share"], TARGET_CPU_BUSY,
            verdict(row["cpu_share_max"] < TARGET_CPU_BUSY)))
    add("| Idle, main window open, %.0f s | %.4f %% | %.4f %% | below %.1f %% | %s |" % (
        idle["seconds"], idle_share, idle_server, TARGET_CPU_IDLE, verdict(idle_share < TARGET_CPU_IDLE)))
    add("")
    add("The wineserver at rest before zavkonfig.exe was started (Wine's own processes only): %.4f %% of a core." %
        (100.0 * baseline["cpu_server"] / baseline["seconds"]))
    add("The wineserver column includes the driver's own polling for the box (every 1 ms), which alone costs "
        "the wineserver %.1f %% of a core." % results["polling_server_share"])
    add("")
    add("CPU of the whole command, from the click to the visible box (port opening, threads, the box): " +
        ", ".join("%s %.1f ms" % (row["key"], row["cycle_cpu_ms"]) for row in rows if row["key"] != "reference") + ".")
    add("")
    add("| Start-up to the visible main window | Median | Runs (ms) |")
    add("|---|---:|---|")
    names = [("zavkonfig", "zavkonfig.exe"), ("minimal", "minimal Win32 program"),
             ("minimal_dlls", "minimal program that also starts the common controls, as zavkonfig.exe must")]
    for name, title in names:
        add("| %s | %.1f ms | %s |" % (title, 1000 * startup["median"][name],
                                      ", ".join("%.0f" % (1000 * v) for v in startup["runs"][name])))
    add("| ratio zavkonfig / minimal (median of the pairs) | %.3f | target %.1f: %s |" % (
        startup["median_ratio"], TARGET_STARTUP, verdict(startup["median_ratio"] <= TARGET_STARTUP)))
    add("| ratio zavkonfig / minimal with the same libraries | %.3f | |" % startup["median_ratio_dlls"])
    add("")
    add("Peak memory (VmHWM) of zavkonfig.exe after all transactions: %d KiB (VmRSS %d KiB); right after start-up "
        "%d KiB; the minimal program %d KiB, with the same libraries %d KiB." % (
            results["vmhwm_kib"], results["vmrss_kib"], startup["vmhwm_kib"]["zavkonfig"],
            startup["vmhwm_kib"]["minimal"], startup["vmhwm_kib"]["minimal_dlls"]))
    return "\n".join(lines)


def write_markdown(path, table, markers=("<!-- bench:begin (written by tools/bench) -->", "<!-- bench:end -->")):
    begin, end = markers
    text = open(path).read() if os.path.exists(path) else "# Benchmarks\n\n%s\n%s\n" % (begin, end)
    if begin not in text or end not in text:
        text = text.rstrip("\n") + "\n\n%s\n%s\n" % (begin, end)
    head, rest = text.split(begin, 1)
    _, tail = rest.split(end, 1)
    with open(path, "w") as f:
        f.write(head + begin + "\n" + table + "\n" + end + tail)


def machine_facts():
    cpu = "unknown CPU"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    load = "load %.2f" % os.getloadavg()[0]
    return {"cpu": cpu, "cpus": os.cpu_count(), "wine": wine, "load": load}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--exe", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--minimal", required=True)
    parser.add_argument("--minimal-dlls", required=True)
    parser.add_argument("--device", required=True, help="zavsim's terminal link")
    parser.add_argument("--com1", required=True, help="the path COM1 of the prefix points to")
    parser.add_argument("--control", type=int, required=True, help="zavsim's control port")
    parser.add_argument("--work", required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--startup-runs", type=int, default=7)
    parser.add_argument("--idle-seconds", type=float, default=10.0)
    parser.add_argument("--markdown", help="write the table into this file between its bench markers")
    parser.add_argument("--json", help="write every measured value here")
    args = parser.parse_args()
    prefix = os.environ["WINEPREFIX"]

    tell_device(args.control, "record " + benchmark_record())
    results = {"machine": machine_facts()}
    wire = Wire(os.path.join(os.path.dirname(os.path.abspath(__file__)), "wire.py"), args.com1, args.device,
                os.path.join(args.work, "wire.log"))
    driver = Driver(args.driver)
    try:
        measure_startup(driver, args, prefix, results)
        measure_wine_box(driver, args, results)
        measure_reference(driver, wire, args, prefix, results)
        measure_transactions(driver, wire, args, prefix, results)
    finally:
        driver.close()
        wire.close()
    table = render(results, args)
    print(table)
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)
    if args.markdown:
        write_markdown(args.markdown, table)
    return 0


if __name__ == "__main__":
    sys.exit(main())
