"""One series on several adapters: each port waits for its own device, the
rows of one plan are handed out once each, one log, and every line names
its port. Three virtual devices stand for three adapters on a USB hub."""
import fcntl
import json
import os
import re
import signal

import pytest

from conftest import ROOT, Running, VirtualDevice, stats, unwrapped, wait_for, zavctl

TEMPLATE = str(ROOT / "examples" / "plan-vorlage.toml")
NAMES = ("ttyA", "ttyB", "ttyC")


def plan_of(folder, rows):
    """A plan whose rows each give the device an address of its own."""
    plan = folder / "plan.csv"
    plan.write_text("bezeichnung;adressen.nummern.1\n" +
                    "".join(f"Fahrzeug {n};{21400 + n}\n" for n in range(1, rows + 1)), encoding="cp1252")
    return plan


def log_lines(path):
    return [json.loads(line) for line in path.read_text(encoding="utf-8").splitlines()]


def device_lines(series, name):
    return [line for line in list(series.out) if re.match(rf"\[{name}\] Gerät \d+ \(", line)]


def programming_span(device):
    """When the device's programming began and its last frame went, on the
    clock every process shares (zavsim's log counts from its own start)."""
    start = float(device.control("get start"))
    lines = frames(device).splitlines()
    first = next(line for line in lines if line.endswith("pc>dev 2E"))
    return start + float(first.split()[0]), start + float(lines[-1].split()[0])


class Hub:
    """Virtual devices on ports of their own, as on a USB hub."""

    def __init__(self, folder, count, last_options=()):
        self.devices = [VirtualDevice(folder, options=last_options if n == count - 1 else (), name=name)
                        for n, name in enumerate(NAMES[:count])]
        for device, name in zip(self.devices, NAMES):
            device.name = name

    def ports(self):
        return [option for device in self.devices for option in ("--port", device.port)]

    def stop(self):
        for device in self.devices:
            device.stop()


@pytest.fixture
def hub_of(tmp_path):
    """Makes a hub of so many devices; they are stopped after the test."""
    made = []

    def make(count, last_options=()):
        made.append(Hub(tmp_path, count, last_options))
        return made[-1]
    yield make
    for hub in made:
        hub.stop()


def frames(device):
    return (device.folder / f"{device.name}.frames.log").read_text()


def test_three_ports_share_a_plan_of_six_rows_each_done_once_at_the_same_time(hub_of, tmp_path):
    hub = hub_of(3)
    log = tmp_path / "serie.jsonl"
    for device in hub.devices:
        device.control("pace on")  # long enough that the three programmings must overlap
    series = Running(*hub.ports(), "program", TEMPLATE, "--series", "--plan", str(plan_of(tmp_path, 6)),
                     "--log", str(log), "--backup-dir", str(tmp_path / "sicherungen"))
    spans, swapped = [], {name: 0 for name in NAMES}
    try:
        # Each device, once told, is swapped for the next one (a record of
        # its own), until the plan is done; the first three at the line's
        # pace, the rest fast.
        def swap_told():
            for device in hub.devices:
                told = device_lines(series, device.name)
                if len(told) > swapped[device.name]:
                    swapped[device.name] += 1
                    if swapped[device.name] == 1:
                        spans.append(programming_span(device))
                        device.control("pace off")
                    if sum(swapped.values()) < 6:
                        device.control("vanish")
                        device.control("record " + bytes([sum(swapped.values())] * 108).hex())
                        device.control("appear")
            return sum(swapped.values()) == 6
        wait_for(swap_told, 120, "six devices told")
        assert series.end() == 0
    finally:
        series.kill()
    programmings = sum(stats(device)["programmings"] for device in hub.devices)

    # Each row once, each verified, in one log; every device on its port.
    lines = log_lines(log)
    assert sorted(entry["plan"]["row"] for entry in lines) == list(range(2, 8))
    assert {entry["outcome"] for entry in lines} == {"programmed"}
    assert {entry["port"] for entry in lines} == {device.port for device in hub.devices}
    assert programmings == 6
    # The three first programmings ran at the same time.
    assert max(begin for begin, _ in spans) < min(end for _, end in spans), spans

    # Every line of a port names it; the summary has a line for each.
    for line in series.out:
        assert line.startswith(("[ttyA] ", "[ttyB] ", "[ttyC] ", "Serie beendet: ", "  [tty", "Protokoll: ")), line
    assert series.told("Serie beendet:") == "Serie beendet: 6 programmiert, 0 fehlgeschlagen."
    for device in hub.devices:
        done = [int(re.search(r"Gerät (\d+)", line).group(1)) for line in device_lines(series, device.name)]
        assert series.told(f"  [{device.name}] ").startswith(f"  [{device.name}] {len(done)} programmiert")


