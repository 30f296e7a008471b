"""Fleet work against zavsim: a plan gives each device its own values, each
device is backed up before it is written and logged, a device that holds
its row is left alone, a series continues where its log ends, and the
yearly check names what differs. The example plan and its template are
the ones the guide shows."""
import datetime
import hashlib
import json
import os
import pathlib
import pty
import signal
import subprocess
import threading

from conftest import HEADER, ROOT, ZAVCTL, Running, config_file, stats, unwrapped, wait_for, zavctl

TEMPLATE = str(ROOT / "examples" / "plan-vorlage.toml")
PLAN = ROOT / "examples" / "plan-fahrzeuge.csv"
# Each row: the label, the device's own address (Nummer 1), relay 1's
# on-time (the template's 10 s where the plan leaves it empty).
ROWS = [("LF 20 Fahrer", "21401", 10), ("HLF 20 Maschinist", "21402", 20), ("ELW 1 Führung", "21403", 10)]
RELAY_1_ON_TIME = 101


def frames(device):
    return (device.folder / "frames.log").read_text()


def programmings_seen(device):
    """Programming commands the device has heard: its first frame."""
    return frames(device).count("pc>dev 2E\n")


def log_lines(path):
    return [json.loads(line) for line in path.read_text(encoding="utf-8").splitlines()]


def with_byte(record, position, value):
    record = bytearray(record)
    record[position] = value
    return bytes(record)


def assert_holds_row(record, row):
    _, address, on_time = row
    assert record[0] == 3 and record[1:6] == address.encode() and record[6:16] == b"2149021499", record.hex()
    assert record[RELAY_1_ON_TIME] == on_time


def test_a_plan_programs_each_device_with_its_row_after_a_backup(device, tmp_path):
    log, backups = tmp_path / "serie.jsonl", tmp_path / "sicherungen"
    device.control("pace on")  # a programming takes long enough to see the backup come before it
    before = [device.record()]  # what each device holds when it is connected
    given = []
    series = Running("--port", device.port, "program", TEMPLATE, "--series", "--plan", str(PLAN), "--log", str(log),
                     "--backup-dir", str(backups), "--operator", "müller")
    try:
        for number, row in enumerate(ROWS, 1):
            # The backup of this device is on the disk when its programming begins.
            wait_for(lambda: programmings_seen(device) == number, 60, f"device {number}'s programming")
            assert len(list(backups.iterdir())) == number
            line = series.wait_told(f"Gerät {number} ({row[0]}): ")
            assert line == f"Gerät {number} ({row[0]}): V2.30, Verifikation OK !"
            given.append(device.record())
            assert_holds_row(given[-1], row)
            if number == len(ROWS):
                break
            device.control("vanish")
            series.wait_told(f"Gerät {number} abgeklemmt.", lines=series.err)
            before.append(with_byte(given[-1], 96, 40 + number))  # the next device's own
            device.control("record " + before[-1].hex())
            device.control("appear")
        # The plan is done: the series ends by itself.
        assert series.end() == 0
    finally:
        series.kill()
    assert series.told("Serie beendet:") == "Serie beendet: 3 programmiert, 0 fehlgeschlagen."
    assert stats(device)["programmings"] == 3

    lines = log_lines(log)
    assert [(entry["device"]["number"], entry["plan"]["label"], entry["outcome"]) for entry in lines] == \
        [(n, row[0], "programmed") for n, row in enumerate(ROWS, 1)]
    # The plan's columns beside the fields go with the device.
    assert [(entry["plan"]["inventory_number"], entry["plan"]["remark"]) for entry in lines] == \
        [("0471", None), ("0472", "Akku neu 2026"), ("0473", None)]
    assert lines[0]["plan"]["values"] == {"adressen.nummern.1": "21401", "zusatzrelais.1.ein_zeit": "10"}
    for entry, record, kept in zip(lines, given, before):
        assert entry["record"] == record.hex().upper() and entry["sha256"] == hashlib.sha256(record).hexdigest()
        assert entry["operator"] == "müller" and entry["exit_code"] == 0
        # The backup holds what the device had before.
        backup = pathlib.Path(entry["backup"]).read_bytes()
        assert backup.startswith(HEADER) and backup[len(HEADER):len(HEADER) + 108] == kept
        assert backup == config_file(kept)
        assert entry["backup"].endswith("_" + hashlib.sha256(kept).hexdigest()[:8] + ".zcf")

    # The log of a real series makes three handover sheets.
    sheet = tmp_path / "blatt.html"
    done = zavctl("report", str(log), "-o", str(sheet))
    assert done.returncode == 0, done.stderr.decode()
    assert done.stdout.decode().startswith("3 Übergabeblätter")
    page = sheet.read_text(encoding="utf-8")
    assert all(label in page for label, _, _ in ROWS)
    assert "<th>Inventarnummer</th><td>0472</td>" in page and "Akku neu 2026" in page


