"""Fleet work against zavsim: a plan gives each device its own values, each
device is backed up before it is written and logged, a device that holds
its row is left alone, a series continues where its log ends, and the
yearly check names what differs. The example plan and its template are
the ones the guide shows."""
import hashlib
import json
import pathlib
import signal

from conftest import HEADER, ROOT, Running, config_file, stats, unwrapped, wait_for, zavctl

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
            series.end()
        finally:
            series.kill()
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
    # power loss cut off is passed over and named.
    cut = '{"schema": 1, "time": "2026-12-08T09:'
    with log.open("a", encoding="utf-8") as appended:
        appended.write(cut)
    series, line = first_device_then_stop("--log", str(log))
    assert ("Laut Protokoll " + str(log) + " schon programmiert: Gerät 1; weiter mit Gerät 2 (HLF 20 Maschinist).") \
        in series.out
    assert f"zavctl: Warnung: Protokoll {log}, Zeile 2: kein gültiges JSON" in unwrapped("\n".join(series.err))
    assert line == "Gerät 2 (HLF 20 Maschinist): V2.30, Verifikation OK !"
    assert_holds_row(device.record(), ROWS[1])
    lines = log.read_text(encoding="utf-8").splitlines()
    assert lines[1] == cut and [json.loads(entry)["plan"]["row"] for entry in lines if entry != cut] == [2, 3]


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