def test_an_adapter_pulled_in_the_middle_of_a_device_leaves_its_row_to_another_port(hub_of, tmp_path):
    hub = hub_of(2)
    log = tmp_path / "serie.jsonl"
    pulled, other = hub.devices
    # The adapter is pulled for good after three blocks of the programming
    # (the identification's two frames, the backup read's fifteen, the
    # command, blocks 0 to 2), so that its device is left half-written.
    pulled.control("fault vanish-after-frames 22")
    series = Running("--json", *hub.ports(), "program", TEMPLATE, "--series", "--plan", str(plan_of(tmp_path, 2)),
                     "--log", str(log), "--backup-dir", str(tmp_path / "sicherungen"))
    try:
        def done_on_other():
            return [json.loads(line) for line in list(series.out)
                    if '"event":"device"' in line and json.loads(line)["port"] == other.port]
        wait_for(lambda: len(done_on_other()) == 1, 60, "the other port's first device")
        other.control("vanish")
        other.control("record " + bytes(108).hex())
        other.control("appear")
        assert series.end() == 0
    finally:
        series.kill()
    documents = [json.loads(line) for line in series.out]
    assert all("port" in document for document in documents if document["event"] != "end")
    failed = [d for d in documents if d["event"] == "device" and not d["ok"]]
    assert [(d["port"], d["outcome"]) for d in failed] == [(pulled.port, "failed")]
    # The pulled port's row was done on the other port, after it failed.
    redone = [d for d in documents if d["event"] == "device" and d["ok"] and d["row"] == failed[0]["row"]]
    assert [d["port"] for d in redone] == [other.port]
    assert sorted((entry["plan"]["row"], entry["outcome"]) for entry in log_lines(log)) == \
        sorted([(failed[0]["row"], "failed"), (2, "programmed"), (3, "programmed")])
    end = documents[-1]
    assert (end["event"], end["programmed"], end["left_devices"]) == ("end", 2, [])
    assert {port["port"]: (port["programmed"], port["failed"]) for port in end["ports"]} == \
        {pulled.port: (0, 1), other.port: (2, 0)}


def test_a_busy_port_is_refused_before_any_device_is_touched(hub_of, tmp_path):
    hub = hub_of(2)
    free, busy = hub.devices
    holder = os.open(busy.port, os.O_RDWR | os.O_NOCTTY)
    try:
        fcntl.flock(holder, fcntl.LOCK_EX | fcntl.LOCK_NB)  # as another program holds the port
        run = zavctl(*hub.ports(), "program", TEMPLATE, "--series", "--plan", str(plan_of(tmp_path, 2)),
                     "--log", str(tmp_path / "serie.jsonl"), timeout=20)
    finally:
        os.close(holder)
    assert run.returncode == 3, run.stderr.decode()
    assert unwrapped(run.stderr) == \
        f"zavctl: Port {busy.port} konnte nicht geöffnet werden ! Ein anderes Programm benutzt den Port.\n"
    assert frames(free) == "" and not (tmp_path / "serie.jsonl").exists()


def test_ctrl_c_on_two_ports_finishes_both_devices_and_names_the_open_rows(hub_of, tmp_path):
    # The second device is paced at half the speed: it is still being
    # written when the first one is done.
    hub = hub_of(2, ("--baud", "1200"))
    for device in hub.devices:
        device.control("pace on")
    log = tmp_path / "serie.jsonl"
    series = Running(*hub.ports(), "program", TEMPLATE, "--series", "--plan", str(plan_of(tmp_path, 4)),
                     "--log", str(log), "--backup-dir", str(tmp_path / "sicherungen"))
    try:
        wait_for(lambda: all("pc>dev 00 00" in frames(device) for device in hub.devices), 60, "both writing")
        series.process.send_signal(signal.SIGINT)
        # Both ports are at work: the first Ctrl+C says so.
        series.wait_told("Serie endet nach den laufenden Geräten; Strg+C erneut bricht sofort ab.", timeout=3,
                         lines=series.err)
        code = series.end()
    finally:
        series.kill()
    assert code == 130
    # Both devices were written whole and verified, one row each.
    told = sorted(line for line in series.out if " Gerät " in line and ": V2.30, " in line)
    assert [line.split(": ", 1)[1] for line in told] == ["V2.30, Verifikation OK !"] * 2, series.out
    assert sorted(entry["plan"]["row"] for entry in log_lines(log)) == [2, 3]
    for device in hub.devices:
        assert stats(device)["programmings"] == 1
    assert series.err.count("Serie endet nach den laufenden Geräten; Strg+C erneut bricht sofort ab.") == 1
    assert series.told("Noch offen laut Plan:") == \
        f"Noch offen laut Plan: Geräte 3 und 4 (mit demselben --log erneut starten)."