def test_a_failed_device_keeps_its_row_and_a_device_attached_twice_is_programmed_once(device, tmp_path):
    log, backups = tmp_path / "serie.jsonl", tmp_path / "sicherungen"
    series = Running("--port", device.port, "program", TEMPLATE, "--series", "--plan", str(PLAN), "--log", str(log),
                     "--backup-dir", str(backups))

    def unplug(number, times):
        device.control("vanish")
        wait_for(lambda: series.err.count(f"Gerät {number} abgeklemmt.") == times, 30, f"device {number} gone")

    def told(prefix, times):
        lines = lambda: [line for line in series.out if line.startswith(prefix)]
        wait_for(lambda: len(lines()) == times, 60, f"{prefix!r} told {times} times")
        return lines()[-1]

    try:
        assert told("Gerät 1 (LF 20 Fahrer): ", 1).endswith("Verifikation OK !")
        # The same device again: it holds row 1, and is not programmed as row 2.
        unplug(1, 1)
        device.control("appear")
        assert told("Dieses Gerät hält schon die Konfiguration von Gerät 1 (LF 20 Fahrer)", 1)
        assert programmings_seen(device) == 1

        # Device 2 is cut off after three blocks (frames: the identification's
        # two, the backup read's fifteen, the programming command, blocks 0
        # to 2); attached again, it gets row 2, not row 3.
        unplug(1, 2)
        device.control("record " + with_byte(device.record(), 96, 42).hex())
        device.control("fault vanish-after-frames 22")
        device.control("appear")
        assert told("Gerät 2 (HLF 20 Maschinist): ", 1).endswith("Verbindung unterbrochen !")
        assert told("Gerät 2 (HLF 20 Maschinist) bleibt offen: ", 1) == \
            "Gerät 2 (HLF 20 Maschinist) bleibt offen: dasselbe Gerät erneut anschließen oder ein anderes für " \
            f"diese Zeile; oder mit Strg+C beenden und später mit --log {log} fortsetzen."
        series.wait_told("Gerät 2 abgeklemmt.", lines=series.err)
        device.control("appear")
        assert told("Gerät 2 (HLF 20 Maschinist): ", 2).endswith("Verifikation OK !")
        assert_holds_row(device.record(), ROWS[1])

        # Device 3's backup read is cut off: nothing written, row 3 stays open.
        unplug(2, 2)
        device.control("record " + with_byte(device.record(), 96, 43).hex())
        device.control("fault vanish-after-frames 5")
        device.control("appear")
        assert told("Gerät 3 (ELW 1 Führung): ", 1).endswith("Verbindung unterbrochen !")
        series.wait_told("Gerät 3 abgeklemmt.", lines=series.err)
        device.control("appear")
        assert series.end() == 0
    finally:
        series.kill()
    assert told("Gerät 3 (ELW 1 Führung): ", 2).endswith("Verifikation OK !")
    assert_holds_row(device.record(), ROWS[2])
    assert series.told("Serie beendet:") == \
        "Serie beendet: 3 programmiert, 2 fehlgeschlagen (Geräte 2 und 3), 1 schon erledigt (Gerät 1)."
    assert series.told("Noch offen") is None
    assert programmings_seen(device) == 4
    assert [(entry["plan"]["row"], entry["outcome"]) for entry in log_lines(log)] == \
        [(2, "programmed"), (3, "failed"), (3, "programmed"), (4, "failed"), (4, "programmed")]
    # Each backup under its own row's label: device 2's first, before its
    # record was cut (the second found no configuration to keep).
    assert sorted(path.name.split("_")[2] for path in backups.iterdir()) == \
        ["ELW-1-Fuehrung", "HLF-20-Maschinist", "LF-20-Fahrer"]


def test_rows_a_device_cannot_tell_apart(device, tmp_path):
    plan = tmp_path / "plan.csv"
    # Two rows of one label are refused before any device is looked for.
    plan.write_text("bezeichnung,adressen.nummern.1\nLF 20 Fahrer,21401\nELW 1,21403\nLF 20 Fahrer,21402\n",
                    encoding="utf-8")
    run = zavctl("program", TEMPLATE, "--series", "--plan", str(plan), port=device.port, timeout=10)
    assert run.returncode == 2
    assert f"Plan {plan}, Zeile 4: die Bezeichnung \"LF 20 Fahrer\" steht schon in Zeile 2" in run.stderr.decode()
    assert "pc>dev" not in frames(device) and list(tmp_path.glob("zavctl-serie-*")) == []

    # Two rows of one record are told at the start, once the type is known,
    # and a device holding it counts for the next of them; with --always it
    # is written again, as without a plan.
    plan.write_text("bezeichnung,adressen.nummern.1\nLF 20 Fahrer,21401\nLF 20 Beifahrer,21401\nELW 1,21403\n",
                    encoding="utf-8")
    series = Running("--port", device.port, "program", TEMPLATE, "--series", "--plan", str(plan),
                     "--setup", device.control("get setup"), "--always")
    try:
        series.wait_told("Gerät 1 (LF 20 Fahrer): ")
        device.control("vanish")
        series.wait_told("Gerät 1 abgeklemmt.", lines=series.err)
        device.control("appear")
        line = series.wait_told("Gerät 2 ")
        series.process.send_signal(signal.SIGINT)
        assert series.end() == 130
    finally:
        series.kill()
    assert "\n".join(series.out).startswith(
        "Gleiche Konfiguration laut Plan: Gerät 1 (LF 20 Fahrer) und Gerät 2 (LF 20 Beifahrer). Ein Gerät, das sie "
        "schon hält, lässt sich keiner dieser Zeilen sicher zuordnen; es zählt für die nächste offene.\n"
        "Gerät 1 (LF 20 Fahrer): V2.30, Verifikation OK !")
    assert line == "Gerät 2 (LF 20 Beifahrer): V2.30, Verifikation OK !"
    assert series.told("Noch offen laut Plan:") == "Noch offen laut Plan: Gerät 3 (mit demselben --log erneut starten)."
    assert programmings_seen(device) == 2