def test_a_device_holding_a_row_done_on_another_port_is_not_programmed_again(hub_of, tmp_path):
    hub = hub_of(2)
    first, second = hub.devices
    second.control("vanish")  # its adapter waits empty until the first row is done
    log = tmp_path / "serie.jsonl"
    series = Running(*hub.ports(), "program", TEMPLATE, "--series", "--plan", str(plan_of(tmp_path, 2)),
                     "--log", str(log), "--backup-dir", str(tmp_path / "sicherungen"))
    try:
        # The first device's line is told once its row is given back; only
        # a verified device has done its row, and only its record can be
        # known again. (A line that tells a failure would let the other
        # port take row 1 and program it.)
        wait_for(lambda: device_lines(series, first.name), 60, "the first device told on the first port")
        assert device_lines(series, first.name) == ["[ttyA] Gerät 1 (Fahrzeug 1): V2.30, Verifikation OK !"]
        # The device just programmed, taken to the other adapter.
        second.control("record " + first.control("get record").strip()[:216])
        second.control("appear")
        series.wait_told("[ttyB] Dieses Gerät hält schon die Konfiguration von Gerät 1", timeout=60)
        first.control("vanish")
        first.control("erase")
        first.control("appear")
        assert series.end() == 0
    finally:
        series.kill()
    assert stats(second)["programmings"] == 0
    assert sorted((entry["plan"]["row"], entry["port"]) for entry in log_lines(log)) == \
        [(2, first.port), (3, first.port)]


def test_a_second_ctrl_c_stops_every_port_at_once(hub_of, tmp_path):
    hub = hub_of(2)
    for device in hub.devices:
        device.control("fault stall-block 2")  # block 2 is never confirmed: each programming waits there
    series = Running(*hub.ports(), "program", TEMPLATE, "--series", "--plan", str(plan_of(tmp_path, 2)),
                     "--log", str(tmp_path / "serie.jsonl"), "--backup-dir", str(tmp_path / "sicherungen"))
    try:
        wait_for(lambda: all("pc>dev 02 00" in frames(device) for device in hub.devices), 60, "both at block 2")
        series.process.send_signal(signal.SIGINT)
        series.wait_told("Serie endet nach den laufenden Geräten", timeout=3, lines=series.err)
        series.process.send_signal(signal.SIGINT)
        code = series.end(timeout=10)
    finally:
        series.kill()
    assert code == 130
    for device in hub.devices:
        assert series.told(f"[{device.name}] Gerät ").endswith(": V2.30, Abgebrochen."), series.out
        assert stats(device)["programmings"] == 0
    # The devices are named in the order they failed, which the ports decide.
    assert series.told("Serie beendet:") in ("Serie beendet: 0 programmiert, 2 fehlgeschlagen (Geräte 1 und 2).",
                                             "Serie beendet: 0 programmiert, 2 fehlgeschlagen (Geräte 2 und 1).")


def test_a_device_left_holding_a_row_unverified_is_not_taken_for_the_row_another_port_did(hub_of, tmp_path):
    hub = hub_of(2)
    first, second = hub.devices
    first.control("pace on")  # slow enough that its verify can be spoiled once the programming began
    second.control("vanish")  # its adapter waits empty until the first device failed
    log = tmp_path / "serie.jsonl"
    series = Running("--json", *hub.ports(), "program", TEMPLATE, "--series", "--plan", str(plan_of(tmp_path, 2)),
                     "--log", str(log), "--retries", "0", "--backup-dir", str(tmp_path / "sicherungen"))

    def told(port, **keys):
        return [d for d in map(json.loads, list(series.out))
                if d.get("port") == port and all(d.get(key) == value for key, value in keys.items())]
    try:
        # Every block of row 1 is written to the first device, then its verify read fails.
        wait_for(lambda: "pc>dev 2E" in frames(first), 60, "the first device's programming")
        first.control("fault read-silent-after 3")
        wait_for(lambda: told(first.port, event="device", outcome="failed"), 60, "the first device failed")
        # Row 1 goes to the next device, on the other port.
        second.control("record " + bytes(108).hex())
        second.control("appear")
        wait_for(lambda: told(second.port, event="device", device=1, ok=True), 60, "row 1 done on the other port")
        # The first device, attached again, holds row 1's record too.
        first.control("vanish")
        wait_for(lambda: told(first.port, event="gone"), 30, "the first device gone")
        first.control("clear")
        first.control("appear")
        wait_for(lambda: told(first.port, event="device", outcome="needs_attention"), 60, "the first device left")
        second.control("vanish")
        second.control("record " + bytes([1] * 108).hex())
        second.control("appear")
        code = series.end(timeout=60)
    finally:
        series.kill()
    assert code == 6
    assert stats(first)["programmings"] == 1  # left as it is
    left = told(first.port, event="device", outcome="needs_attention")[0]
    assert (left["device"], left["ok"], left["exit_code"], left["row_done"]) == (1, False, 6, False)
    end = json.loads(series.out[-1])
    assert (end["programmed"], end["needs_attention"], end["attention_devices"], end["left_devices"]) == \
        (2, 1, [1], [])
    assert [(a["device"], a["port"]) for a in end["attention"]] == [(1, first.port)]
    assert [(entry["plan"]["row"], entry["port"], entry["outcome"], entry["written"]) for entry in log_lines(log)] == \
        [(2, first.port, "failed", True), (2, second.port, "programmed", True),
         (2, first.port, "needs_attention", False), (3, second.port, "programmed", True)]