def test_a_bad_row_refuses_the_start(device, tmp_path):
    def plan_with(header, first, second):
        plan = tmp_path / "plan.csv"
        plan.write_text(f"bezeichnung,{header}\nLF 20 Fahrer,{first}\nHLF 20 Maschinist,{second}\n", encoding="utf-8")
        return str(plan)

    # Refused before any device is looked for: a value of the wrong form,
    # and a key that names no field.
    run = zavctl("program", TEMPLATE, "--series", "--plan", plan_with("adressen.nummern.1", "21401", "2140"),
                 port=device.port, timeout=10)
    assert run.returncode == 4
    assert "Zeile 3, Spalte 2: adressen.nummern.1: Fehler: 5-Ton !" in run.stderr.decode()
    run = zavctl("program", TEMPLATE, "--series", "--plan", plan_with("adresse.nummern.1", "21401", "21402"),
                 port=device.port, timeout=10)
    assert run.returncode == 2 and 'Zeile 1, Spalte 2: unbekannte Spalte "adresse.nummern.1" (bekannt sind ' \
        'bezeichnung, inventarnummer, bemerkung, totzeit,' in run.stderr.decode()
    assert "pc>dev" not in frames(device)
    assert list(tmp_path.glob("zavctl-serie-*")) == []

    # A field the devices' type lacks (two relays) is found once the first
    # device tells the type, before it is read or written.
    run = zavctl("program", TEMPLATE, "--series", "--plan", plan_with("zusatzrelais.3.ein_zeit", "", "20"),
                 port=device.port, timeout=20)
    assert run.returncode == 2
    assert "Zeile 3, Spalte 2: zusatzrelais.3.ein_zeit: diese Ausstattung hat 2 Zusatzrelais" in run.stderr.decode()
    assert (stats(device)["reads"], stats(device)["programmings"]) == (0, 0)


def test_a_device_holding_its_row_is_left_alone_and_a_restart_continues_after_the_log(device, tmp_path):
    log = tmp_path / "serie.jsonl"
    arguments = ("--port", device.port, "program", TEMPLATE, "--series", "--plan", str(PLAN))

    def first_device_then_stop(*more):
        series = Running(*arguments, *more)
        try:
            line = series.wait_told("Gerät ")
            series.wait_told("Gerät abklemmen", lines=series.err)
            series.process.send_signal(signal.SIGINT)
            code = series.end()
        finally:
            series.kill()
        # Ctrl+C with rows of the plan still open.
        assert code == 130 and series.told("Noch offen laut Plan: Geräte 2 und 3")
        return series, line

    series, line = first_device_then_stop("--log", str(log))
    assert line == "Gerät 1 (LF 20 Fahrer): V2.30, Verifikation OK !"
    assert programmings_seen(device) == 1

    # Another series (its own log) finds row 1 in the device: nothing written.
    series, line = first_device_then_stop()
    assert line == "Gerät 1 (LF 20 Fahrer): V2.30, Unverändert: Das Gerät hält diese Konfiguration schon."
    assert series.told("Serie beendet:") == "Serie beendet: 0 programmiert, 1 unverändert, 0 fehlgeschlagen."
    assert programmings_seen(device) == 1
    own_log = next(tmp_path.glob("zavctl-serie-*.jsonl"))
    assert (log_lines(own_log)[0]["outcome"], log_lines(own_log)[0]["backup"]) == ("unchanged", None)

    # The first log's series, started again, goes on with row 2; a line a
    # power loss cut off is passed over and named. The device still holds
    # row 1, which that log shows done: it is row 1's device, left as it is
    # and not counted, and the next device gets row 2.
    cut = '{"schema": 1, "time": "2026-12-08T09:'
    with log.open("a", encoding="utf-8") as appended:
        appended.write(cut)
    series = Running(*arguments, "--log", str(log))
    try:
        assert series.wait_told("Dieses Gerät") == \
            "Dieses Gerät hält schon die Konfiguration von Gerät 1 (LF 20 Fahrer): Es zählt nicht noch einmal " \
            "und bleibt, wie es ist."
        device.control("vanish")
        series.wait_told("Gerät 1 abgeklemmt.", lines=series.err)
        device.control("record " + with_byte(device.record(), 96, 41).hex())
        device.control("appear")
        line = series.wait_told("Gerät 2 ")
        wait_for(lambda: series.err.count("Gerät abklemmen; danach das nächste anschließen.") == 2, 20,
                 "the wait until device 2 is gone")
        series.process.send_signal(signal.SIGINT)
        assert series.end() == 130
    finally:
        series.kill()
    assert ("Laut Protokoll " + str(log) + " schon programmiert: Gerät 1; weiter mit Gerät 2 (HLF 20 Maschinist).") \
        in series.out
    assert f"zavctl: Warnung: Protokoll {log}, Zeile 2: kein gültiges JSON" in unwrapped("\n".join(series.err))
    assert line == "Gerät 2 (HLF 20 Maschinist): V2.30, Verifikation OK !"
    assert series.told("Noch offen laut Plan:") == "Noch offen laut Plan: Gerät 3 (mit demselben --log erneut starten)."
    assert_holds_row(device.record(), ROWS[1])
    assert programmings_seen(device) == 2
    lines = log.read_text(encoding="utf-8").splitlines()
    assert lines[1] == cut and [json.loads(entry)["plan"]["row"] for entry in lines if entry != cut] == [2, 3]


def test_a_fleet_backup_never_replaces_a_file_of_the_same_name(device, tmp_path):
    folder = tmp_path / "flotte"
    folder.mkdir()
    plan = tmp_path / "plan.csv"
    # Both labels make the name LF-20-1, as does the file there already.
    plan.write_text("bezeichnung\nLF 20/1\nLF 20 1\n", encoding="utf-8")
    today = datetime.date.today()
    earlier = {folder / f"LF-20-1_{day}.zcf": config_file(bytes(108)) for day in (today, today + datetime.timedelta(1))}
    for path, content in earlier.items():
        path.write_bytes(content)
    records = [with_byte(device.record(), 96, 41), with_byte(device.record(), 96, 42)]
    device.control("record " + records[0].hex())
    series = Running("--port", device.port, "read", "--series", "-o", str(folder), "--plan", str(plan))
    try:
        series.wait_told("Gerät 1 (LF 20/1): ")
        device.control("vanish")
        series.wait_told("Gerät 1 abgeklemmt.", lines=series.err)
        device.control("record " + records[1].hex())
        device.control("appear")
        assert series.end() == 0
    finally:
        series.kill()
    assert all(path.read_bytes() == content for path, content in earlier.items())
    stored = [pathlib.Path(line.split("Gesichert: ")[1]) for line in series.out if "Gesichert: " in line]
    assert [path.name[-6:] for path in stored] == ["-2.zcf", "-3.zcf"]
    assert [path.read_bytes() for path in stored] == [config_file(record) for record in records]


def test_the_yearly_check_names_a_difference_by_field_and_writes_nothing(device, tmp_path):
    one_row = tmp_path / "plan.csv"
    one_row.write_bytes(PLAN.read_bytes().splitlines(keepends=True)[0] + PLAN.read_bytes().splitlines(keepends=True)[1])
    run = zavctl("program", TEMPLATE, "--series", "--plan", str(one_row), port=device.port)
    assert run.returncode == 0, run.stderr.decode()
    device.control("record " + with_byte(device.record(), 5, ord("9")).hex())  # Nummer 1 is 21409 now
    written = programmings_seen(device)

    check = tmp_path / "pruefung.jsonl"
    run = zavctl("verify", TEMPLATE, "--series", "--plan", str(one_row), "--log", str(check), port=device.port)
    assert run.returncode == 5, run.stderr.decode()
    assert "Serie beendet: 0 gleich, 1 verschieden (Gerät 1), 0 fehlgeschlagen." in run.stdout.decode()
    [entry] = log_lines(check)
    assert (entry["command"], entry["outcome"]) == ("verify", "differs")
    assert entry["differences"] == [{"field": "5-Ton Nummer 1", "expected": "21401", "found": "21409"}]
    assert programmings_seen(device) == written

    # Checked as row 1 and attached again, the device is not judged as row 2.
    device.control("record " + with_byte(device.record(), 5, ord("1")).hex())
    two_rows = tmp_path / "zwei.csv"
    two_rows.write_bytes(b"".join(PLAN.read_bytes().splitlines(keepends=True)[:3]))
    series = Running("--json", "--port", device.port, "verify", TEMPLATE, "--series", "--plan", str(two_rows))
    try:
        wait_for(lambda: any('"event":"device"' in line for line in series.out), 30, "device 1 checked")
        device.control("vanish")
        wait_for(lambda: any('"event":"gone"' in line for line in series.out), 30, "device 1 gone")
        device.control("appear")
        wait_for(lambda: any('"event":"done_already"' in line for line in series.out), 30, "device 1 known again")
        series.process.send_signal(signal.SIGINT)
        assert series.end() == 130
    finally:
        series.kill()
    events = [json.loads(line) for line in series.out]
    assert [event["event"] for event in events] == ["device", "gone", "done_already", "end"]
    assert (events[0]["outcome"], events[0]["row_done"]) == ("verified", True)
    assert (events[2]["device"], events[2]["row"], events[2]["label"]) == (1, 2, "LF 20 Fahrer")
    assert (events[3]["verified"], events[3]["differs"], events[3]["left_devices"]) == (1, 0, [2])
    assert programmings_seen(device) == written