def test_a_resumed_series_knows_the_devices_written_before_it_was_stopped(hub_of, tmp_path):
    hub = hub_of(2)
    log, plan = tmp_path / "serie.jsonl", plan_of(tmp_path, 3)
    for device in hub.devices:
        device.control("pace on")
    stopped = Running(*hub.ports(), "program", TEMPLATE, "--series", "--plan", str(plan), "--log", str(log),
                      "--retries", "5", "--backup-dir", str(tmp_path / "sicherungen"))
    try:
        # Both records are written whole; their verify reads fail until
        # the second Ctrl+C stops them.
        wait_for(lambda: all("pc>dev 2E" in frames(device) for device in hub.devices), 60, "both programming")
        for device in hub.devices:
            device.control("fault read-silent-after 3")
        wait_for(lambda: all(frames(device).count("pc>dev 2D") >= 3 for device in hub.devices), 60, "both verifying")
        stopped.process.send_signal(signal.SIGINT)
        stopped.wait_told("Serie endet nach", timeout=5, lines=stopped.err)
        stopped.process.send_signal(signal.SIGINT)
        assert stopped.end() == 130
    finally:
        stopped.kill()
    first, second = hub.devices
    written = sorted((entry["device"]["number"], entry["outcome"], entry["written"]) for entry in log_lines(log))
    assert written == [(1, "failed", True), (2, "failed", True)]
    # Which port had which row is the ports' race: the log says.
    holding = {entry["device"]["number"]: next(d for d in hub.devices if d.port == entry["port"]).record()
               for entry in log_lines(log)}
    second.stop()

    # Resumed on one adapter, where each device is attached in turn.
    first.control("clear")
    first.control("pace off")
    first.control("record " + holding[2].hex())
    resumed = Running("--json", "--port", first.port, "program", TEMPLATE, "--series", "--plan", str(plan),
                      "--log", str(log), "--backup-dir", str(tmp_path / "sicherungen"))
    devices = lambda: [d for d in map(json.loads, list(resumed.out)) if d["event"] == "device"]
    try:
        for n, record in enumerate([holding[2], bytes(108), holding[1], bytes([7] * 108)], 1):
            if n > 1:
                first.control("vanish")
                wait_for(lambda: sum(d["event"] == "gone" for d in map(json.loads, list(resumed.out))) == n - 1, 30,
                         "the device gone")
                first.control("record " + record.hex())
                first.control("appear")
            wait_for(lambda: len(devices()) == n, 60, f"device {n} told")
        code = resumed.end(timeout=60)
    finally:
        resumed.kill()
    # The device holding row 2's record got row 2, not the next open one,
    # and was not written again; a fresh device did row 1; the device
    # written with row 1 and never verified is not taken for row 1's.
    assert [(d["device"], d["outcome"], d["programmed"]) for d in devices()] == \
        [(2, "unchanged", False), (1, "programmed", True), (1, "needs_attention", False), (3, "programmed", True)]
    assert code == 6


def test_two_ports_the_lines_and_the_trace_would_name_alike_are_refused(tmp_path):
    devices = []
    for folder in ("a", "b"):
        (tmp_path / folder).mkdir()
        devices.append(VirtualDevice(tmp_path / folder, name="zav"))
        devices[-1].name = "zav"
    try:
        run = zavctl("--port", devices[0].port, "--port", devices[1].port, "program", TEMPLATE, "--series",
                     "--plan", str(plan_of(tmp_path, 2)), "--log", str(tmp_path / "serie.jsonl"), timeout=20)
    finally:
        for device in devices:
            device.stop()
    assert run.returncode == 1, run.stderr.decode()
    assert run.stderr.decode().startswith(
        f"zavctl: Die Ports {devices[0].port} und {devices[1].port} hießen in den Zeilen und in der Spur beide \"zav\".")
    assert all(frames(device) == "" for device in devices) and not (tmp_path / "serie.jsonl").exists()