def test_at_a_terminal_a_device_that_cannot_be_told_from_a_done_one_is_only_written_when_the_user_says_so(
        device, tmp_path):
    two_rows = tmp_path / "zwei.csv"
    two_rows.write_bytes(b"".join(PLAN.read_bytes().splitlines(keepends=True)[:3]))
    device.control("pace on")
    # Standard input and standard error on a terminal, as a technician's.
    master, terminal = pty.openpty()
    series = subprocess.Popen([ZAVCTL, "--port", device.port, "program", TEMPLATE, "--series", "--plan",
                               str(two_rows), "--retries", "0", "--log", str(tmp_path / "serie.jsonl")],
                              stdin=terminal, stderr=terminal, stdout=subprocess.PIPE)
    os.close(terminal)
    screen, out = [], []

    def read_terminal():
        try:
            while chunk := os.read(master, 4096):
                screen.append(chunk)
        except OSError:  # the other end closed
            pass
    readers = [threading.Thread(target=read_terminal),
               threading.Thread(target=lambda: out.extend(line.decode() for line in series.stdout))]
    for reader in readers:
        reader.start()
    said = lambda: b"".join(screen).decode(errors="replace") + "".join(out)
    try:
        # Row 1 written whole to the device, its verify read fails; a
        # device of another record does row 1.
        wait_for(lambda: programmings_seen(device) == 1, 60, "the programming")
        device.control("fault read-silent-after 3")
        wait_for(lambda: "bleibt offen" in said(), 60, "row 1 left open")
        saved = device.record()
        device.control("vanish")
        wait_for(lambda: said().count("abgeklemmt.") == 1, 30, "the device gone")
        device.control("clear")
        device.control("pace off")
        device.control("record " + bytes(108).hex())
        device.control("appear")
        wait_for(lambda: "Gerät 1 (LF 20 Fahrer): V2.30, Verifikation OK !" in said(), 60, "row 1 done")
        # The first device again: asked, and left as it is unless the
        # answer is yes.
        for answer, times in ((b"\n", 1), (b"j\n", 2)):
            device.control("vanish")
            wait_for(lambda: said().count("abgeklemmt.") == times + 1, 30, "the device gone")
            device.control("record " + saved.hex())
            device.control("appear")
            wait_for(lambda: said().count("Mit Gerät 2 (HLF 20 Maschinist) programmieren? [j/N] ") == times, 60,
                     "the question")
            os.write(master, answer)
        code = series.wait(timeout=60)
    finally:
        if series.poll() is None:
            series.kill()
        for reader in readers:
            reader.join(timeout=5)
        os.close(master)
    assert code == 6, said()
    assert programmings_seen(device) == 3
    assert "Zu klären: Dieses Gerät hält die Konfiguration von Gerät 1 (LF 20 Fahrer)" in said()
    assert "Gerät 2 (HLF 20 Maschinist): V2.30, Verifikation OK !" in said()
    assert "Serie beendet: 2 programmiert, 1 fehlgeschlagen (Gerät 1), 1 zu klären (Gerät 1)." in said()
